#include "scores/ranking.h"

#include <algorithm>
#include <array>
#include <limits>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "tests/scores/qstring_printer.h"

namespace quillet {
namespace {

constexpr qint32 Min32 = std::numeric_limits<qint32>::min();
constexpr qint32 Max32 = std::numeric_limits<qint32>::max();

HighScoreTable makeTable(std::array<qint32, HighScoreRanks> scores,
                         std::array<const char*, HighScoreRanks> names = {"A", "B", "C", "D",
                                                                          "E"}) {
    HighScoreTable table;
    for (int i = 0; i < HighScoreRanks; ++i) {
        table.names[i] = QString::fromUtf8(names[i]);
        table.scores[i] = scores[i];
    }
    return table;
}

// The whole table on one line ("A 5000, B 3000, ..."), so that a failure shows
// every entry at once.
std::string describe(const HighScoreTable& table) {
    std::string text;
    for (int i = 0; i < HighScoreRanks; ++i) {
        if (i > 0) text += ", ";
        text += table.names[i].toStdString() + " " + std::to_string(table.scores[i]);
    }
    return text;
}

// What the game does with a finished game, minus the window: find the rank,
// make room, write the score there and, as the player would, type a name.
int enterGame(HighScoreTable& table, qint32 score, const QString& typedName) {
    const int rank = rankFor(table, score);
    if (rank < 0) return rank;
    makeRoom(table, rank);
    table.scores[rank] = score;
    table.names[rank] = typedName;
    return rank;
}

TEST(RankFor, EachRankIsTheFirstEntryTheScoreBeats) {
    const HighScoreTable table = makeTable({500, 400, 300, 200, 100});
    EXPECT_EQ(rankFor(table, 501), 0);
    EXPECT_EQ(rankFor(table, 450), 1);
    EXPECT_EQ(rankFor(table, 301), 2);
    EXPECT_EQ(rankFor(table, 201), 3);
    EXPECT_EQ(rankFor(table, 101), 4);
    EXPECT_EQ(rankFor(table, 100), -1);
    EXPECT_EQ(rankFor(table, 99), -1);
}

TEST(RankFor, ScoreEqualToEntriesGoesBelowAllOfThem) {
    EXPECT_EQ(rankFor(makeTable({5000, 3000, 3000, 1000, 0}), 3000), 3);
    EXPECT_EQ(rankFor(makeTable({7, 7, 7, 7, 6}), 7), 4);
    EXPECT_EQ(rankFor(makeTable({9, 7, 7, 7, 7}), 8), 1);
}

TEST(RankFor, ScoreEqualToTheLastEntryDoesNotEnter) {
    EXPECT_EQ(rankFor(makeTable({900, 800, 700, 600, 500}), 500), -1);
    EXPECT_EQ(rankFor(makeTable({7, 7, 7, 7, 7}), 7), -1);
}

TEST(RankFor, ZeroNeverEntersATableWhoseLastScoreIsNotNegative) {
    EXPECT_EQ(rankFor(HighScoreTable{}, 0), -1);
    EXPECT_EQ(rankFor(makeTable({40, 30, 20, 10, 0}), 0), -1);
    EXPECT_EQ(rankFor(makeTable({40, 30, 20, 10, 5}), 0), -1);
    // The boundary: below a negative last entry, 0 does enter.
    EXPECT_EQ(rankFor(makeTable({40, 30, 20, 10, -1}), 0), 4);
}

TEST(RankFor, AnyPositiveScoreTakesRankZeroOfAFreshTable) {
    const HighScoreTable fresh;
    EXPECT_EQ(rankFor(fresh, 1), 0);
    EXPECT_EQ(rankFor(fresh, 1800), 0);
    EXPECT_EQ(rankFor(fresh, Max32), 0);
    EXPECT_EQ(rankFor(fresh, -1), -1);
}

TEST(RankFor, UnsortedTableIsDecidedByTheFirstEntryTheScoreBeats) {
    // 300 at rank 1 is beaten; the higher entries after it do not matter.
    EXPECT_EQ(rankFor(makeTable({900, 300, 1000, 1000, 1000}), 500), 1);
    // The lowest entry sits at rank 3, but rank 0 is beaten first.
    EXPECT_EQ(rankFor(makeTable({100, 200, 300, 5, 400}), 150), 0);
    // Ascending table: only the entries below the score count, the first of them wins.
    EXPECT_EQ(rankFor(makeTable({100, 200, 300, 400, 500}), 350), 0);
    EXPECT_EQ(rankFor(makeTable({999, 998, 997, 10, 990}), 995), 3);
}

TEST(RankFor, ComparesScoresAsSignedNumbers) {
    const HighScoreTable negatives = makeTable({0, -5, -10, -20, Min32});
    EXPECT_EQ(rankFor(negatives, -1), 1);
    EXPECT_EQ(rankFor(negatives, -7), 2);
    EXPECT_EQ(rankFor(negatives, Min32 + 1), 4);
    EXPECT_EQ(rankFor(negatives, Min32), -1);
    // Read as unsigned, -1 would be the largest score of all.
    EXPECT_EQ(rankFor(makeTable({-1, -1, -1, -1, -1}), 5), 0);
    EXPECT_EQ(rankFor(makeTable({Max32, 10, 0, -10, Min32}), Min32), -1);
    EXPECT_EQ(rankFor(makeTable({Max32, Max32, Max32, Max32, Max32}), Max32), -1);
}

TEST(MakeRoom, MovesTheEntriesFromTheRankDownAndDropsTheLast) {
    const HighScoreTable before = makeTable({50, 40, 30, 20, 10});
    const std::array<std::string, HighScoreRanks> expected = {
        "A 50, A 50, B 40, C 30, D 20",  // rank 0: everything moves, E is lost
        "A 50, B 40, B 40, C 30, D 20",  //
        "A 50, B 40, C 30, C 30, D 20",  //
        "A 50, B 40, C 30, D 20, D 20",  //
        "A 50, B 40, C 30, D 20, E 10",  // rank 4: nothing moves
    };
    for (int rank = 0; rank < HighScoreRanks; ++rank) {
        SCOPED_TRACE(rank);
        HighScoreTable table = before;
        makeRoom(table, rank);
        EXPECT_EQ(describe(table), expected[rank]);
    }
}

TEST(MakeRoom, RankOutsideTheTableMovesNothing) {
    const HighScoreTable before = makeTable({50, 40, 30, 20, 10});
    for (int rank : {-1, HighScoreRanks, 99}) {
        SCOPED_TRACE(rank);
        HighScoreTable table = before;
        makeRoom(table, rank);
        EXPECT_EQ(describe(table), describe(before));
    }
}

TEST(Ranking, WorkedExampleKeepsTheFormerHoldersNameUntilThePlayerTypesOne) {
    HighScoreTable table = makeTable({5000, 3000, 3000, 1000, 0});
    const int rank = rankFor(table, 3000);
    ASSERT_EQ(rank, 3);
    makeRoom(table, rank);
    table.scores[rank] = 3000;
    EXPECT_EQ(describe(table), "A 5000, B 3000, C 3000, D 3000, D 1000");

    table.names[rank] = QStringLiteral("F");
    EXPECT_EQ(describe(table), "A 5000, B 3000, C 3000, F 3000, D 1000");
}

TEST(Ranking, RankFourReplacesOnlyTheLastScore) {
    HighScoreTable table = makeTable({50, 40, 30, 20, 10});
    const int rank = rankFor(table, 15);
    ASSERT_EQ(rank, 4);
    makeRoom(table, rank);
    table.scores[rank] = 15;
    // E dropped out, but its name stands until the player names the new entry.
    EXPECT_EQ(describe(table), "A 50, B 40, C 30, D 20, E 15");
}

// A game's new entries are stored by placing them into the table as it stands
// on disk at that moment, which another game may have changed since they were
// ranked: each entry goes where the ranking rule puts it now.
TEST(MergeEntries, PlacesEachEntryIntoTheTableAsStoredNow) {
    struct Case {
        const char* what;
        HighScoreTable stored;
        std::vector<ScoreEntry> entries;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"nothing pending writes the stored table back as it is",
         makeTable({50, 40, 30, 20, 10}),
         {},
         "A 50, B 40, C 30, D 20, E 10"},
        {"into a fresh table", HighScoreTable{}, {{"first", 7}}, "first 7,  0,  0,  0,  0"},
        {"two games' entries, the other one stored first",
         makeTable({3000, 0, 0, 0, 0}, {"first", "", "", "", ""}),
         {{"second", 2000}},
         "first 3000, second 2000,  0,  0,  0"},
        {"moved down by better scores stored meanwhile",
         makeTable({900, 800, 30, 20, 10}),
         {{"new", 35}},
         "A 900, B 800, new 35, C 30, D 20"},
        {"moved up when the stored table was reset meanwhile",
         HighScoreTable{},
         {{"new", 35}},
         "new 35,  0,  0,  0,  0"},
        {"dropped when five better scores were stored meanwhile",
         makeTable({900, 800, 700, 600, 500}),
         {{"new", 35}},
         "A 900, B 800, C 700, D 600, E 500"},
        {"an entry equal to a stored score goes below it",
         makeTable({50, 40, 30, 20, 10}),
         {{"new", 30}},
         "A 50, B 40, C 30, new 30, D 20"},
        {"an entry equal to the last stored score does not enter",
         makeTable({50, 40, 30, 20, 10}),
         {{"new", 10}},
         "A 50, B 40, C 30, D 20, E 10"},
        {"several pending entries, each placed in turn",
         makeTable({50, 40, 30, 20, 10}),
         {{"p", 45}, {"q", 60}, {"r", 15}},
         "q 60, A 50, p 45, B 40, C 30"},
        {"pending entries with equal scores keep the earlier game above",
         makeTable({50, 40, 30, 20, 10}),
         {{"early", 35}, {"late", 35}},
         "A 50, B 40, early 35, late 35, C 30"},
        {"an earlier pending entry pushed out by a later one",
         makeTable({50, 40, 30, 20, 10}),
         {{"low", 11}, {"p", 45}},
         "A 50, p 45, B 40, C 30, D 20"},
        {"an empty name is stored as empty",
         makeTable({50, 40, 30, 20, 10}),
         {{"", 100}},
         " 100, A 50, B 40, C 30, D 20"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(describe(mergeEntries(c.stored, c.entries)), c.expected);
    }
}

TEST(Ranking, KeepsTheFiveBestGamesWithEarlierGamesFirstAmongEquals) {
    // Many games from a fresh table, checked after each against the plain
    // answer: all games so far, best first, earlier first among equal scores,
    // cut to five. The fresh table's zeros count as the earliest games of all.
    struct Game {
        qint32 score;
        int order;
    };
    std::vector<Game> games;
    for (int i = 0; i < HighScoreRanks; ++i) games.push_back({0, i - HighScoreRanks});

    HighScoreTable table;
    std::mt19937 draw(20240607);
    std::uniform_int_distribution<qint32> scores(-2, 12);  // small, so ties are common
    for (int order = 0; order < 400; ++order) {
        const qint32 score = scores(draw) * 100;
        enterGame(table, score, QString::number(order));
        games.push_back({score, order});

        std::stable_sort(games.begin(), games.end(),
                         [](const Game& a, const Game& b) { return a.score > b.score; });
        games.resize(HighScoreRanks);
        for (int rank = 0; rank < HighScoreRanks; ++rank) {
            SCOPED_TRACE(testing::Message() << "after game " << order << ", rank " << rank);
            ASSERT_EQ(table.scores[rank], games[rank].score);
            if (games[rank].order >= 0) {
                ASSERT_EQ(table.names[rank], QString::number(games[rank].order));
            } else {
                ASSERT_TRUE(table.names[rank].isEmpty());
            }
        }
    }
}

}  // namespace
}  // namespace quillet
