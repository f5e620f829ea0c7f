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
        Game& game = mainWindow->game();
        const auto board = ParseBoard("....|....|.3..|.5..|....");
        for (int cell = 0; cell < rules::CellCount; ++cell) game.SetCell(cell, board[cell]);
        game.FallingPair = {9, 21};
        game.Score = score;
        game.CakeCount = cakes;
        game.FallInterval = rules::FastestFall;
    }
};

TEST_F(CountersAtTheirLimits, CakesAtTheLimitsShowTheLimitsAndNeverWrap) {
    QTest::mouseClick(mainWindow->startButton, Qt::LeftButton);
    mainWindow->tick();  // the first pair enters

    // 1,800 points and one cake take both counters exactly to their limits.
    PlaceCakeAboutToComplete(kMaxScore - 1800, kMaxCakes - 1);
    mainWindow->tick();
    EXPECT_EQ(mainWindow->scoreDisplay->text(), QStringLiteral("2147483647"));
    EXPECT_EQ(mainWindow->cakeDisplay->text(), QStringLiteral("32767"));

    // One cake more stays there.
    mainWindow->tick();  // the pair is complete: the next one enters
    PlaceCakeAboutToComplete(kMaxScore, kMaxCakes);
    mainWindow->tick();
    EXPECT_EQ(mainWindow->scoreDisplay->text(), QStringLiteral("2147483647"));
    EXPECT_EQ(mainWindow->cakeDisplay->text(), QStringLiteral("32767"));
    EXPECT_EQ(mainWindow->game().Score, kMaxScore);
    EXPECT_EQ(mainWindow->game().CakeCount, kMaxCakes);
}

TEST_F(CountersAtTheirLimits, ScoreAtTheLimitIsRankedAndStoredUnchanged) {
    QTest::mouseClick(mainWindow->startButton, Qt::LeftButton);
    mainWindow->tick();
    PlaceCakeAboutToComplete(kMaxScore - 1000, kMaxCakes);
    mainWindow->tick();  // the cake lands both pieces
    // The entry cells are taken: the next tick ends the game.
    mainWindow->game().SetCell(rules::EntryLeft, 4);

    QString shownScore;
    WhenModal<HighScoreWindow>([&](QWidget* modal) {
        auto* window = qobject_cast<HighScoreWindow*>(modal);
        shownScore = window->scoreLabels[0]->text();
        QTest::keyClicks(window->nameEdits[0], QStringLiteral("Max"));
        QTest::mouseClick(window->closeButton, Qt::LeftButton);
    });
    mainWindow->tick();

    EXPECT_EQ(shownScore, QStringLiteral("2147483647"));
    EXPECT_EQ(mainWindow->scoreDisplay->text(), QStringLiteral("2147483647"));
    HighScoreTable stored;
    store->load(stored);
    EXPECT_EQ(stored.Names[0], QStringLiteral("Max"));
    EXPECT_EQ(stored.Scores[0], kMaxScore);
}

}  // namespace
}  // namespace quillet::testing
