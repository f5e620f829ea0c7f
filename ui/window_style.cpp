#include "ui/window_style.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPalette>
#include <QScreen>

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

void fillBackground(QWidget* widget, layout::Rgb colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, toColor(colour));
    widget->setPalette(palette);
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
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, toColor(textColour));
    label->setPalette(palette);
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
