#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPoint>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include "scores/score_store.h"
#include "sound/cue_player.h"
#include "tests/game/sequence_random.h"
#include "ui/high_score_window.h"
#include "ui/main_window.h"

namespace quillet::testing {

// Notes every cue asked for, as "sync click" or "async claps".
class RecordingCuePlayer : public CuePlayer {
public:
    std::vector<std::string> calls;
    void playAndWait(const std::string& cue) override { calls.push_back("sync " + cue); }
    void play(const std::string& cue) override { calls.push_back("async " + cue); }
    int prepares = 0;
    void prepare() override { ++prepares; }
};

// Polls `condition` from the running event loop (a modal window's loop
// included) every few milliseconds; runs `then` once it holds. Gives up, and
// fails the test, after `attempts` polls.
inline void pollUntil(std::function<bool()> condition, std::function<void()> then,
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
void whenModal(std::function<void(QWidget*)> action) {
    pollUntil([] { return qobject_cast<Window*>(QApplication::activeModalWidget()) != nullptr; },
              [action] { action(QApplication::activeModalWidget()); });
}

// A main window over a score store in a fresh temporary folder, a recording
// cue player and a random source that deals 0.0 unless told otherwise.
// How many pixels two drawings of the same size differ in, and the first of
// them (row by row).
struct PixelDifference {
    int count = 0;
    QPoint first;
};
inline PixelDifference differingPixels(const QImage& a, const QImage& b) {
    PixelDifference found;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            if (a.pixel(x, y) != b.pixel(x, y) && found.count++ == 0) found.first = QPoint(x, y);
        }
    }
    return found;
}

class FormTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_store = std::make_unique<ScoreStore>(m_dir.filePath(QStringLiteral("Quillet.conf")));
        prepareStore();
        m_mainWindow = std::make_unique<MainWindow>(m_cues, *m_store, m_random);
    }

    void TearDown() override {
        m_mainWindow.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // Runs before the window loads; a test fixture may fill the store here.
    virtual void prepareStore() {}

    // Starts a game with the fall timer held at 1 ms, clicks `opener`, and closes
    // the modal window it opens with `close` once three more ticks have come.
    // Returns how many ticks came while the window was open.
    int ticksWhileModal(QPushButton* opener, std::function<void(QWidget*)> close) {
        QTest::mouseClick(m_mainWindow->startButton, Qt::LeftButton);
        // Every tick sets the game's own interval; the test keeps it short.
        int ticks = 0;
        QObject counting;  // ends the counting with this call
        m_mainWindow->fallTimer->setInterval(1);
        QObject::connect(m_mainWindow->fallTimer, &QTimer::timeout, &counting, [&] {
            ++ticks;
            m_mainWindow->fallTimer->setInterval(1);
        });
        int ticksWhenOpened = -1;
        whenModal([&](QWidget* modal) {
            ticksWhenOpened = ticks;
            pollUntil([&] { return ticks >= ticksWhenOpened + 3; },
                      [close, modal] { close(modal); });
        });
        QTest::mouseClick(opener, Qt::LeftButton);
        return ticks - ticksWhenOpened;
    }

    void deliverDeferredDeletes() {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    QTemporaryDir m_dir;
    std::unique_ptr<ScoreStore> m_store;
    RecordingCuePlayer m_cues;
    SequenceRandom m_random;
    std::unique_ptr<MainWindow> m_mainWindow;
};

// The shortcuts belong to the main window: it must be shown and active.
class KeyboardTest : public FormTest {
protected:
    void SetUp() override {
        FormTest::SetUp();
        m_mainWindow->show();
        activate();
    }

    // Again after a modal window closed: the offscreen platform gives the
    // focus back only when asked.
    void activate() {
        deliverDeferredDeletes();  // a closed window is gone only then
        m_mainWindow->activateWindow();
        ASSERT_TRUE(QTest::qWaitFor(
            [this] { return QApplication::activeWindow() == m_mainWindow.get(); }));
    }

    Game& game() { return m_mainWindow->game(); }

    // A game whose first pair, 1 and 3 slices unless told otherwise, has just
    // entered cells 1 and 2.
    void startFalling(std::vector<double> draws = {0.5, 0.0, 0.5, 0.5}) {
        m_random.deal(std::move(draws));
        QTest::mouseClick(m_mainWindow->startButton, Qt::LeftButton);
        m_mainWindow->tick();
        ASSERT_TRUE(game().isPairFalling());
    }
    // Both pieces of the first pair, 3 slices each, landed in the entry cells
    // on pieces too large to merge with: the next tick ends the game.
    void landInTheEntryCells() {
        startFalling({0.5, 0.5});
        game().setCell(5, 7);
        game().setCell(6, 7);
        m_mainWindow->tick();
        ASSERT_FALSE(game().isPairFalling());
    }
};

}  // namespace quillet::testing
