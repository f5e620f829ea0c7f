#pragma once

#include <QFont>
#include <QString>
#include <Qt>

#include <optional>

#include "ui/layout.h"

class QLabel;
class QPalette;
class QWidget;

// Small helpers the two windows share to build their fixed layouts.
namespace quillet {

// A title bar with the system menu and the close box only: no minimise, no
// maximise. Together with a fixed size the window cannot be resized.
Qt::WindowFlags fixedWindowFlags(Qt::WindowType kind);

QColor toColor(layout::Rgb rgb);
// Places `widget` at `box` and fixes its size there.
void setBox(QWidget* widget, const layout::Box& box);

// The palette of a widget that lies on or is filled with `background`, its
// text in `text` (the application's own text colour if none): what Qt gives
// `widget` for these colours, in every colour group, Disabled and Inactive
// included.
//
// Each set of colours is one palette object, made the first time it is asked
// for and handed to every widget that uses it for the rest of the run (a copy
// of a QPalette is the same object to the style: it keeps its identity). The
// style keeps what it has drawn of buttons and name boxes in the pixmap
// cache under the palette's identity, so a window opened again finds its
// pictures there; a palette of its own for each widget of each opening would
// fill the cache with the same pictures again, 20 to 60 kB an opening.
QPalette sharedPalette(const QWidget* widget, layout::Rgb background,
                       std::optional<layout::Rgb> text = std::nullopt);
// Gives `widget` the shared palette of these colours.
void setColours(QWidget* widget, layout::Rgb background,
                std::optional<layout::Rgb> text = std::nullopt);
// Gives every widget inside `window` that has no colours of its own (buttons,
// name boxes, pictures) the shared palette of the window's background: a
// widget that inherited its window's palette would be handed a new palette
// object, with a new identity, at every opening.
void shareWindowColours(QWidget* window, layout::Rgb background);
// Paints the widget's background in `background` (opaque), its text in `text`.
void fillBackground(QWidget* widget, layout::Rgb background,
                    std::optional<layout::Rgb> text = std::nullopt);
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
