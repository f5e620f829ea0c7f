#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace quillet {

// Reads the game's picture file at `path` as the PNG every one of them is,
// without asking each of Qt's image-format plugins first whether it knows the
// file, as QPixmap and QIcon do: that loaded the GIF, ICO and JPEG plugins,
// and libjpeg. A null image when the file cannot be read.
QImage readPngPicture(const QString& path);

// A picture as readPngPicture gives it, written out at build time so that the
// game only copies its pixels in: no image-format plugin is asked about it and
// no PNG is inflated while the window is built. Holds the format, the size, the
// colour table and the pixel rows; not the file's text or resolution, which the
// game never reads.
QByteArray bakePicture(const QImage& picture);

// The picture that bakePicture wrote, or a null image when `baked` is not one
// (a wrong mark, a size out of range, a colour table or rows too short or too
// long).
QImage unbakePicture(const QByteArray& baked);

}  // namespace quillet
