#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>

namespace quillet {

// Picture `name` (for example "cake3" or "title") as the program holds it,
// its double-size rendering on a high-density display.
QPixmap loadPicture(const QString& name);

// An icon made of the 16 and 32 pixel renderings of `name` ("icon", "left",
// "right", "turn"), with their double-size renderings.
QIcon loadIcon(const QString& name);

}  // namespace quillet
