// About's press-to-message time through the real main window (as main()
// builds it) on the current display, with the real sound player on whatever
// sound server the environment names (bench.sh gives it a private PulseAudio
// with a null sink):
//
//   about_press --presses 9 --closed 3
//
// Presses About and notes the time from the press to the first paint of the
// version message, which it then closes. Three series, one line each,
// "about sound=MODE n=… p50_ms=… max_ms=… all_ms=a,b,…":
//
//   off     the sound switched off: no click, the message at once;
//   open    the sound on, each press a second after the last message closed,
//           so the device is still open from the last click (a first press
//           opens it and is not counted);
//   closed  the sound on, each press after 7 s of silence, by which time the
//           player has closed the device: the click opens a new stream.

#include <QApplication>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bench/game_harness.h"
#include "ui/fonts.h"

namespace {

using Clock = std::chrono::steady_clock;

// The player closes its device after 5 s of silence.
constexpr int SilenceMs = 7000;
constexpr int GapMs = 1000;

// Notes the first paint of any top-level window other than the main one, and
// closes that window once it has painted.
class MessageWatch : public QObject {
public:
    explicit MessageWatch(QWidget& main) : m_main(main) {}
    std::optional<Clock::time_point> paintedAt;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && watched->isWidgetType() && !paintedAt) {
            auto* widget = static_cast<QWidget*>(watched);
            QWidget* window = widget->window();
            if (window != &m_main) {
                paintedAt = Clock::now();
                QTimer::singleShot(0, window, [window] { window->close(); });
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QWidget& m_main;
};

struct Series {
    const char* mode;
    bool soundOn;
    int presses;
    int gapMs;
    int uncounted;
};

}  // namespace

int main(int argc, char* argv[]) {
    int presses = 9, closedPresses = 3;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--presses") presses = std::atoi(argv[i + 1]);
        if (option == "--closed") closedPresses = std::atoi(argv[i + 1]);
    }
    QApplication app(argc, argv);
    quillet::installFontSubstitutions();
    quillet::bench::GameHarness harness(std::make_unique<quillet::ClockSeededRandom>());
    quillet::MainWindow& window = harness.window();
    window.show();
    MessageWatch watch(window);
    app.installEventFilter(&watch);

    const std::vector<Series> series = {
        {"off", false, presses, GapMs, 0},
        {"open", true, presses + 1, GapMs, 1},
        {"closed", true, closedPresses, SilenceMs, 0},
    };
    std::size_t current = 0;
    int done = 0;
    std::vector<double> times;
    std::function<void()> press = [&] {
        const Series& now = series[current];
        watch.paintedAt.reset();
        const Clock::time_point pressed = Clock::now();
        window.aboutButton->click();  // returns once the message has closed
        if (done++ >= now.uncounted && watch.paintedAt) {
            times.push_back(std::chrono::duration<double, std::milli>(*watch.paintedAt - pressed)
                                .count());
        }
        if (done < now.presses) {
            QTimer::singleShot(now.gapMs, &window, press);
            return;
        }
        std::vector<double> sorted = times;
        std::sort(sorted.begin(), sorted.end());
        std::string all;
        for (double t : times) all += (all.empty() ? "" : ",") + std::to_string(t).substr(0, 6);
        std::printf("about sound=%s n=%zu p50_ms=%.1f max_ms=%.1f all_ms=%s\n", now.mode,
                    sorted.size(), sorted.empty() ? -1.0 : sorted[sorted.size() / 2],
                    sorted.empty() ? -1.0 : sorted.back(), all.empty() ? "-" : all.c_str());
        std::fflush(stdout);
        times.clear();
        done = 0;
        if (++current == series.size()) {
            QCoreApplication::quit();
            return;
        }
        window.setSoundOn(series[current].soundOn);
        QTimer::singleShot(series[current].gapMs, &window, press);
    };
    window.setSoundOn(series[0].soundOn);
    QTimer::singleShot(GapMs, &window, press);
    return QApplication::exec();
}
