#include "ui/window_style.h"

#include <QApplication>
#include <QLabel>
#include <QPalette>
#include <QScreen>

#include <vector>

namespace quillet {

Qt::WindowFlags fixedWindowFlags(Qt::WindowType kind) {
    return kind | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
           Qt::WindowCloseButtonHint;
}

QColor toColor(layout::Rgb rgb) {
    return QColor(rgb.r, rgb.g, rgb.b);
}

void setBox(QWidget* widget, const layout::Box& box) {
    // Fixed as well as placed. Nothing here is laid out, and a widget of fixed
    // size spares its parent a layout request each time its picture or text
    // changes: during play, one for every cell that changes.
    widget->setFixedSize(box.width, box.height);
    widget->setGeometry(box.left, box.top, box.width, box.height);
}

namespace {

// Sets of colours kept: the game's windows use about a dozen.
constexpr std::size_t MostSharedPalettes = 32;

struct SharedPalette {
    qint64 base;  // the identity of the palette Qt gives the widget's class
    layout::Rgb background;
    std::optional<layout::Rgb> text;
    QPalette palette;
};

bool sameColour(layout::Rgb a, layout::Rgb b) {
    return a.r == b.r && a.g == b.g && a.b == b.b;
}

// The palette Qt gives widgets of `widget`'s class, every brush of it set, so
// that Qt hands this very object to each widget it is set on instead of a
// copy resolved against the widget's parent.
QPalette completed(const QPalette& base) {
    QPalette palette = base;
    for (int group = 0; group < QPalette::NColorGroups; ++group) {
        for (int role = 0; role < QPalette::NColorRoles; ++role) {
            const auto g = static_cast<QPalette::ColorGroup>(group);
            const auto r = static_cast<QPalette::ColorRole>(role);
            palette.setBrush(g, r, palette.brush(g, r));
        }
    }
    return palette;
}

}  // namespace

QPalette sharedPalette(const QWidget* widget, layout::Rgb background,
                       std::optional<layout::Rgb> text) {
    static std::vector<SharedPalette> palettes;
    const QPalette& base = QApplication::palette(widget);
    const qint64 baseKey = base.cacheKey();
    for (const SharedPalette& shared : palettes) {
        if (shared.base == baseKey && sameColour(shared.background, background) &&
            shared.text.has_value() == text.has_value() &&
            (!text || sameColour(*shared.text, *text))) {
            return shared.palette;
        }
    }
    QPalette palette = completed(base);
    // As a widget's own setColor would: the same colour in every group.
    palette.setColor(QPalette::Window, toColor(background));
    if (text) palette.setColor(QPalette::WindowText, toColor(*text));
    // Only new application palettes (a changed theme) make sets beyond the
    // game's few: those made over the old ones are dropped.
    if (palettes.size() == MostSharedPalettes) palettes.clear();
    palettes.push_back({baseKey, background, text, palette});
    return palette;
}

void setColours(QWidget* widget, layout::Rgb background, std::optional<layout::Rgb> text) {
    widget->setPalette(sharedPalette(widget, background, text));
}

void shareWindowColours(QWidget* window, layout::Rgb background) {
    setColours(window, background);
    for (QWidget* child : window->findChildren<QWidget*>()) {
        if (!child->isWindow() && !child->testAttribute(Qt::WA_SetPalette)) {
            setColours(child, background);
        }
    }
}

void fillBackground(QWidget* widget, layout::Rgb background, std::optional<layout::Rgb> text) {
    setColours(widget, background, text);
    widget->setAutoFillBackground(true);
}

void centreOnScreen(QWidget* window) {
    const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect available = screen->availableGeometry();
    window->move(available.center() - QPoint(window->width() / 2, window->height() / 2));
}

QLabel* makeLabel(QWidget* parent, const layout::Box& box, const QString& text, const QFont& font,
                  layout::Rgb textColour) {
    auto* label = new QLabel(parent);
    // Before the text: Qt's default, Qt::AutoText, would render any text that
    // looks like HTML as rich text, loading the pictures it names from disk.
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    setBox(label, box);
    label->setFont(font);
    // On its parent's background, which it lets show through.
    const QColor background = parent->palette().color(QPalette::Window);
    setColours(label, {background.red(), background.green(), background.blue()}, textColour);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

QLabel* makePanel(QWidget* parent, const layout::Box& box, layout::Rgb background) {
    auto* panel = new QLabel(parent);
    panel->setTextFormat(Qt::PlainText);
    setBox(panel, box);
    fillBackground(panel, background);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setLineWidth(1);
    return panel;
}

}  // namespace quillet
