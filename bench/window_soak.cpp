// What the game's memory does over a long session, through the real main window
// (as main() builds it) on the current display:
//
//   window_soak --openings 50,400
//     Opens and closes each modal window in turn, the high-score window, the
//     version message and the keys and rules window, each through its own
//     button or key, and reads VmRSS once each has been opened 50 times and
//     again after 400: "window=NAME rss_kb_50=… rss_kb_400=…". The sound is
//     switched off for this part, so that 1,200 clicks do not take four
//     minutes; the cue player's own memory is the soak's to show.
//
//   window_soak --soak-s 600 --sample-s 30 [--seed N]
//     A game played by random presses, the sound on: every 150 ms on average
//     a press of Start, a move, HighScore, About or F1, each modal window
//     closed again after a random moment, a name typed when the game asks
//     for one. Reads VmRSS every --sample-s: "soak t_s=… rss_kb=…" lines,
//     then "soak_summary rss_kb_60=… rss_kb_end=… max_after_60_kb=…
//     modal_windows=… games=…".

#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QPixmapCache>
#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/game_harness.h"
#include "bench/proc_stats.h"
#include "ui/fonts.h"
#include "ui/high_score_window.h"

namespace {

using quillet::MainWindow;

long rssKb() {
    return quillet::bench::processMemory(getpid()).rssKb;
}

// Presses whatever opens a modal window, and closes the window from inside its
// own event loop once it has been on screen for a moment, so that it has been
// painted, as a player would see it.
void openAndClose(const std::function<void()>& open) {
    constexpr int LookEveryMs = 10;
    constexpr int ShownForLooks = 3;
    QTimer closer;
    closer.setInterval(LookEveryMs);
    int looks = 0;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal != nullptr && ++looks >= ShownForLooks) {
            closer.stop();
            modal->close();
        }
    });
    closer.start();
    open();
    closer.stop();
    // The closed windows' deferred deletions, as the event loop would run them.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

int openings(MainWindow& window, int warm, int total) {
    window.setSoundOn(false);
    struct Opener {
        const char* name;
        std::function<void()> open;
    };
    const std::vector<Opener> openers = {
        {"highscore", [&] { window.highScoreButton->click(); }},
        {"version", [&] { window.aboutButton->click(); }},
        {"keys", [&] { window.action(quillet::Command::Help)->trigger(); }},
    };
    for (const Opener& opener : openers) {
        const long before = rssKb();
        openAndClose(opener.open);
        const long afterFirst = rssKb();
        for (int i = 1; i < warm; ++i) openAndClose(opener.open);
        const long afterWarm = rssKb();
        for (int i = warm; i < total; ++i) openAndClose(opener.open);
        std::printf("window=%s rss_kb_0=%ld rss_kb_1=%ld rss_kb_%d=%ld rss_kb_%d=%ld\n", opener.name,
                    before, afterFirst, warm, afterWarm, total, rssKb());
        std::fflush(stdout);
    }
    return 0;
}

int soak(MainWindow& window, int seconds, int sampleSeconds, unsigned seed) {
    std::mt19937 random(seed);
    const auto pick = [&random](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };
    int elapsedSamples = 0;
    int modalWindows = 0;
    int games = 0;
    long rssAt60 = -1;
    long maxAfter60 = 0;
    long last = 0;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        ++elapsedSamples;
        const int t = elapsedSamples * sampleSeconds;
        last = rssKb();
        std::printf("soak t_s=%d rss_kb=%ld\n", t, last);
        std::fflush(stdout);
        if (t == 60) rssAt60 = last;
        if (t > 60 && last > maxAfter60) maxAfter60 = last;
        if (t >= seconds) QCoreApplication::quit();
    });
    sampler.start(sampleSeconds * 1000);

    // A modal window stays open for a random moment, then is closed; one that
    // asks for a name gets one first.
    QTimer presser;
    QWidget* seenModal = nullptr;
    int modalPresses = 0;
    QObject::connect(&presser, &QTimer::timeout, [&] {
        presser.setInterval(50 + pick(200));
        if (QWidget* modal = QApplication::activeModalWidget()) {
            if (modal != seenModal) {
                seenModal = modal;
                modalPresses = 3 + pick(20);
                ++modalWindows;
            }
            if (--modalPresses > 0) return;
            if (auto* scores = qobject_cast<quillet::HighScoreWindow*>(modal)) {
                for (QLineEdit* box : scores->nameEdits) {
                    if (box->isVisible()) box->setText(QStringLiteral("soak"));
                }
                scores->closeButton->click();
            } else {
                modal->close();
            }
            return;
        }
        seenModal = nullptr;
        switch (pick(40)) {
            case 0:
                window.highScoreButton->click();
                break;
            case 1:
                window.aboutButton->click();
                break;
            case 2:
                window.action(quillet::Command::Help)->trigger();
                break;
            default:
                if (window.startButton->isEnabled()) {
                    ++games;
                    window.startButton->click();
                } else {
                    QPushButton* moves[] = {window.leftButton, window.turnButton,
                                            window.rightButton};
                    moves[pick(3)]->click();
                }
        }
    });
    presser.start(100);
    QApplication::exec();
    std::printf("soak_summary rss_kb_60=%ld rss_kb_end=%ld max_after_60_kb=%ld modal_windows=%d "
                "games=%d\n",
                rssAt60, last, maxAfter60, modalWindows, games);
    return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
    int warm = 0, total = 0, seconds = 0, sampleSeconds = 30;
    unsigned seed = 20261209;
    int cacheKb = -1;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        const char* value = argv[i + 1];
        if (option == "--openings") {
            std::sscanf(value, "%d,%d", &warm, &total);
        } else if (option == "--soak-s") {
            seconds = std::atoi(value);
        } else if (option == "--sample-s") {
            sampleSeconds = std::atoi(value);
        } else if (option == "--pixmap-cache-kb") {
            cacheKb = std::atoi(value);
        } else if (option == "--seed") {
            seed = static_cast<unsigned>(std::strtoul(value, nullptr, 10));
        }
    }
    if ((total <= warm || warm <= 0) && seconds <= 0) {
        std::fputs("usage: window_soak --openings WARM,TOTAL | --soak-s N [--sample-s N] "
                   "[--seed N]\n",
                   stderr);
        return 2;
    }
    QApplication app(argc, argv);
    quillet::installFontSubstitutions();
    if (cacheKb >= 0) QPixmapCache::setCacheLimit(cacheKb);
    // Pieces dealt at random, as in a real game.
    quillet::bench::GameHarness harness(std::make_unique<quillet::ClockSeededRandom>());
    harness.window().show();
    QCoreApplication::processEvents();
    return seconds > 0 ? soak(harness.window(), seconds, sampleSeconds, seed)
                       : openings(harness.window(), warm, total);
}
