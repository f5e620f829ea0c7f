#pragma once

#include <QPixmap>

#include <array>

#include "game/rules.h"

namespace quillet {

// The eight slice pictures, count 1 to 8 (0 unused: an empty cell shows no
// picture), shared by the cells and the next-pair images. Nothing before the
// first Start shows one, so they are decoded only once the window is on
// screen (decodeAll), not while it is built; a picture asked for before then
// is decoded at once. Never decoded twice.
class SlicePictures {
public:
    // The picture for `count` slices, 1 to 8.
    const QPixmap& operator[](int count) const;

    // Decodes every picture not decoded yet.
    void decodeAll() const;

    // How many pictures have been decoded.
    int decodedCount() const;

private:
    mutable std::array<QPixmap, rules::WholeCake + 1> m_pictures{};
};

}  // namespace quillet
