#include "unreadcount.h"

#include <QImage>
#include <QPainter>

#include <qt_windows.h>
#include <shobjidl.h>

namespace {
// A red disc with the number, a dot above 9.
HICON countIcon(int count)
{
    QImage image(32, 32, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xd0, 0x20, 0x20));
    painter.drawEllipse(image.rect().adjusted(1, 1, -1, -1));
    if (count <= 9) {
        QFont font = painter.font();
        font.setPixelSize(24);
        font.setBold(true);
        painter.setFont(font);
        painter.setPen(Qt::white);
        painter.drawText(image.rect(), Qt::AlignCenter, QString::number(count));
    }
    painter.end();
    return image.toHICON();
}
} // namespace

// An overlay on the task-bar button.
void UnreadCount::show(int count)
{
    ITaskbarList3 *taskbar = nullptr;
    if (FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                                reinterpret_cast<void **>(&taskbar))))
        return;
    if (SUCCEEDED(taskbar->HrInit())) {
        const HICON icon = count > 0 ? countIcon(count) : nullptr;
        const QString description = count > 0 ? QStringLiteral("未読 %1 行").arg(count) : QString();
        taskbar->SetOverlayIcon(reinterpret_cast<HWND>(m_window->winId()), icon,
                                reinterpret_cast<const wchar_t *>(description.utf16()));
        if (icon)
            DestroyIcon(icon);
    }
    taskbar->Release();
}
