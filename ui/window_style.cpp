#include "ui/window_style.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPalette>
#include <QScreen>

namespace quillet {

Qt::WindowFlags FixedWindowFlags(Qt::WindowType kind) {
    return kind | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
           Qt::WindowCloseButtonHint;
}

QColor ToColor(layout::Rgb rgb) {
    return QColor(rgb.r, rgb.g, rgb.b);
}

void SetBox(QWidget* widget, const layout::Box& box) {
    // Fixed as well as placed. Nothing here is laid out, and a widget of fixed
    // size spares its parent a layout request each time its picture or text
    // changes: during play, one for every cell that changes.
    widget->setFixedSize(box.width, box.height);
    widget->setGeometry(box.left, box.top, box.width, box.height);
}

void FillBackground(QWidget* widget, layout::Rgb colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, ToColor(colour));
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

void CentreOnScreen(QWidget* window) {
    const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect available = screen->availableGeometry();
    window->move(available.center() - QPoint(window->width() / 2, window->height() / 2));
}

QLabel* MakeLabel(QWidget* parent, const layout::Box& box, const QString& text, const QFont& font,
                  layout::Rgb textColour) {
    auto* label = new QLabel(text, parent);
    SetBox(label, box);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, ToColor(textColour));
    label->setPalette(palette);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

QLabel* MakePanel(QWidget* parent, const layout::Box& box, layout::Rgb background) {
    auto* panel = new QLabel(parent);
    SetBox(panel, box);
    FillBackground(panel, background);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setLineWidth(1);
    return panel;
}

}  // namespace quillet
