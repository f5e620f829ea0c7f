#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "tests/ui/ui_fixture.h"

namespace quillet::testing {
namespace {

// A whole game through the real window: the test clicks the buttons and
// drives the fall ticks itself.
class PlayThroughTheWindow : public FormTest {
protected:
    // Every cell and next-pair image shows the shared picture of its count.
    void expectScreenMatchesGame() {
        const Game& game = m_mainWindow->game();
        for (int i = 0; i < rules::CellCount; ++i) {
            const QPixmap shown = m_mainWindow->cellImages[i]->pixmap();
            if (game.board[i] == 0) {
                EXPECT_TRUE(shown.isNull()) << "cell " << i;
            } else {
                EXPECT_EQ(shown.cacheKey(), m_mainWindow->slicePictures[game.board[i]].cacheKey())
                    << "cell " << i;
            }
        }
        for (int e = 0; e < 2; ++e) {
            EXPECT_EQ(m_mainWindow->nextImages[e]->pixmap().cacheKey(),
                      m_mainWindow->slicePictures[game.nextPair[e]].cacheKey());
        }
    }
};

TEST_F(PlayThroughTheWindow, MovesTurnsAndFallsUntilTheGameEndsAndIsRanked) {
    // Every piece has 3 slices (0.5 picks the narrow range, then 0.5 gives 3),
    // except that the left piece of the first pair has 1 (r2 = 0.0).
    m_random.deal({0.5, 0.0, 0.5, 0.5});
    QTest::mouseClick(m_mainWindow->startButton, Qt::LeftButton);
    m_random.deal({0.5});
    Game& game = m_mainWindow->game();
    m_mainWindow->tick();  // the first pair enters at cells 1 and 2
    EXPECT_EQ(game.board[1], 1);
    EXPECT_EQ(game.board[2], 3);

    QTest::mouseClick(m_mainWindow->leftButton, Qt::LeftButton);
    EXPECT_EQ((std::array<std::int16_t, 2>{0, 1}), game.fallingPair);
    QTest::mouseClick(m_mainWindow->leftButton, Qt::LeftButton);  // at the wall: refused
    EXPECT_EQ((std::array<std::int16_t, 2>{0, 1}), game.fallingPair);
    QTest::mouseClick(m_mainWindow->turnButton, Qt::LeftButton);
    EXPECT_EQ(game.board[0], 3);
    EXPECT_EQ(game.board[1], 1);
    QTest::mouseClick(m_mainWindow->rightButton, Qt::LeftButton);
    QTest::mouseClick(m_mainWindow->rightButton, Qt::LeftButton);
    QTest::mouseClick(m_mainWindow->rightButton, Qt::LeftButton);  // at the wall: refused
    EXPECT_EQ((std::array<std::int16_t, 2>{2, 3}), game.fallingPair);
    expectScreenMatchesGame();

    bool ranked = false;
    whenModal<HighScoreWindow>([&](QWidget* modal) {
        ranked = true;
        auto* window = qobject_cast<HighScoreWindow*>(modal);
        EXPECT_EQ(window->scoreLabels[0]->text(), QString::number(game.score));
        EXPECT_TRUE(window->nameEdits[0]->isVisible());
        QTest::keyClicks(window->nameEdits[0], QStringLiteral("Player"));
        QTest::mouseClick(window->closeButton, Qt::LeftButton);
    });

    // Let the game run on, turning now and then: the pairs drop where they
    // enter, merge where they fit, and stack up until a pair finds no room.
    int ticks = 0;
    std::int32_t lastScore = 0;
    while (!m_mainWindow->startButton->isEnabled() && ticks < 1000) {
        m_mainWindow->tick();
        ++ticks;
        EXPECT_GE(game.score, lastScore);
        lastScore = game.score;
        if (ticks % 7 == 0) QTest::mouseClick(m_mainWindow->turnButton, Qt::LeftButton);
        expectScreenMatchesGame();
        EXPECT_EQ(m_mainWindow->scoreDisplay->text(), QString::number(game.score));
        EXPECT_EQ(m_mainWindow->cakeDisplay->text(), QString::number(game.cakeCount));
    }
    ASSERT_TRUE(m_mainWindow->startButton->isEnabled()) << "the game never ended";
    EXPECT_FALSE(m_mainWindow->leftButton->isEnabled());
    EXPECT_FALSE(m_mainWindow->fallTimer->isActive());
    EXPECT_GT(game.score, 0);
    EXPECT_TRUE(ranked) << "a winning score opens the high-score window";
    HighScoreTable stored;
    m_store->load(stored);
    EXPECT_EQ(stored.names[0], QStringLiteral("Player"));
    EXPECT_EQ(stored.scores[0], game.score);
    // Cues: start, then merges and cakes, then the applause and Close's click.
    ASSERT_GE(m_cues.calls.size(), 3u);
    EXPECT_EQ(m_cues.calls.front(), "async start");
    EXPECT_EQ(m_cues.calls[m_cues.calls.size() - 2], "async claps");
    EXPECT_EQ(m_cues.calls.back(), "sync click");
}

}  // namespace
}  // namespace quillet::testing
