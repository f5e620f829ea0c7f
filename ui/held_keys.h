#pragma once

#include <QHash>
#include <QObject>

class QKeyEvent;

namespace quillet {

// Since when the player holds each key, from the presses and releases that
// reach any window of the game: each hold is numbered as it begins.
//
// A held key repeats. Qt marks the repeats as such where the platform tells
// it, but an X server without detectable auto-repeat sends each repeat as a
// release and a press of the same key with one timestamp, and Qt does not
// always see the pair in time to mark it; such a pair continues the hold.
class HeldKeys : public QObject {
    Q_OBJECT

public:
    // The one instance, watching the whole application from its first use:
    // call it before the first window takes a key.
    static HeldKeys& instance();

    // The number the next hold to begin will take.
    quint64 nextHold() const { return m_nextHold; }
    // The number of the hold `event` belongs to, once it has been seen; 0
    // for a key never seen.
    quint64 holdOf(const QKeyEvent* event) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit HeldKeys(QObject* parent);
    // The physical key where the platform tells it: Shift changes no key.
    static quint32 keyOf(const QKeyEvent* event);

    struct Key {
        quint64 hold = 0;
        quint64 releasedAt = 0;  // the timestamp of its last release
    };
    QHash<quint32, Key> m_keys;
    quint64 m_nextHold = 1;
};

}  // namespace quillet
