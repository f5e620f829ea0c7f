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

constexpr std::int32_t MaxScore = std::numeric_limits<std::int32_t>::max();
constexpr std::int16_t MaxCakes = std::numeric_limits<std::int16_t>::max();

class CountersAtTheirLimits : public FormTest {
protected:
    // Puts a left piece of 3 slices, still falling, above a piece of 5: the
    // next tick completes a cake. The board is drawn through setCell, so the
    // screen shows it too.
    void placeCakeAboutToComplete(std::int32_t score, std::int16_t cakes) {
        Game& game = m_mainWindow->game();
        const auto board = parseBoard("....|....|.3..|.5..|....");
        for (int cell = 0; cell < rules::CellCount; ++cell) game.setCell(cell, board[cell]);
        game.fallingPair = {9, 21};
        game.score = score;
        game.cakeCount = cakes;
        game.fallInterval = rules::FastestFall;
    }
};

TEST_F(CountersAtTheirLimits, CakesAtTheLimitsShowTheLimitsAndNeverWrap) {
    QTest::mouseClick(m_mainWindow->startButton, Qt::LeftButton);
    m_mainWindow->tick();  // the first pair enters

    // 1,800 points and one cake take both counters exactly to their limits.
    placeCakeAboutToComplete(MaxScore - 1800, MaxCakes - 1);
    m_mainWindow->tick();
    EXPECT_EQ(m_mainWindow->scoreDisplay->text(), QStringLiteral("2147483647"));
    EXPECT_EQ(m_mainWindow->cakeDisplay->text(), QStringLiteral("32767"));

    // One cake more stays there.
    m_mainWindow->tick();  // the pair is complete: the next one enters
    placeCakeAboutToComplete(MaxScore, MaxCakes);
    m_mainWindow->tick();
    EXPECT_EQ(m_mainWindow->scoreDisplay->text(), QStringLiteral("2147483647"));
    EXPECT_EQ(m_mainWindow->cakeDisplay->text(), QStringLiteral("32767"));
    EXPECT_EQ(m_mainWindow->game().score, MaxScore);
    EXPECT_EQ(m_mainWindow->game().cakeCount, MaxCakes);
}

TEST_F(CountersAtTheirLimits, ScoreAtTheLimitIsRankedAndStoredUnchanged) {
    QTest::mouseClick(m_mainWindow->startButton, Qt::LeftButton);
    m_mainWindow->tick();
    placeCakeAboutToComplete(MaxScore - 1000, MaxCakes);
    m_mainWindow->tick();  // the cake lands both pieces
    // The entry cells are taken: the next tick ends the game.
    m_mainWindow->game().setCell(rules::EntryLeft, 4);

    QString shownScore;
    whenModal<HighScoreWindow>([&](QWidget* modal) {
        auto* window = qobject_cast<HighScoreWindow*>(modal);
        shownScore = window->scoreLabels[0]->text();
        QTest::keyClicks(window->nameEdits[0], QStringLiteral("Max"));
        QTest::mouseClick(window->closeButton, Qt::LeftButton);
    });
    m_mainWindow->tick();

    EXPECT_EQ(shownScore, QStringLiteral("2147483647"));
    EXPECT_EQ(m_mainWindow->scoreDisplay->text(), QStringLiteral("2147483647"));
    HighScoreTable stored;
    m_store->load(stored);
    EXPECT_EQ(stored.names[0], QStringLiteral("Max"));
    EXPECT_EQ(stored.scores[0], MaxScore);
}

}  // namespace
}  // namespace quillet::testing
