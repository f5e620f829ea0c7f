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
    void ExpectScreenMatchesGame() {
        const Game& game = mainWindow->game();
        for (int i = 0; i < rules::CellCount; ++i) {
            const QPixmap shown = mainWindow->cellImages[i]->pixmap();
            if (game.Board[i] == 0) {
                EXPECT_TRUE(shown.isNull()) << "cell " << i;
            } else {
                EXPECT_EQ(shown.cacheKey(), mainWindow->slicePictures[game.Board[i]]->pixmap().cacheKey())
                    << "cell " << i;
            }
        }
        for (int e = 0; e < 2; ++e) {
            EXPECT_EQ(mainWindow->nextImages[e]->pixmap().cacheKey(),
                      mainWindow->slicePictures[game.NextPair[e]]->pixmap().cacheKey());
        }
    }
};

TEST_F(PlayThroughTheWindow, MovesTurnsAndFallsUntilTheGameEndsAndIsRanked) {
    // Every piece has 3 slices (0.5 picks the narrow range, then 0.5 gives 3),
    // except that the left piece of the first pair has 1 (r2 = 0.0).
    random.Deal({0.5, 0.0, 0.5, 0.5});
    QTest::mouseClick(mainWindow->startButton, Qt::LeftButton);
    random.Deal({0.5});
    Game& game = mainWindow->game();
    mainWindow->tick();  // the first pair enters at cells 1 and 2
    EXPECT_EQ(game.Board[1], 1);
    EXPECT_EQ(game.Board[2], 3);

    QTest::mouseClick(mainWindow->leftButton, Qt::LeftButton);
    EXPECT_EQ((std::array<std::int16_t, 2>{0, 1}), game.FallingPair);
    QTest::mouseClick(mainWindow->leftButton, Qt::LeftButton);  // at the wall: refused
    EXPECT_EQ((std::array<std::int16_t, 2>{0, 1}), game.FallingPair);
    QTest::mouseClick(mainWindow->turnButton, Qt::LeftButton);
    EXPECT_EQ(game.Board[0], 3);
    EXPECT_EQ(game.Board[1], 1);
    QTest::mouseClick(mainWindow->rightButton, Qt::LeftButton);
    QTest::mouseClick(mainWindow->rightButton, Qt::LeftButton);
    QTest::mouseClick(mainWindow->rightButton, Qt::LeftButton);  // at the wall: refused
    EXPECT_EQ((std::array<std::int16_t, 2>{2, 3}), game.FallingPair);
    ExpectScreenMatchesGame();

    bool ranked = false;
    WhenModal<HighScoreWindow>([&](QWidget* modal) {
        ranked = true;
        auto* window = qobject_cast<HighScoreWindow*>(modal);
        EXPECT_EQ(window->scoreLabels[0]->text(), QString::number(game.Score));
        EXPECT_TRUE(window->nameEdits[0]->isVisible());
        QTest::keyClicks(window->nameEdits[0], QStringLiteral("Player"));
        QTest::mouseClick(window->closeButton, Qt::LeftButton);
    });

    // Let the game run on, turning now and then: the pairs drop where they
    // enter, merge where they fit, and stack up until a pair finds no room.
    int ticks = 0;
    std::int32_t lastScore = 0;
    while (!mainWindow->startButton->isEnabled() && ticks < 1000) {
        mainWindow->tick();
        ++ticks;
        EXPECT_GE(game.Score, lastScore);
        lastScore = game.Score;
        if (ticks % 7 == 0) QTest::mouseClick(mainWindow->turnButton, Qt::LeftButton);
        ExpectScreenMatchesGame();
        EXPECT_EQ(mainWindow->scoreDisplay->text(), QString::number(game.Score));
        EXPECT_EQ(mainWindow->cakeDisplay->text(), QString::number(game.CakeCount));
    }
    ASSERT_TRUE(mainWindow->startButton->isEnabled()) << "the game never ended";
    EXPECT_FALSE(mainWindow->leftButton->isEnabled());
    EXPECT_FALSE(mainWindow->fallTimer->isActive());
    EXPECT_GT(game.Score, 0);
    EXPECT_TRUE(ranked) << "a winning score opens the high-score window";
    HighScoreTable stored;
    store->load(stored);
    EXPECT_EQ(stored.Names[0], QStringLiteral("Player"));
    EXPECT_EQ(stored.Scores[0], game.Score);
    // Cues: start, then merges and cakes, then the applause and Close's click.
    ASSERT_GE(cues.calls.size(), 3u);
    EXPECT_EQ(cues.calls.front(), "async start");
    EXPECT_EQ(cues.calls[cues.calls.size() - 2], "async claps");
    EXPECT_EQ(cues.calls.back(), "sync click");
}

}  // namespace
}  // namespace quillet::testing
