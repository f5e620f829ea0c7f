#include "ui/slice_pictures.h"

#include "ui/pictures.h"

namespace quillet {

const QPixmap& SlicePictures::operator[](int count) const {
    QPixmap& picture = m_pictures[count];
    if (picture.isNull()) picture = loadPicture(QStringLiteral("cake%1").arg(count));
    return picture;
}

void SlicePictures::decodeAll() const {
    for (int count = 1; count <= rules::WholeCake; ++count) (*this)[count];
}

int SlicePictures::decodedCount() const {
    int decoded = 0;
    for (int count = 1; count <= rules::WholeCake; ++count) {
        if (!m_pictures[count].isNull()) ++decoded;
    }
    return decoded;
}

}  // namespace quillet
