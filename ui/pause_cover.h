#pragma once

#include <QLabel>

#include "ui/layout.h"

namespace quillet {

// Covers a part of the main window while the game is paused, so that a pause
// cannot be used to study the board: an opaque panel in the board's own grey,
// with an optional line of text in the captions' font. A click on it resumes
// the game.
class PauseCover : public QLabel {
    Q_OBJECT

public:
    // `text` may be empty (the next-pair panel has no room
    // for it); `accessibleName` is what a screen reader says instead of the
    // pieces underneath.
    PauseCover(QWidget* parent, const layout::Box& box, const QString& text,
               const QString& accessibleName);

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

}  // namespace quillet
