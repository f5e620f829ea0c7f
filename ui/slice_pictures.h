#pragma once

#include <QPixmap>

#include <array>

#include "game/rules.h"

namespace quillet {

// The eight slice pictures, count 1 to 8 (0 unused: an empty cell shows no
// picture), shared by the cells and the next-pair images. Nothing before the
// first Start shows one, so they are made only once the window is on screen
// (decodeAll), not while it is built; a picture asked for before then is made
// at once. Never made twice. A picture is only wrapped around the pixels built
// into the program, which are read in when a game first draws them.
class SlicePictures {
public:
    // The picture for `count` slices, 1 to 8.
    const QPixmap& operator[](int count) const;

    // Makes every picture not made yet.
    void decodeAll() const;

    // Forgets every picture made: the screens' density changed.
    void forget() { m_pictures = {}; }

    // How many pictures have been made.
    int decodedCount() const;

private:
    mutable std::array<QPixmap, rules::WholeCake + 1> m_pictures{};
};

}  // namespace quillet
