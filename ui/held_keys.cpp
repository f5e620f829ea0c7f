#include "ui/held_keys.h"

#include <QCoreApplication>
#include <QKeyEvent>

namespace quillet {

HeldKeys& HeldKeys::instance() {
    static HeldKeys* keys = new HeldKeys(QCoreApplication::instance());
    return *keys;
}

HeldKeys::HeldKeys(QObject* parent) : QObject(parent) {
    if (parent != nullptr) parent->installEventFilter(this);
}

quint32 HeldKeys::keyOf(const QKeyEvent* event) {
    return event->nativeScanCode() != 0 ? event->nativeScanCode()
                                        : static_cast<quint32>(event->key());
}

quint64 HeldKeys::holdOf(const QKeyEvent* event) const {
    return m_keys.value(keyOf(event)).hold;
}

bool HeldKeys::eventFilter(QObject* watched, QEvent* event) {
    // A key that presses a shortcut (S for the drop) comes only as the
    // override request that goes before every press: no press follows it.
    // The application sees a key event again at each widget it is handed on
    // to, and a press after its override request; seeing a press twice puts
    // it in the same hold, or in a later one that began after the same moments.
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride) {
        const auto* press = static_cast<const QKeyEvent*>(event);
        Key& key = m_keys[keyOf(press)];
        // Not "a press while down": a release the game never saw (the key let
        // go in another application) would keep the key from typing. Events
        // made up without a time (0) pair with no release.
        const bool repeat = press->isAutoRepeat() ||
                            (key.hold != 0 && press->timestamp() != 0 &&
                             press->timestamp() == key.releasedAt);
        if (!repeat) key.hold = m_nextHold++;
    } else if (event->type() == QEvent::KeyRelease) {
        const auto* release = static_cast<const QKeyEvent*>(event);
        if (!release->isAutoRepeat()) {
            m_keys[keyOf(release)].releasedAt = release->timestamp();
        }
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace quillet
