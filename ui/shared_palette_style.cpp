#include "ui/shared_palette_style.h"

#include <QApplication>
#include <QStyleFactory>
#include <QStyleOption>

namespace quillet {

namespace {

// Lets the base style draw with the shared palette. The option is the caller's
// own, made for this one call; its palette is put back when the call returns.
class PaletteSwap {
public:
    PaletteSwap(const QStyleOption* option, const QPalette& shared)
        : m_option(const_cast<QStyleOption*>(option)) {
        if (m_option == nullptr || m_option->palette.cacheKey() == shared.cacheKey()) {
            m_option = nullptr;
            return;
        }
        m_own = m_option->palette;
        m_option->palette = shared;
    }
    ~PaletteSwap() {
        if (m_option != nullptr) m_option->palette = m_own;
    }
    PaletteSwap(const PaletteSwap&) = delete;
    PaletteSwap& operator=(const PaletteSwap&) = delete;

private:
    QStyleOption* m_option;
    QPalette m_own;
};

}  // namespace

SharedPaletteStyle::SharedPaletteStyle(QStyle* base)
    : QProxyStyle(base != nullptr ? base : createBaseLike(QApplication::style())) {
    // Never moved: a shared palette is handed on by reference.
    m_palettes.reserve(MostPalettes);
}

QStyle* SharedPaletteStyle::createBaseLike(const QStyle* style) {
    if (const auto* proxy = qobject_cast<const QProxyStyle*>(style)) style = proxy->baseStyle();
    return style != nullptr ? QStyleFactory::create(style->name()) : nullptr;
}

const QPalette& SharedPaletteStyle::shared(const QPalette& palette) const {
    const qint64 key = palette.cacheKey();
    for (const Remembered& remembered : m_remembered) {
        if (remembered.index >= 0 && remembered.key == key) return m_palettes[remembered.index];
    }
    int index = -1;
    for (std::size_t i = 0; i < m_palettes.size() && index < 0; ++i) {
        if (m_palettes[i] == palette) index = static_cast<int>(i);
    }
    if (index < 0) {
        if (m_palettes.size() >= MostPalettes) return palette;
        m_palettes.push_back(palette);
        index = static_cast<int>(m_palettes.size()) - 1;
    }
    m_remembered[m_nextRemembered] = Remembered{key, index};
    m_nextRemembered = (m_nextRemembered + 1) % RememberedKeys;
    return m_palettes[index];
}

void SharedPaletteStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option,
                                       QPainter* painter, const QWidget* widget) const {
    const PaletteSwap swap(option, option ? shared(option->palette) : QPalette());
    QProxyStyle::drawPrimitive(element, option, painter, widget);
}

void SharedPaletteStyle::drawControl(ControlElement element, const QStyleOption* option,
                                     QPainter* painter, const QWidget* widget) const {
    const PaletteSwap swap(option, option ? shared(option->palette) : QPalette());
    QProxyStyle::drawControl(element, option, painter, widget);
}

void SharedPaletteStyle::drawComplexControl(ComplexControl control,
                                            const QStyleOptionComplex* option, QPainter* painter,
                                            const QWidget* widget) const {
    const PaletteSwap swap(option, option ? shared(option->palette) : QPalette());
    QProxyStyle::drawComplexControl(control, option, painter, widget);
}

void installSharedPaletteStyle() {
    if (qobject_cast<SharedPaletteStyle*>(QApplication::style()) != nullptr) return;
    QApplication::setStyle(new SharedPaletteStyle);
}

}  // namespace quillet
