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
    // Whole lines around what is on screen, a long line's cut piece at most
    // (searched for no further either).
    const QStringView text(m_field->text());
    const DisplayField::Range view = m_field->visibleRange();
    constexpr qsizetype kReach = 4096;
    const qsizetype before = std::max<qsizetype>(0, view.first - kReach);
    const qsizetype lineStart = text.sliced(before, view.first - before).lastIndexOf(u'\n');
    const qsizetype from = lineStart < 0 ? before : before + lineStart + 1;
    const qsizetype after = std::min(text.size(), view.second + kReach);
    const qsizetype lineEnd = text.sliced(std::min(view.second, after), after - std::min(view.second, after)).indexOf(u'\n');
    const qsizetype to = lineEnd < 0 ? after : std::min(view.second, after) + lineEnd;
    m_visible = Links::find(text, from, std::max(from, to));
    QList<DisplayField::Range> ranges;
    for (const Links::Link &link : std::as_const(m_visible))
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
    for (const Links::Link &link : m_visible) {
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
