#pragma once

#include <QLabel>

#include "ui/layout.h"

namespace quillet {

// Lies over the board while the game is paused, so that a pause cannot be
// used to study it: an opaque panel in the board's own grey that says the
// game is paused, in the captions' font. A click on it resumes the game.
class PauseCover : public QLabel {
    Q_OBJECT

public:
    PauseCover(QWidget* parent, const layout::Box& box);

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

}  // namespace quillet
