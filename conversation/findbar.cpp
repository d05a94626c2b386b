#include "findbar.h"

#include "displayfield.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

FindBar::FindBar(DisplayField *field, QWidget *parent)
    : QWidget(parent)
    , m_field(field)
{
    setObjectName(QStringLiteral("findBar"));
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 1, 2, 1);
    auto *label = new QLabel(QStringLiteral("検索"), this);
    m_input = new QLineEdit(this);
    m_input->setObjectName(QStringLiteral("findText"));
    m_input->setAccessibleName(QStringLiteral("検索する文字列"));
    label->setBuddy(m_input);
    m_count = new QLabel(this);
    m_count->setObjectName(QStringLiteral("findCount"));
    m_count->setTextFormat(Qt::PlainText);
    // Wide enough for any count, so that a new one lays nothing out again.
    m_count->setMinimumWidth(m_count->fontMetrics().horizontalAdvance(QStringLiteral("99999 / 99999")));
    m_count->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    layout->addWidget(label);
    layout->addWidget(m_input, 1);
    layout->addWidget(m_count);
    m_input->installEventFilter(this);

    m_pause.setSingleShot(true);
    m_pause.setInterval(150);
    connect(&m_pause, &QTimer::timeout, this, &FindBar::search);
    // Any change: typed, pasted, from an input method, or set by assistive
    // technology (dictation, an on-screen keyboard).
    connect(m_input, &QLineEdit::textChanged, this, [this] { m_pause.start(); });
    connect(m_field, &DisplayField::viewMoved, this, &FindBar::showMarks);
    hide();
}

void FindBar::open()
{
    if (isHidden()) {
        show();
        // Followed only while open: closed, it costs nothing.
        m_search.setText(m_field->text());
        m_following = connect(m_field, &DisplayField::textChanged, this, &FindBar::followChange);
        search();
    }
    m_input->setFocus();
    m_input->selectAll();
}

void FindBar::close()
{
    m_pause.stop();
    disconnect(m_following);
    m_search.setText(QString());
    m_current = -1;
    m_field->setMarks({}, {-1, -1});
    hide();
    emit closed();
}

bool FindBar::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_input && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            step(!(key->modifiers() & Qt::ShiftModifier));
            return true;
        }
        if (key->key() == Qt::Key_Escape) {
            close();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void FindBar::search()
{
    m_pause.stop();
    m_search.setNeedle(m_input->text());
    m_current = -1;
    showCount();
    showMarks();
}

void FindBar::followChange(qsizetype headSize, qsizetype dropped, qsizetype kept)
{
    // The match moved to stays the same text where it can.
    const DisplayField::Range current = m_current >= 0 ? m_search.match(m_current) : DisplayField::Range{-1, -1};
    m_search.change(m_field->text(), headSize, dropped, kept);
    if (m_current >= 0) {
        const qsizetype shifted = current.first - dropped + headSize;
        m_current = shifted >= 0 ? m_search.next(shifted) : -1;
    }
    showCount();
    showMarks();
}

void FindBar::step(bool forward)
{
    if (m_pause.isActive())
        search();
    if (m_search.count() == 0)
        return;
    if (m_current < 0) {
        // From where the reader is.
        const qsizetype at = m_field->visibleRange().first;
        m_current = forward ? m_search.next(at) : m_search.previous(at);
    } else {
        m_current = forward ? (m_current + 1) % m_search.count() : (m_current + m_search.count() - 1) % m_search.count();
    }
    m_field->selectRange(m_search.match(m_current));
    showCount();
    showMarks();
}

QString FindBar::countText() const
{
    return m_count->text();
}

void FindBar::showCount()
{
    QString count;
    if (!m_search.hasNeedle())
        count.clear();
    else if (m_search.count() == 0)
        count = QStringLiteral("見つかりません");
    else if (m_current < 0)
        count = QStringLiteral("%1 件").arg(m_search.count());
    else
        count = QStringLiteral("%1 / %2").arg(m_current + 1).arg(m_search.count());
    if (count != m_count->text())
        m_count->setText(count);
}

void FindBar::showMarks()
{
    if (isHidden())
        return;
    const DisplayField::Range view = m_field->visibleRange();
    const DisplayField::Range current = m_current >= 0 ? m_search.match(m_current) : DisplayField::Range{-1, -1};
    m_field->setMarks(m_search.within(view.first, view.second + 1), current);
}
