#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>

namespace quillet {

// The largest rendering the program holds of each picture, in device pixels
// per pixel: the windows are never drawn denser than this, so that no
// picture is ever shown larger than its rendering.
constexpr int LargestRendering = 3;

// Picture `name` (for example "cake3" or "title") as the program holds it,
// for the screens' density as it is now, the zoom included: its double-size
// or triple-size rendering on a denser screen, never a smaller rendering than
// the picture is shown at (up to three device pixels per pixel).
QPixmap loadPicture(const QString& name);

// An icon made of the 16 and 32 pixel renderings of `name` ("icon", "left",
// "right", "turn"), with the larger renderings the screens' density needs.
QIcon loadIcon(const QString& name);

}  // namespace quillet
