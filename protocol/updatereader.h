#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>
#include <utility>

// A hub sends its whole log with every update, so each update repeats
// nearly all of the one before. This reads the two texts of successive
// updates, exactly as decoding the whole update, splitting it at its first
// "/*/" and ChatMessages::forDisplay would give them, but decodes each
// text only from where its bytes changed: where they first differ from
// the last update's, or, when lines were dropped at the front (a hub that
// caps its log), from where they first differ from the rest of them; lines
// added in front of the whole old text are decoded alone.
class UpdateReader final
{
public:
    // How one text changed: `head` (whole lines) came in front of it, its
    // first `dropped` characters went, the next `kept` stay as they were,
    // and `tail` replaces the rest.
    struct Change
    {
        qsizetype oldSize = 0; // characters of the text before
        QString head;
        qsizetype dropped = 0;
        qsizetype kept = 0;
        QString tail;
    };
    struct Changes
    {
        Change first;  // before the first "/*/"
        Change second; // after it
    };

    // `update` is the whole update so far; a lead byte at its end waits for
    // its trail byte. Without "/*/" both texts are empty.
    Changes read(const QByteArray &update);
    // The same for an update that may yet be cut short: read only when its
    // second text adds to the last one read (whole lines may go at its
    // front, as a hub that caps its log drops them); else nothing is read
    // and none is given. What is shown then never shrinks to come back.
    std::optional<Changes> readIfAdding(const QByteArray &update);
    // Whether the update's second text ends inside the last one read: it
    // is all of it, maybe after whole lines at its front, but stops short
    // of its end. An update cut short by a pause looks so; a hub hardly
    // ever takes lines back from its end.
    bool endsInsideLast(const QByteArray &update) const;
    // Forgets the last update: the next is read whole.
    void reset();

    // The same two texts read the long way, from the whole update.
    static std::pair<QString, QString> readWhole(QByteArrayView update);

private:
    // A place in a text's bytes where decoding can start afresh, and the
    // characters shown before it.
    struct Restart
    {
        qsizetype byte;
        qsizetype chars;
    };

    class Text
    {
    public:
        // Where `now` stops reading as `before` did: whole lines dropped at
        // the front, then the bytes both share.
        struct Difference
        {
            qsizetype shared = 0;
            qsizetype dropped = 0;
            qsizetype inFront = 0; // bytes of lines in front of all of `before`
        };
        Difference compare(QByteArrayView before, QByteArrayView now) const;
        static bool endsInside(QByteArrayView before, QByteArrayView now, const Difference &difference);
        // `before` and `now` are this text's bytes in the last update and
        // in this one; `flushEnd` when the text is followed by "/*/" (a
        // lead byte at its end then stands alone).
        Change read(QByteArrayView before, QByteArrayView now, bool flushEnd, const Difference &difference);
        Change unchanged() const;
        void reset();

    private:
        qsizetype charsBefore(QByteArrayView before, qsizetype byte) const;
        // Decodes `now` from `from` on; the places to restart at go to `restarts`.
        static QString decodeFrom(QByteArrayView now, Restart from, bool flushEnd, QList<Restart> *restarts);
        // Lines in front of the whole of `before`: their bytes, or none.
        qsizetype addedInFront(QByteArrayView before, QByteArrayView now) const;

        QList<Restart> m_restarts{{0, 0}}; // ascending; the first is the text's start
        qsizetype m_chars = 0;
    };

    // This update's two texts, and the last one's.
    struct Texts
    {
        QByteArrayView firstBefore, firstNow, secondBefore, secondNow;
    };
    Texts texts(const QByteArray &update, qsizetype separator) const;
    Changes readTexts(const QByteArray &update, qsizetype separator, const Texts &texts,
                      const Text::Difference &second);

    QByteArray m_update;
    qsizetype m_secondFrom = -1; // where the second text began in m_update, or -1
    Text m_first;
    Text m_second;
};
