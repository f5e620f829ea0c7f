#pragma once

#include <vector>

#include <QObject>

#include "ui/key_table.h"

class QAbstractButton;
class QAction;
class QMenu;
class QWidget;

namespace quillet {

// One action for each row of the key table, its keys being shortcuts of the
// main window. The window's menu shows the same actions, so a key, its text
// and its enabled state are kept in one place.
class PlayerActions : public QObject {
    Q_OBJECT

public:
    explicit PlayerActions(QWidget* window);

    QAction* action(Command command) const;
    // The command's keys press `button`, as a click would.
    void pressWith(Command command, QAbstractButton* button);
    // What a right click in the window offers: pause, the sound switch and the
    // keys and rules, each with its key; then the zoom steps and full
    // screen.
    void fillMenu(QMenu& menu) const;
    // One checkable action for each zoom step, smallest first, which the menu
    // offers; only one is checked at a time.
    const std::vector<QAction*>& zoomSteps() const { return m_zoomSteps; }
    // Pause reads "Resume" while the game is paused.
    void showPaused(bool paused);

private:
    std::vector<QAction*> m_actions;  // in the key table's order
    std::vector<QAction*> m_zoomSteps;
};

}  // namespace quillet
