#pragma once

#include <QByteArray>
#include <QImage>

namespace quillet {

// A picture as Qt's PNG reader gives it, written out at build time so that the
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
