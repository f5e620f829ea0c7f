#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QPair>
#include <QString>

// What the build tool writes for the pictures built in ready to draw
// (in_place_picture.h). The game links none of it.

namespace quillet {

// Reads the game's picture file at `path` as the PNG every one of them is,
// without asking each of Qt's image-format plugins first whether it knows the
// file. A null image when the file cannot be read.
QImage readPngPicture(const QString& path);

// `picture` in the format and with the pixels that a pixmap made from it
// holds on this game's screens: premultiplied 32-bit colour when any pixel is
// not opaque, 32-bit colour without alpha otherwise.
QImage pictureAsDrawn(const QImage& picture);

// Pictures under the names they are built in with.
using NamedPictures = QList<QPair<QString, QImage>>;

// The C++ source that builds `groups` of pictures into the program in place
// (in_place_picture.h): the pixels of each as pictureAsDrawn gives them, in a
// read-only array the game's pixmap uses without copying. The first group is
// the one start-up reads; each later group starts a stretch of memory of its
// own, so that reading one group's pictures does not bring another's in.
QByteArray inPlaceSource(const QList<NamedPictures>& groups);

}  // namespace quillet
