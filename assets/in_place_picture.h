#pragma once

#include <QImage>
#include <QString>

namespace quillet {

// A picture built into the program ready to draw (bake_picture):
// its pixels lie in the program's read-only pages, which the system reads in
// only when the picture is first drawn, and which need no copy on the heap.
struct InPlacePicture {
    const char* name;
    int format;  // a QImage::Format
    int width;
    int height;
    int bytesPerLine;
    const unsigned char* pixels;  // height rows of bytesPerLine bytes, 16-byte aligned
};

// Every picture the build wrote in place (assets/CMakeLists.txt names them).
extern const InPlacePicture InPlacePictureTable[];
extern const int InPlacePictureCount;

// Picture `name` ("cake3", "title", "icon16@2x") as an image that shares the
// program's pixels, read-only; a null image when the program holds no such
// picture.
QImage inPlacePicture(const QString& name);

}  // namespace quillet
