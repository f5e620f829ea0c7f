#pragma once

#include <QPalette>
#include <QProxyStyle>

#include <array>
#include <vector>

namespace quillet {

// The application's style, drawing with one palette object for each set of
// colours.
//
// Qt's style keeps what it has drawn of buttons, frames and name boxes in the
// pixmap cache, under a key made from the palette's identity, not its colours.
// Every window built gets palettes of its own (a widget's palette is a new
// object whenever it or its window sets one), so each opening of the
// high-score window, the version message or the keys window cached the same
// pictures again under new keys, about 20 to 60 kB an opening, until the
// cache's 10 MB were full. Handed the first palette seen with the same colours
// instead, the style finds what it drew for the window before.
class SharedPaletteStyle : public QProxyStyle {
    Q_OBJECT

public:
    // Takes `base` over; null for the application's current style.
    explicit SharedPaletteStyle(QStyle* base = nullptr);

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                            QPainter* painter, const QWidget* widget = nullptr) const override;

    // The palette drawn with in place of `palette`: the first one seen with the
    // same colours.
    const QPalette& shared(const QPalette& palette) const;

    // A new instance of the style that `style` is, or draws through: for a
    // window part that needs a style of its own.
    static QStyle* createBaseLike(const QStyle* style);

private:
    // Sets of colours kept at most: the game's windows use a handful. Any
    // further set is drawn with as it comes.
    static constexpr std::size_t MostPalettes = 32;
    // Palette identities remembered with their shared palette, so that a
    // widget's palette is compared colour by colour only the first time.
    static constexpr std::size_t RememberedKeys = 64;

    mutable std::vector<QPalette> m_palettes;
    struct Remembered {
        qint64 key = 0;
        int index = -1;
    };
    mutable std::array<Remembered, RememberedKeys> m_remembered{};
    mutable std::size_t m_nextRemembered = 0;
};

// Makes SharedPaletteStyle, over the style Qt chose, the application's style.
// Call once, after the QApplication is made and before the first window.
void installSharedPaletteStyle();

}  // namespace quillet
