#pragma once

#include <array>
#include <cstddef>

#include <QObject>
#include <QString>
#include <QTimer>

class QWidget;

namespace quillet {

// Hands short messages to the screen reader: the one place that decides how
// a message reaches it.
//
// Orca speaks none of the changes to an object that lacks the focus, and not
// even a changed name or description of the focused one; it does speak an
// object with the notification role each time that object is shown. So each
// message becomes the name of a small notification in the main window, hidden
// and shown again. The notification is one pixel wide, draws nothing and lets
// clicks through: the window looks exactly as it did.
//
// A new message cuts off the one being spoken, as Orca interrupts itself for
// each notification; so a tick's events go out as one message.
//
// Orca reads a notification's name when it comes to the event, which may be
// after the next message: had one notification taken every message, a quick
// second one would be spoken twice and the first never. So the messages take
// turns among a few notifications, each keeping its words until its turn
// comes again, and only the newest is shown.
class Announcer : public QObject {
    Q_OBJECT

public:
    // How long the pair must keep still before its position is spoken: longer
    // than a held key's repeat, so that a held ↓ or → speaks only where the
    // pair ends up.
    static constexpr int SettleMilliseconds = 150;

    explicit Announcer(QWidget* window);
    ~Announcer() override;

    // Speaks `message` now. A position still waiting is dropped: whatever
    // happened since says where the pair is, or that it is gone.
    void say(const QString& message);
    // Where the pair is after a move or a fall. Spoken once the pair has kept
    // still for SettleMilliseconds; a newer position replaces it until then.
    void sayPosition(const QString& position);
    // Drops a waiting position unspoken.
    void dropPending();

private:
    // More than Orca ever has waiting in its queue from the game.
    static constexpr std::size_t NoticeCount = 4;
    std::array<QWidget*, NoticeCount> m_notices{};
    std::size_t m_newest = 0;
    QTimer m_settle;
    QString m_pendingPosition;
};

}  // namespace quillet
