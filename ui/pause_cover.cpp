#include "ui/pause_cover.h"

#include <QMouseEvent>

#include "ui/fonts.h"
#include "ui/window_style.h"

namespace quillet {

PauseCover::PauseCover(QWidget* parent, const layout::Box& box) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
    setText(tr("PAUSE\n\nP or a click here\nresumes the game"));
    setBox(this, box);
    fillBackground(this, layout::PanelGrey, layout::Yellow);
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(1);
    setFont(boldCaptionFont(layout::CounterPointSize));
    setAlignment(Qt::AlignCenter);
    setWordWrap(true);
    // A review reads the name: the cover's own words, on one line.
    setAccessibleName(text().simplified());
}

void PauseCover::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        emit clicked();
        return;
    }
    QLabel::mouseReleaseEvent(event);
}

}  // namespace quillet
