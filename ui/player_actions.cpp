#include "ui/player_actions.h"

#include <QAbstractButton>
#include <QAction>
#include <QMenu>
#include <QWidget>

namespace quillet {

PlayerActions::PlayerActions(QWidget* window) : QObject(window) {
    for (const KeyCommand& row : keyTable()) {
        auto* action = new QAction(row.name(), window);
        action->setShortcuts(row.keys);
        // Handled before the focused button sees the key: the arrows drive the
        // pair instead of moving the focus, while Tab and Space still reach
        // and press every button.
        action->setShortcutContext(Qt::WindowShortcut);
        action->setAutoRepeat(row.repeats);
        window->addAction(action);
        m_actions.push_back(action);
        if (row.command == Command::Sound) action->setCheckable(true);
    }
    // The menu's own words for the three it shows.
    action(Command::Sound)->setText(tr("Sound"));
    action(Command::Help)->setText(tr("Keys and rules…"));
    showPaused(false);
}

QAction* PlayerActions::action(Command command) const {
    return m_actions[static_cast<std::size_t>(&keyCommand(command) - keyTable().data())];
}

void PlayerActions::pressWith(Command command, QAbstractButton* button) {
    connect(action(command), &QAction::triggered, button, &QAbstractButton::click);
}

void PlayerActions::fillMenu(QMenu& menu) const {
    menu.addAction(action(Command::Pause));
    menu.addAction(action(Command::Sound));
    menu.addSeparator();
    menu.addAction(action(Command::Help));
}

void PlayerActions::showPaused(bool paused) {
    action(Command::Pause)->setText(paused ? tr("Resume") : tr("Pause"));
}

}  // namespace quillet
