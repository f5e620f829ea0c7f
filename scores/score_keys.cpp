#include "scores/score_keys.h"

#include <limits>

namespace quillet {

bool sameTable(const HighScoreTable& a, const HighScoreTable& b) {
    return a.names == b.names && a.scores == b.scores;
}

HighScoreTable storableTable(HighScoreTable table) {
    for (QString& name : table.names) name = storableName(name);
    return table;
}

QString storableName(const QString& name) {
    // The file is UTF-8, which has no form for half of a surrogate pair: such
    // a half (a hand-edited "\xd83d", a paste cut in two) would come back as
    // something else, and a table that does not read back as written is never
    // stored. So it becomes U+FFFD, the character that stands for one lost.
    // U+FEFF, an invisible no-break space (pasted, or in a hand-edited file),
    // is left out: a value's text is read as UTF-8, as QSettings reads it,
    // and a U+FEFF before its first byte counts as a byte-order mark, so at
    // the start of a name, or after an escaped character there, it would
    // vanish on the way back, and the table could never be stored again.
    QString storable = name;
    storable.remove(QChar(0xFEFF));
    for (qsizetype i = 0; i < storable.size(); ++i) {
        const QChar c = storable.at(i);
        if (c.isHighSurrogate() && i + 1 < storable.size() && storable.at(i + 1).isLowSurrogate()) {
            ++i;
        } else if (c.isSurrogate()) {
            storable[i] = QChar::ReplacementCharacter;
        }
    }
    return storable;
}

qint32 parseStoredScore(const QString& text) {
    // Only the form the game writes is accepted: an optional '-' and one or more
    // ASCII digits. Leading zeros are harmless ("007" is 7, "-0" is 0); a '+',
    // blanks, other digit forms ("1e3", "0x10", full-width digits) and anything
    // outside the signed 32-bit range are damage and read as 0.
    qsizetype pos = 0;
    const bool negative = text.startsWith(QLatin1Char('-'));
    if (negative) ++pos;
    if (pos == text.size()) return 0;

    // The magnitude is gathered in 64 bits and checked after every digit, so even
    // a very long run of digits cannot overflow.
    const qint64 limit = negative ? -qint64(std::numeric_limits<qint32>::min())
                                  : qint64(std::numeric_limits<qint32>::max());
    qint64 magnitude = 0;
    for (; pos < text.size(); ++pos) {
        const char16_t c = text.at(pos).unicode();
        if (c < u'0' || c > u'9') return 0;
        magnitude = magnitude * 10 + (c - u'0');
        if (magnitude > limit) return 0;
    }
    return static_cast<qint32>(negative ? -magnitude : magnitude);
}

}  // namespace quillet
