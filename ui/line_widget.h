#pragma once

#include <QPainter>
#include <QPen>
#include <QPixmap>
#include <QWidget>

namespace quillet {

// A one-pixel vertical line, solid or dotted, that takes no input.
class LineWidget : public QWidget {
public:
    LineWidget(int x, int top, int bottom, Qt::PenStyle style, QWidget* parent)
        : QWidget(parent), m_style(style) {
        setGeometry(x, top, 1, bottom - top + 1);
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        // The line is drawn once, into a transparent picture, and then copied.
        // The column lines border the cells, so every fall repaints a stretch
        // of one or two of them, and dashing the whole line anew each time
        // cost more than drawing the cell itself.
        const qreal ratio = devicePixelRatioF();
        if (m_line.isNull() || m_line.devicePixelRatio() != ratio) {
            m_line = QPixmap(size() * ratio);
            m_line.setDevicePixelRatio(ratio);
            m_line.fill(Qt::transparent);
            QPainter painter(&m_line);
            painter.setPen(QPen(Qt::black, 1, m_style));
            painter.drawLine(0, 0, 0, height() - 1);
        }
        QPainter painter(this);
        painter.drawPixmap(0, 0, m_line);
    }

private:
    Qt::PenStyle m_style;
    QPixmap m_line;
};

}  // namespace quillet
