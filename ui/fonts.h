#pragma once

#include <QFont>
#include <QString>

namespace quillet {

// The family every caption asks for.
extern const QString CaptionFontFamily;

// Fontconfig alone maps the caption family to a Latin font, which shows
// Japanese text as boxes. Maps it to IPAPGothic (metrically close) at once,
// then, as soon as the event loop runs, to any installed Japanese font. Call
// once, before the first widget is created.
void installFontSubstitutions();

// The bold caption font at the given size.
QFont boldCaptionFont(int pointSize);

}  // namespace quillet
