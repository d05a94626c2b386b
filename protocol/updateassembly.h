#pragma once

#include <QByteArray>

#include <chrono>
#include <utility>

// Joins the bursts in which one display update can reach us. A segment
// lost on the LAN is resent 200 ms or more later, so one update may come
// as two bursts with a pause between them. The hub always sends whole
// updates (members "/*/" chat): a burst that cannot be one (it holds no
// "/*/"), or any burst after such a one, continues the update before it
// when its first piece comes within kContinuation of that update's last.
//
// Updates are kept as the bytes that came: "/*/" is never part of a
// double-byte character, so it is found without decoding.
class UpdateAssembly final
{
public:
    static constexpr std::chrono::milliseconds kContinuation{1000};

    // What to do with update() after a burst: show it, or wait for the
    // rest (it has no "/*/" yet) until kContinuation has passed.
    enum class Next { Show, Wait };

    // A burst whose first piece came at firstPieceMs and last at
    // lastPieceMs, on a monotonic clock. An update that would grow beyond
    // maxBytes starts afresh instead.
    Next add(const QByteArray &burst, qint64 firstPieceMs, qint64 lastPieceMs, qsizetype maxBytes);
    // Whether such a burst would continue the update so far (else it
    // begins a new one, and the update so far is whole).
    bool continues(const QByteArray &burst, qint64 firstPieceMs, qsizetype maxBytes) const;

    // The whole update so far. A new update begins with the lead byte the
    // one before ended with, as one stream of bytes decodes.
    const QByteArray &update() const { return m_update; }
    // The bytes of it that came (the carried lead byte not counted).
    qint64 bytes() const { return m_bytes; }
    void clear();
    // The update this one replaced, once: its memory can take the next
    // burst, which saves faulting in fresh pages for every large update.
    QByteArray takeReplaced() { return std::exchange(m_replaced, QByteArray()); }

private:
    QByteArray m_update;
    QByteArray m_replaced;
    qint64 m_bytes = 0;
    qint64 m_lastPieceMs = -1;
    bool m_hasSeparator = false;
};
