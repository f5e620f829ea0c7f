#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QPair>
#include <QString>

// What the build tool writes for the pictures built in ready to draw
// (in_place_picture.h). Kept apart from baked_picture.cpp, which the game
// links, so that the game carries none of it.

namespace quillet {

// `picture` in the format and with the pixels that a pixmap made from it
// holds on this game's screens: premultiplied 32-bit colour when any pixel is
// not opaque, 32-bit colour without alpha otherwise.
QImage pictureAsDrawn(const QImage& picture);

// The C++ source that builds `pictures` into the program in place
// (in_place_picture.h), each under the name it is given: the pixels of each as
// pictureAsDrawn gives them, in a read-only array the game's pixmap uses
// without copying.
QByteArray inPlaceSource(const QList<QPair<QString, QImage>>& pictures);

}  // namespace quillet
