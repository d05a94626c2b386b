#pragma once

#include "links.h"

#include <QObject>
#include <QPoint>
#include <QTimer>

#include <optional>

class DisplayField;

// Links in a display field: found in what is on screen only, shown over
// the plain text, a hand over them, and a click (not a drag or a
// selection) on one says so. What opening does is the window's.
class LinkLayer final : public QObject
{
    Q_OBJECT
public:
    explicit LinkLayer(DisplayField *field);

    // The link under a point of the field's viewport, in the text as it is.
    std::optional<Links::Link> linkAt(const QPoint &point) const;

signals:
    void clicked(const Links::Link &link);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void findVisible();

    DisplayField *m_field;
    QWidget *m_viewport = nullptr;
    QTimer m_refresh; // once per turn of the event loop, however many changes came
    QPoint m_pressedAt;
};
