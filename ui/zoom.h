#pragma once

#include <QMargins>
#include <QObject>
#include <QPoint>
#include <QSize>

#include "ui/layout.h"

class QWidget;

namespace quillet {

// The player's zoom of the game's windows, one of the steps of ZoomSteps
// (100 % to 300 %). Every window keeps its layout pixel for pixel and is
// drawn larger: a zoom of 200 % is what a desktop scale of 2 would give, and
// it multiplies with the desktop's own scale. Every window of the game
// follows it, those that open later too.
//
// A step is offered only while the main window, at its normal size and with
// its frame, fits the available area of the screen it is on.
//
// Full screen, the main window is drawn at the largest step that fits it, its
// controls in the middle and the window's grey around them; back to its
// normal size, it returns to the chosen step. At its normal size the window
// keeps exactly the size of its layout: it cannot be dragged to another size
// nor maximised. (A window manager that maximises it all the same gets the
// full screen's drawing.)
class Zoom : public QObject {
    Q_OBJECT

public:
    // `window` is the main window, of layout size `content`, which this
    // watches; its own size is fixed from now on here. Nothing of Qt's scale
    // is touched while the step stays at 100 %.
    Zoom(QWidget* window, QSize content);

    // The step the player chose, in percent.
    int chosen() const { return m_chosen; }
    // The step the window is drawn at now: the chosen one, or maximised or
    // full screen the largest that fits.
    int shown() const { return m_shown; }
    bool isEnlarged() const;

    // Whether the window at `percent`, at its normal size, fits its screen.
    bool fits(int percent) const;
    // Chooses `percent`. False, and nothing changes, when it is no step or
    // does not fit. Tells chosenChanged only when the step changed.
    bool choose(int percent);
    // The next larger or smaller step, when it fits; nothing otherwise.
    void zoomIn();
    void zoomOut();
    // Back to 100 %.
    void reset();
    // The step kept from an earlier run, or the largest smaller one that fits
    // this screen; not told as a choice.
    void restore(int percent);
    // Full screen, or back to the window's normal size.
    void toggleFullScreen();

    // Where a control placed at `box` of the layout lies in the window now.
    QPoint origin() const { return m_origin; }
    layout::Box placed(const layout::Box& box) const;

signals:
    // The player chose another step: the choice to keep.
    void chosenChanged(int percent);
    // The windows are drawn at another step: pictures to make again.
    void shownChanged(int percent);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void show(int percent);
    // Largest step whose layout fits `native` device pixels of the desktop.
    int largestWithin(QSize native) const;
    // The window's size or state changed.
    void fitWindow();
    void moveControls(QPoint origin);
    // Lets the window grow and notes that `state` was asked for.
    void ask(Qt::WindowState state);

    QWidget* m_window;
    QSize m_content;
    int m_chosen = 100;
    int m_shown = 100;
    QPoint m_origin;
    // The window manager's frame, in device pixels, as last seen at the
    // window's normal size.
    QMargins m_frame;
    // The size in device pixels the window manager last gave the window
    // maximised or full screen, until it gives back the normal size.
    QSize m_enlargedSize;
    // Maximised or full screen as asked, while the window manager answers.
    Qt::WindowState m_asked = Qt::WindowNoState;
};

}  // namespace quillet
