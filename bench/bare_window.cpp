// The yardstick of the start-up, memory and CPU figures: the smallest Qt
// Widgets program there is, one top-level label, built with the game's
// compiler flags.
//
//   bare_window                   shows the label and waits
//   bare_window --repaint-ms N    also swaps the label's picture every N ms:
//                                 what a repaint at the game's landing rate
//                                 costs the toolkit, with no game behind it
#include <QApplication>
#include <QLabel>
#include <QPixmap>
#include <QTimer>

#include <cstring>
#include <string>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QLabel label(QStringLiteral("A bare Qt Widgets window"));
    label.resize(616, 497);
    label.show();

    QTimer timer;
    if (argc == 3 && std::strcmp(argv[1], "--repaint-ms") == 0) {
        QPixmap pictures[2] = {QPixmap(100, 100), QPixmap(100, 100)};
        pictures[0].fill(Qt::darkRed);
        pictures[1].fill(Qt::darkBlue);
        int shown = 0;
        QObject::connect(&timer, &QTimer::timeout, &label, [&] {
            shown = 1 - shown;
            label.setPixmap(pictures[shown]);
        });
        timer.setTimerType(Qt::PreciseTimer);
        timer.start(std::stoi(argv[2]));
        return app.exec();
    }
    return app.exec();
}
