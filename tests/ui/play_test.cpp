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
        const Game& game = form->game();
        for (int i = 0; i < rules::CellCount; ++i) {
            const QPixmap shown = form->img_Cell[i]->pixmap();
            if (game.Board[i] == 0) {
                EXPECT_TRUE(shown.isNull()) << "cell " << i;
            } else {
                EXPECT_EQ(shown.cacheKey(), form->img_Cake[game.Board[i]]->pixmap().cacheKey())
                    << "cell " << i;
            }
        }
        for (int e = 0; e < 2; ++e) {
            EXPECT_EQ(form->img_Next[e]->pixmap().cacheKey(),
                      form->img_Cake[game.NextPair[e]]->pixmap().cacheKey());
        }
    }
};

TEST_F(PlayThroughTheWindow, MovesTurnsAndFallsUntilTheGameEndsAndIsRanked) {
    // Every piece has 3 slices (0.5 picks the narrow range, then 0.5 gives 3),
    // except that the left piece of the first pair has 1 (r2 = 0.0).
    random.Deal({0.5, 0.0, 0.5, 0.5});
    QTest::mouseClick(form->cmd_Start, Qt::LeftButton);
    random.Deal({0.5});
    Game& game = form->game();
    form->timer_Fall_Timer();  // the first pair enters at cells 1 and 2
    EXPECT_EQ(game.Board[1], 1);
    EXPECT_EQ(game.Board[2], 3);

    QTest::mouseClick(form->cmd_Left, Qt::LeftButton);
    EXPECT_EQ((std::array<std::int16_t, 2>{0, 1}), game.FallingPair);
    QTest::mouseClick(form->cmd_Left, Qt::LeftButton);  // at the wall: refused
    EXPECT_EQ((std::array<std::int16_t, 2>{0, 1}), game.FallingPair);
    QTest::mouseClick(form->cmd_Turn, Qt::LeftButton);
    EXPECT_EQ(game.Board[0], 3);
    EXPECT_EQ(game.Board[1], 1);
    QTest::mouseClick(form->cmd_Right, Qt::LeftButton);
    QTest::mouseClick(form->cmd_Right, Qt::LeftButton);
    QTest::mouseClick(form->cmd_Right, Qt::LeftButton);  // at the wall: refused
    EXPECT_EQ((std::array<std::int16_t, 2>{2, 3}), game.FallingPair);
    ExpectScreenMatchesGame();

    bool ranked = false;
    WhenModal<Form2>([&](QWidget* modal) {
        ranked = true;
        auto* window = qobject_cast<Form2*>(modal);
        EXPECT_EQ(window->lbl_Score[0]->text(), QString::number(game.Score));
        EXPECT_TRUE(window->txt_Nm[0]->isVisible());
        QTest::keyClicks(window->txt_Nm[0], QStringLiteral("Player"));
        QTest::mouseClick(window->cmd_Close, Qt::LeftButton);
    });

    // Let the game run on, turning now and then: the pairs drop where they
    // enter, merge where they fit, and stack up until a pair finds no room.
    int ticks = 0;
    std::int32_t lastScore = 0;
    while (!form->cmd_Start->isEnabled() && ticks < 1000) {
        form->timer_Fall_Timer();
        ++ticks;
        EXPECT_GE(game.Score, lastScore);
        lastScore = game.Score;
        if (ticks % 7 == 0) QTest::mouseClick(form->cmd_Turn, Qt::LeftButton);
        ExpectScreenMatchesGame();
        EXPECT_EQ(form->lbl_Score->text(), QString::number(game.Score));
        EXPECT_EQ(form->lbl_Cake->text(), QString::number(game.CakeCount));
    }
    ASSERT_TRUE(form->cmd_Start->isEnabled()) << "the game never ended";
    EXPECT_FALSE(form->cmd_Left->isEnabled());
    EXPECT_FALSE(form->timer_Fall->isActive());
    EXPECT_GT(game.Score, 0);
    EXPECT_TRUE(ranked) << "a winning score opens the high-score window";
    HighScoreTable stored;
    store->LoadHighScores(stored);
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
