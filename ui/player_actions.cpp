#include "ui/player_actions.h"

#include <QAbstractButton>
#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QWidget>

#include "scores/zoom_setting.h"

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
    action(Command::FullScreen)->setCheckable(true);
    // The menu's own words for those it shows.
    action(Command::Sound)->setText(tr("Sound"));
    action(Command::Help)->setText(tr("Keys and rules…"));
    action(Command::FullScreen)->setText(tr("Full screen"));
    auto* steps = new QActionGroup(this);
    for (int percent : ZoomSteps) {
        auto* step = new QAction(tr("%1 %").arg(percent), steps);
        step->setCheckable(true);
        step->setData(percent);
        m_zoomSteps.push_back(step);
    }
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
    menu.addSeparator();
    QMenu* zoom = menu.addMenu(tr("Zoom"));
    for (QAction* step : m_zoomSteps) zoom->addAction(step);
    menu.addAction(action(Command::FullScreen));
}

void PlayerActions::showPaused(bool paused) {
    action(Command::Pause)->setText(paused ? tr("Resume") : tr("Pause"));
}

}  // namespace quillet
