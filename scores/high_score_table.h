#pragma once

#include <array>

#include <QString>
#include <QtGlobal>

namespace quillet {

constexpr int HighScoreRanks = 5;

// The five best games, rank 0 first. The two arrays always move together.
// Nothing sorts the table: an edited store that holds an unordered table keeps
// its order.
struct HighScoreTable {
    std::array<QString, HighScoreRanks> names;  // any text, may be empty
    std::array<qint32, HighScoreRanks> scores{};
};

// One finished game that entered the table: the name typed for it (empty
// until the player types one) and its score.
struct ScoreEntry {
    QString name;
    qint32 score = 0;
};

}  // namespace quillet
