#include "linklayer.h"

#include "displayfield.h"

#include <QMouseEvent>
#include <QTextCursor>

#include <algorithm>

LinkLayer::LinkLayer(DisplayField *field)
    : QObject(field)
    , m_field(field)
{
    m_refresh.setSingleShot(true);
    m_refresh.setInterval(0);
    connect(&m_refresh, &QTimer::timeout, this, &LinkLayer::findVisible);
    connect(field, &DisplayField::viewMoved, &m_refresh, qOverload<>(&QTimer::start));
    connect(field, &DisplayField::textChanged, &m_refresh, qOverload<>(&QTimer::start));
    m_viewport = field->viewport();
    m_viewport->installEventFilter(this);
    m_viewport->setMouseTracking(true);
}

void LinkLayer::findVisible()
{
    const QStringView text(m_field->text());
    const DisplayField::Range view = m_field->visibleRange();
    const auto [from, to] = Links::linesAround(text, view.first, view.second);
    QList<DisplayField::Range> ranges;
    for (const Links::Link &link : Links::find(text, from, to))
        ranges.append({link.from, link.to});
    m_field->setLinkRanges(ranges);
}

std::optional<Links::Link> LinkLayer::linkAt(const QPoint &point) const
{
    // The character under the point: beside the nearest place between
    // two, on the same line; none past the text's end or below it.
    const QTextCursor nearest = m_field->cursorForPosition(point);
    const QRect place = m_field->cursorRect(nearest);
    if (point.y() < place.top() || point.y() > place.bottom())
        return std::nullopt;
    const qsizetype at = m_field->positionAt(point) - (point.x() < place.left() ? 1 : 0);
    // Looked for in the text as it is now: the ranges drawn may be a turn
    // of the event loop older than the text.
    const QStringView text(m_field->text());
    if (at < 0 || at >= text.size())
        return std::nullopt;
    const auto [from, to] = Links::linesAround(text, at, at + 1);
    for (const Links::Link &link : Links::find(text, from, to)) {
        if (at >= link.from && at < link.to)
            return link;
    }
    return std::nullopt;
}

bool LinkLayer::eventFilter(QObject *watched, QEvent *event)
{
    // Only the viewport's mouse: its other events come also while the field
    // is being taken down.
    if (watched != m_viewport)
        return false;
    if (event->type() == QEvent::MouseMove) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        m_viewport->setCursor(linkAt(mouse->position().toPoint()) ? Qt::PointingHandCursor : Qt::IBeamCursor);
    } else if (event->type() == QEvent::MouseButtonPress) {
        m_pressedAt = static_cast<QMouseEvent *>(event)->position().toPoint();
    } else if (event->type() == QEvent::MouseButtonRelease) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        const QPoint at = mouse->position().toPoint();
        // A click, not the end of a drag that selects.
        if (mouse->button() == Qt::LeftButton && (at - m_pressedAt).manhattanLength() < 4
            && !m_field->textCursor().hasSelection()) {
            if (const std::optional<Links::Link> link = linkAt(at))
                emit clicked(*link);
        }
    }
    return false;
}
