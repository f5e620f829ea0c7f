#pragma once

#include <QFont>
#include <QString>
#include <Qt>

#include "ui/layout.h"

class QLabel;
class QWidget;

// Small helpers the two windows share to build their fixed layouts.
namespace quillet {

// A title bar with the system menu and the close box only: no minimise, no
// maximise. Together with a fixed size the window cannot be resized.
Qt::WindowFlags fixedWindowFlags(Qt::WindowType kind);

QColor toColor(layout::Rgb rgb);
// Places `widget` at `box` and fixes its size there.
void setBox(QWidget* widget, const layout::Box& box);
// Paints the widget's background in `colour` (opaque).
void fillBackground(QWidget* widget, layout::Rgb colour);
// Places a top-level window in the middle of the screen it will show on.
void centreOnScreen(QWidget* window);

// A label with a transparent background, no border, left-aligned text. The
// text is shown as plain text, whatever it holds: a player's name such as
// "<b>Bo</b>" or "<img src=...>" shows as typed, never as markup.
QLabel* makeLabel(QWidget* parent, const layout::Box& box, const QString& text, const QFont& font,
                  layout::Rgb textColour);
// An opaque panel label with a thin sunken border and no text (plain text, if
// ever given any).
QLabel* makePanel(QWidget* parent, const layout::Box& box, layout::Rgb background);

}  // namespace quillet
