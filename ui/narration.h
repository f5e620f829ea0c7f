#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include "game/rules.h"

namespace quillet {

class Game;

// What the game looks like to a player who follows it by ear, at one moment:
// enough to tell what a tick or a move changed.
struct GameMoment {
    std::array<std::int16_t, rules::CellCount> board{};
    std::array<std::int16_t, 2> fallingPair{};
    std::array<std::int16_t, 2> nextPair{};
    std::int32_t score = 0;
    std::int16_t cakeCount = 0;
    std::int16_t fallInterval = 0;
    std::int16_t chainCount = 0;

    static GameMoment of(const Game& game);
    // The falling piece of element 0 or 1, or -1 when it has landed.
    int fallingCell(int element) const;
};

// A merge as the rules report it: the cell that took the piece and what it
// holds now (8: a cake, gone from the board right after).
struct Merge {
    int cell;
    int slices;
};

// The sentences a screen reader speaks. Each is one translatable pattern with
// arguments, short, and says what changed rather than the whole board; the
// whole board is read only when the player asks. Rows and columns are counted
// from 1, the top row and the left column first, as a player says them.
class Narration {
    Q_DECLARE_TR_FUNCTIONS(Narration)

public:
    // "3 slices", "1 slice".
    static QString slices(int count);
    // What a cell holds: "empty" or its slices.
    static QString content(int count);
    // A cell as flat review reads it: "Row 2, column 3, 4 slices".
    static QString cellName(int cell, int count);
    // A next-pair image: "Next, left, 2 slices".
    static QString nextName(int element, int count);
    static QString scoreName(const QString& value);
    static QString cakesName(const QString& value);

    // Where the falling pair is now and what it holds; empty when nothing falls.
    static QString pairPosition(const GameMoment& now);
    // The pair that has just entered, and the one after it.
    static QString newPair(const GameMoment& now);
    // What one tick, or one press of ↓, changed: landings, merges, cakes with
    // the new score, the speed. Empty when the pair only fell a row.
    static QString tickEvents(const GameMoment& before, const GameMoment& after,
                              const std::vector<Merge>& merges);

    static QString paused();
    static QString resumed();
    // `rank` 0 to 4, or -1 for a game that did not enter the table.
    static QString gameOver(std::int32_t score, int rank);
    static QString namePrompt();
    static QString scoreStored();

    // Read on demand.
    static QString boardByRows(const GameMoment& now);
    static QString boardByColumns(const GameMoment& now);
    static QString next(const GameMoment& now);
    static QString scoreAndCakes(const GameMoment& now);
    static QString pair(const GameMoment& now);
    static QString noGameYet();
    // What the board says of itself when it takes the focus.
    static QString boardHelp();

    // Joins texts as the language joins them: each of its joints is
    // translated, so that Japanese reads "、" where English reads "; ".
    // Sentences that each end in their own stop: "Landed. Score 400."
    static QString sentences(const QStringList& parts);
    // Items that hold commas of their own: "column 1, 3 slices; column 3, 1 slice".
    static QString list(const QStringList& parts);
    // Items without commas: "1st, Ann, 5000".
    static QString shortList(const QStringList& parts);
};

}  // namespace quillet
