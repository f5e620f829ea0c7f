#pragma once

#include <QPainter>
#include <QPen>
#include <QWidget>

namespace quillet {

// A one-pixel vertical line, solid or dotted, that takes no input.
class LineWidget : public QWidget {
public:
    LineWidget(int x, int top, int bottom, Qt::PenStyle style, QWidget* parent)
        : QWidget(parent), style_(style) {
        setGeometry(x, top, 1, bottom - top + 1);
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setPen(QPen(Qt::black, 1, style_));
        painter.drawLine(0, 0, 0, height() - 1);
    }

private:
    Qt::PenStyle style_;
};

}  // namespace quillet
