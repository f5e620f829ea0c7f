#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include "scores/score_store.h"
#include "tests/game/sequence_random.h"
#include "sound/cue_player.h"
#include "ui/main_window.h"
#include "ui/high_score_window.h"

namespace quillet::testing {

// Notes every cue asked for, as "sync click" or "async claps".
class RecordingCuePlayer : public CuePlayer {
public:
    std::vector<std::string> calls;
    void playAndWait(const std::string& cue) override { calls.push_back("sync " + cue); }
    void play(const std::string& cue) override { calls.push_back("async " + cue); }
};

// Polls `condition` from the running event loop (a modal window's loop
// included) every few milliseconds; runs `then` once it holds. Gives up, and
// fails the test, after `attempts` polls.
inline void PollUntil(std::function<bool()> condition, std::function<void()> then,
                      int attempts = 1000) {
    auto* timer = new QTimer(qApp);
    timer->setInterval(2);
    QObject::connect(timer, &QTimer::timeout, [timer, condition, then, attempts]() mutable {
        const bool holds = condition();
        if (holds || --attempts <= 0) {
            timer->stop();
            timer->deleteLater();
            if (holds) {
                then();
            } else {
                ADD_FAILURE() << "gave up waiting";
            }
        }
    });
    timer->start();
}

// Runs `action` with the active modal window as soon as one of kind `Window`
// is open.
template <typename Window = QWidget>
void WhenModal(std::function<void(QWidget*)> action) {
    PollUntil([] { return qobject_cast<Window*>(QApplication::activeModalWidget()) != nullptr; },
              [action] { action(QApplication::activeModalWidget()); });
}

// A main window over a score store in a fresh temporary folder, a recording
// cue player and a random source that deals 0.0 unless told otherwise.
class FormTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        store = std::make_unique<ScoreStore>(dir.filePath(QStringLiteral("Quillet.conf")));
        PrepareStore();
        mainWindow = std::make_unique<MainWindow>(cues, *store, random);
    }

    void TearDown() override {
        mainWindow.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // Runs before the window loads; a test fixture may fill the store here.
    virtual void PrepareStore() {}

    // Starts a game with the fall timer held at 1 ms, clicks `opener`, and closes
    // the modal window it opens with `close` once three more ticks have come.
    // Returns how many ticks came while the window was open.
    int TicksWhileModal(QPushButton* opener, std::function<void(QWidget*)> close) {
        QTest::mouseClick(mainWindow->startButton, Qt::LeftButton);
        // Every tick sets the game's own interval; the test keeps it short.
        int ticks = 0;
        QObject counting;  // ends the counting with this call
        mainWindow->fallTimer->setInterval(1);
        QObject::connect(mainWindow->fallTimer, &QTimer::timeout, &counting, [&] {
            ++ticks;
            mainWindow->fallTimer->setInterval(1);
        });
        int ticksWhenOpened = -1;
        WhenModal([&](QWidget* modal) {
            ticksWhenOpened = ticks;
            PollUntil([&] { return ticks >= ticksWhenOpened + 3; },
                      [close, modal] { close(modal); });
        });
        QTest::mouseClick(opener, Qt::LeftButton);
        return ticks - ticksWhenOpened;
    }

    void DeliverDeferredDeletes() {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    QTemporaryDir dir;
    std::unique_ptr<ScoreStore> store;
    RecordingCuePlayer cues;
    SequenceRandom random;
    std::unique_ptr<MainWindow> mainWindow;
};

}  // namespace quillet::testing
