// The score and the cake count at their limits, through the real window: the
// labels stop at 2147483647 and 32767 instead of wrapping to a negative
// number, and a score at the limit goes into the table and the score file
// unchanged.
#include <cstdint>
#include <limits>
#include <string>

#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include "tests/game/board_text.h"
#include "tests/ui/ui_fixture.h"

namespace quillet::testing {
namespace {

constexpr std::int32_t kMaxScore = std::numeric_limits<std::int32_t>::max();
constexpr std::int16_t kMaxCakes = std::numeric_limits<std::int16_t>::max();

class CountersAtTheirLimits : public FormTest {
protected:
    // Puts a left piece of 3 slices, still falling, above a piece of 5: the
    // next tick completes a cake. The board is drawn through SetCell, so the
    // screen shows it too.
    void PlaceCakeAboutToComplete(std::int32_t score, std::int16_t cakes) {
        Game& game = form->game();
        const auto board = ParseBoard("....|....|.3..|.5..|....");
        for (int cell = 0; cell < rules::CellCount; ++cell) game.SetCell(cell, board[cell]);
        game.FallingPair = {9, 21};
        game.Score = score;
        game.CakeCount = cakes;
        game.FallInterval = rules::FastestFall;
    }
};

TEST_F(CountersAtTheirLimits, CakesAtTheLimitsShowTheLimitsAndNeverWrap) {
    QTest::mouseClick(form->cmd_Start, Qt::LeftButton);
    form->timer_Fall_Timer();  // the first pair enters

    // 1,800 points and one cake take both counters exactly to their limits.
    PlaceCakeAboutToComplete(kMaxScore - 1800, kMaxCakes - 1);
    form->timer_Fall_Timer();
    EXPECT_EQ(form->lbl_Score->text(), QStringLiteral("2147483647"));
    EXPECT_EQ(form->lbl_Cake->text(), QStringLiteral("32767"));

    // One cake more stays there.
    form->timer_Fall_Timer();  // the pair is complete: the next one enters
    PlaceCakeAboutToComplete(kMaxScore, kMaxCakes);
    form->timer_Fall_Timer();
    EXPECT_EQ(form->lbl_Score->text(), QStringLiteral("2147483647"));
    EXPECT_EQ(form->lbl_Cake->text(), QStringLiteral("32767"));
    EXPECT_EQ(form->game().Score, kMaxScore);
    EXPECT_EQ(form->game().CakeCount, kMaxCakes);
}

TEST_F(CountersAtTheirLimits, ScoreAtTheLimitIsRankedAndStoredUnchanged) {
    QTest::mouseClick(form->cmd_Start, Qt::LeftButton);
    form->timer_Fall_Timer();
    PlaceCakeAboutToComplete(kMaxScore - 1000, kMaxCakes);
    form->timer_Fall_Timer();  // the cake lands both pieces
    // The entry cells are taken: the next tick ends the game.
    form->game().SetCell(rules::EntryLeft, 4);

    QString shownScore;
    WhenModal<Form2>([&](QWidget* modal) {
        auto* window = qobject_cast<Form2*>(modal);
        shownScore = window->lbl_Score[0]->text();
        QTest::keyClicks(window->txt_Nm[0], QStringLiteral("Max"));
        QTest::mouseClick(window->cmd_Close, Qt::LeftButton);
    });
    form->timer_Fall_Timer();

    EXPECT_EQ(shownScore, QStringLiteral("2147483647"));
    EXPECT_EQ(form->lbl_Score->text(), QStringLiteral("2147483647"));
    HighScoreTable stored;
    store->LoadHighScores(stored);
    EXPECT_EQ(stored.Names[0], QStringLiteral("Max"));
    EXPECT_EQ(stored.Scores[0], kMaxScore);
}

}  // namespace
}  // namespace quillet::testing
