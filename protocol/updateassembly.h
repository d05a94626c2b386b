#pragma once

#include <QByteArray>

#include <utility>

// Joins the bursts in which one display update can reach us. A segment
// lost on the LAN is resent 200 ms or more later, and again after twice
// that each time it is lost, so one update may come as several bursts
// with pauses of seconds between them. The hub always sends whole updates
// (members "/*/" chat): a burst that cannot begin one (it holds no "/*/")
// continues the update before it however late it comes, and so does any
// burst after an update whose "/*/" has not come yet. Only a burst with
// "/*/" after one that had it begins a new update.
//
// Updates are kept as the bytes that came: "/*/" is never part of a
// double-byte character, so it is found without decoding.
class UpdateAssembly final
{
public:

    // What to do with update() after a burst: show it, or wait for its
    // "/*/" (an update without one is never shown).
    enum class Next { Show, Wait };

    // Adds a burst; an update that would grow beyond maxBytes starts
    // afresh instead.
    Next add(const QByteArray &burst, qsizetype maxBytes);
    // Whether such a burst would continue the update so far (else it
    // begins a new one, and the update so far is whole).
    bool continues(const QByteArray &burst, qsizetype maxBytes) const;

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
    bool m_started = false;
    bool m_hasSeparator = false;
};
