#include "assets/in_place_picture.h"

namespace quillet {

QImage inPlacePicture(const QString& name) {
    for (int i = 0; i < InPlacePictureCount; ++i) {
        const InPlacePicture& picture = InPlacePictureTable[i];
        if (name == QLatin1String(picture.name)) {
            // The const constructor never writes to the pixels, and a copy of
            // the image that must change them detaches first.
            return QImage(picture.pixels, picture.width, picture.height, picture.bytesPerLine,
                          QImage::Format(picture.format));
        }
    }
    return {};
}

}  // namespace quillet
