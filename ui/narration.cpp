#include "ui/narration.h"

#include <algorithm>

#include <QStringList>

#include "game/game.h"

namespace quillet {

using namespace rules;

namespace {

int rowOf(int cell) {
    return cell / Columns + 1;
}
int columnOf(int cell) {
    return cell % Columns + 1;
}

// `parts` joined by `pattern`, a translated "%1<joint>%2". Substituted in
// one pass, so that a part holding "%2" stays as it is.
QString joined(const QStringList& parts, const QString& pattern) {
    QString text = parts.value(0);
    for (qsizetype i = 1; i < parts.size(); ++i) text = pattern.arg(text, parts[i]);
    return text;
}

}  // namespace

QString Narration::sentences(const QStringList& parts) {
    return joined(parts, tr("%1 %2", "one sentence after another, each ending in its own stop"));
}

QString Narration::list(const QStringList& parts) {
    return joined(parts, tr("%1; %2", "one item of a list after another; the items hold commas"));
}

QString Narration::shortList(const QStringList& parts) {
    return joined(parts, tr("%1, %2", "one item of a list after another"));
}

GameMoment GameMoment::of(const Game& game) {
    return {game.board,    game.fallingPair,  game.nextPair,  game.score,
            game.cakeCount, game.fallInterval, game.chainCount};
}

int GameMoment::fallingCell(int element) const {
    // As the rules see it: a piece is falling while its marker is on the board
    // and its cell holds it.
    const int cell = fallingPair[static_cast<std::size_t>(element)];
    return (cell >= 0 && cell < LandedMarker && board[static_cast<std::size_t>(cell)] != 0) ? cell
                                                                                            : -1;
}

QString Narration::slices(int count) {
    return tr("%n slices", nullptr, count);
}

QString Narration::content(int count) {
    return count == 0 ? tr("empty") : slices(count);
}

QString Narration::cellName(int cell, int count) {
    return tr("Row %1, column %2, %3").arg(rowOf(cell)).arg(columnOf(cell)).arg(content(count));
}

QString Narration::nextName(int element, int count) {
    return element == 0 ? tr("Next, left, %1").arg(content(count))
                        : tr("Next, right, %1").arg(content(count));
}

QString Narration::scoreName(const QString& value) {
    return value.isEmpty() ? tr("Score") : tr("Score %1").arg(value);
}

QString Narration::cakesName(const QString& value) {
    return value.isEmpty() ? tr("Cakes") : tr("Cakes %1").arg(value);
}

QString Narration::pairPosition(const GameMoment& now) {
    const int left = now.fallingCell(0);
    const int right = now.fallingCell(1);
    if (left >= 0 && right >= 0) {
        return tr("Row %1, columns %2 and %3: %4, %5.")
            .arg(rowOf(left))
            .arg(columnOf(left))
            .arg(columnOf(right))
            .arg(slices(now.board[left]), slices(now.board[right]));
    }
    const int alone = left >= 0 ? left : right;
    if (alone < 0) return {};
    return tr("Row %1, column %2: %3.")
        .arg(rowOf(alone))
        .arg(columnOf(alone))
        .arg(slices(now.board[alone]));
}

QString Narration::newPair(const GameMoment& now) {
    return tr("New pair in columns %1 and %2: %3, %4. Next: %5, %6.")
        .arg(columnOf(EntryLeft))
        .arg(columnOf(EntryRight))
        .arg(slices(now.board[EntryLeft]), slices(now.board[EntryRight]),
             slices(now.nextPair[0]), slices(now.nextPair[1]));
}

QString Narration::tickEvents(const GameMoment& before, const GameMoment& after,
                              const std::vector<Merge>& merges) {
    QStringList parts;
    // A piece that fell before and falls no more has landed where it was: on
    // the floor, on a piece, or into it.
    std::vector<int> landedCells;
    for (int element : {0, 1}) {
        const int cell = before.fallingCell(element);
        if (cell < 0 || after.fallingCell(element) >= 0) continue;
        const bool merged = std::any_of(merges.begin(), merges.end(), [cell](const Merge& merge) {
            return merge.cell == cell + RowStep;
        });
        if (!merged) landedCells.push_back(cell);
    }
    if (landedCells.size() == 2) {
        parts << tr("Landed in row %1, columns %2 and %3.")
                     .arg(rowOf(landedCells[0]))
                     .arg(columnOf(landedCells[0]))
                     .arg(columnOf(landedCells[1]));
    } else if (landedCells.size() == 1) {
        parts << tr("Landed in row %1, column %2.")
                     .arg(rowOf(landedCells[0]))
                     .arg(columnOf(landedCells[0]));
    }
    int cakesOfPair = before.chainCount;
    for (const Merge& merge : merges) {
        if (merge.slices < WholeCake) {
            parts << tr("Merged in row %1, column %2: %3.")
                         .arg(rowOf(merge.cell))
                         .arg(columnOf(merge.cell))
                         .arg(slices(merge.slices));
        } else if (++cakesOfPair == 2) {
            parts << tr("Second cake, in row %1, column %2! Bonus!")
                         .arg(rowOf(merge.cell))
                         .arg(columnOf(merge.cell));
        } else {
            parts << tr("Cake in row %1, column %2!").arg(rowOf(merge.cell)).arg(columnOf(merge.cell));
        }
    }
    if (after.cakeCount != before.cakeCount) parts << tr("Score %1.").arg(after.score);
    if (after.fallInterval < before.fallInterval) parts << tr("Faster!");
    return sentences(parts);
}

QString Narration::paused() {
    return tr("Paused. P resumes.");
}

QString Narration::resumed() {
    return tr("Resumed.");
}

QString Narration::gameOver(std::int32_t score, int rank) {
    switch (rank) {
        case 0:
            return tr("Game over. Score %1, 1st place.").arg(score);
        case 1:
            return tr("Game over. Score %1, 2nd place.").arg(score);
        case 2:
            return tr("Game over. Score %1, 3rd place.").arg(score);
        case 3:
            return tr("Game over. Score %1, 4th place.").arg(score);
        case 4:
            return tr("Game over. Score %1, 5th place.").arg(score);
        default:
            return tr("Game over. Score %1, not a high score.").arg(score);
    }
}

QString Narration::namePrompt() {
    return tr("Type your name, then Tab and Space for Close.");
}

QString Narration::scoreStored() {
    return tr("Your score is stored.");
}

QString Narration::boardByRows(const GameMoment& now) {
    QStringList rows;
    for (int row = 0; row < Rows; ++row) {
        QStringList pieces;
        for (int column = 0; column < Columns; ++column) {
            const int count = now.board[static_cast<std::size_t>(row * Columns + column)];
            if (count != 0) pieces << tr("column %1, %2").arg(column + 1).arg(slices(count));
        }
        if (!pieces.isEmpty()) {
            rows << tr("Row %1: %2.").arg(row + 1).arg(list(pieces));
        }
    }
    return rows.isEmpty() ? tr("The board is empty.") : sentences(rows);
}

QString Narration::boardByColumns(const GameMoment& now) {
    QStringList columns;
    for (int column = 0; column < Columns; ++column) {
        QStringList pieces;
        for (int row = 0; row < Rows; ++row) {
            const int count = now.board[static_cast<std::size_t>(row * Columns + column)];
            if (count != 0) pieces << tr("row %1, %2").arg(row + 1).arg(slices(count));
        }
        columns << (pieces.isEmpty()
                        ? tr("Column %1: empty.").arg(column + 1)
                        : tr("Column %1: %2.").arg(column + 1).arg(list(pieces)));
    }
    return sentences(columns);
}

QString Narration::next(const GameMoment& now) {
    return tr("Next: %1, %2.").arg(slices(now.nextPair[0]), slices(now.nextPair[1]));
}

QString Narration::scoreAndCakes(const GameMoment& now) {
    return tr("Score %1, %n cakes.", nullptr, now.cakeCount).arg(now.score);
}

QString Narration::pair(const GameMoment& now) {
    const QString position = pairPosition(now);
    return position.isEmpty() ? tr("No pair is falling.") : position;
}

QString Narration::noGameYet() {
    return tr("No game yet. F2 starts one.");
}

QString Narration::boardHelp() {
    return tr("F1 lists the keys.");
}

}  // namespace quillet
