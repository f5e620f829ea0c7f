// The main window's zoom: its keys and menu entries, the step kept for the
// next run, and the pictures made again at each step.
#include <QAction>
#include <QLabel>

#include "scores/zoom_setting.h"
#include "ui/main_window.h"
#include "ui/player_actions.h"
#include "ui/zoom.h"

namespace quillet {

namespace mw = layout::main_window;

void MainWindow::buildZoom(int percent) {
    m_zoom = new Zoom(this, QSize(mw::ClientWidth, mw::ClientHeight));
    connect(action(Command::ZoomIn), &QAction::triggered, m_zoom, &Zoom::zoomIn);
    connect(action(Command::ZoomOut), &QAction::triggered, m_zoom, &Zoom::zoomOut);
    connect(action(Command::ZoomReset), &QAction::triggered, m_zoom, &Zoom::reset);
    connect(action(Command::FullScreen), &QAction::triggered, m_zoom, &Zoom::toggleFullScreen);
    for (QAction* step : m_actions->zoomSteps()) {
        connect(step, &QAction::triggered, m_zoom,
                [this, step] { m_zoom->choose(step->data().toInt()); });
    }
    // A store that cannot take it says so on standard error; the step holds
    // for this run all the same.
    connect(m_zoom, &Zoom::chosenChanged, this,
            [this](int chosen) { saveZoomPercent(m_store, chosen); });
    connect(m_zoom, &Zoom::shownChanged, this, [this] {
        // Made again at the new density, and shown where they were shown.
        showPictures();
        slicePictures.forget();
        for (int i = 0; i < rules::CellCount; ++i) {
            if (!cellImages[i]->pixmap().isNull()) showPicture(cellImages[i], m_game.board[i]);
        }
        for (int i = 0; i < 2; ++i) {
            if (!nextImages[i]->pixmap().isNull()) showPicture(nextImages[i], m_game.nextPair[i]);
        }
    });
    // At 100 % Qt's scale is left alone: start-up is what it always was.
    if (percent != 100) m_zoom->restore(percent);
}

void MainWindow::showZoomChoices() {
    for (QAction* step : m_actions->zoomSteps()) {
        const int percent = step->data().toInt();
        step->setEnabled(m_zoom->fits(percent));
        step->setChecked(percent == m_zoom->chosen());
    }
    action(Command::FullScreen)->setChecked(isFullScreen());
}

}  // namespace quillet
