#pragma once

#include <QString>
#include <QtGlobal>

#include "scores/high_score_table.h"

namespace quillet {

// How the table's names and scores are kept in the store's ten keys,
// HScore_Nm_0 ... HScore_Nm_4 and HScore_Val_0 ... HScore_Val_4 under
// [Setting] (store_text.h). A missing key reads as an empty name or a score
// of 0; so does a score that is not a plain decimal integer in the signed
// 32-bit range. A lone half of a surrogate pair in a name reads as U+FFFD.

bool sameTable(const HighScoreTable& a, const HighScoreTable& b);

// The table as it will read back once stored: names with a lone half of a
// surrogate pair replaced.
HighScoreTable storableTable(HighScoreTable table);

// Reads a stored score text: optional minus sign and decimal digits, nothing
// else, within the signed 32-bit range; anything else reads as 0. Leading zeros
// are accepted ("007" is 7); a plus sign, blanks, exponents and hex are not
// ("+5", " 5", "1e3" and "0x10" all read as 0).
qint32 parseStoredScore(const QString& text);

// `name` as the store keeps it: each lone half of a surrogate pair, which the
// file's UTF-8 cannot hold, replaced by U+FFFD; everything else as it is.
QString storableName(const QString& name);

}  // namespace quillet
