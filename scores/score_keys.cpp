#include "scores/score_keys.h"

#include <array>
#include <limits>

#include <QSettings>
#include <QStringList>
#include <QVariant>

namespace quillet {
namespace {

// The keys of one kind, "<prefix>0" to "<prefix>4", made once: every load and
// save asks for all ten. They lie in the section [Setting].
std::array<QString, HighScoreRanks> rankKeys(const QString& prefix) {
    std::array<QString, HighScoreRanks> keys;
    for (int rank = 0; rank < HighScoreRanks; ++rank) keys[rank] = prefix + QString::number(rank);
    return keys;
}
const QString& nameKey(int rank) {
    static const std::array<QString, HighScoreRanks> keys =
        rankKeys(QStringLiteral("Setting/HScore_Nm_"));
    return keys[rank];
}
const QString& scoreKey(int rank) {
    static const std::array<QString, HighScoreRanks> keys =
        rankKeys(QStringLiteral("Setting/HScore_Val_"));
    return keys[rank];
}

// A name is text. A hand-edited value with unquoted commas ("Smith, John")
// comes back from the INI reader as a list; joining it again keeps what the
// player wrote instead of losing the entry. Values that are neither text nor a
// list (a hand-written "@Rect(...)") keep whatever text they convert to.
QString nameFromStored(const QVariant& value) {
    switch (value.typeId()) {
        case QMetaType::UnknownType:
            return QString();
        case QMetaType::QString:
            return value.toString();
        case QMetaType::QStringList:
            return value.toStringList().join(QStringLiteral(", "));
        case QMetaType::QVariantList: {
            QStringList parts;
            for (const QVariant& part : value.toList()) parts.append(nameFromStored(part));
            return parts.join(QStringLiteral(", "));
        }
        default:
            return value.canConvert<QString>() ? value.toString() : QString();
    }
}

// A score is stored as decimal text; a value that is not text at all (a list,
// an "@Variant(...)") is as damaged as "12abc" and reads as 0 too.
qint32 scoreFromStored(const QVariant& value) {
    if (value.typeId() != QMetaType::QString) return 0;
    return parseStoredScore(value.toString());
}

}  // namespace

// The keys of the table, read from `settings`. A missing key gives the empty
// name or the text "0".
HighScoreTable readTable(const QSettings& settings) {
    HighScoreTable table;
    for (int rank = 0; rank < HighScoreRanks; ++rank) {
        table.names[rank] = storableName(nameFromStored(settings.value(nameKey(rank))));
        table.scores[rank] = scoreFromStored(settings.value(scoreKey(rank), QStringLiteral("0")));
    }
    return table;
}

void writeTable(QSettings& settings, const HighScoreTable& table) {
    for (int rank = 0; rank < HighScoreRanks; ++rank) {
        settings.setValue(nameKey(rank), storableName(table.names[rank]));
        settings.setValue(scoreKey(rank), QString::number(table.scores[rank]));
    }
}

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
    // is left out: QSettings reads each run of plain text in the file as
    // UTF-8 and takes a U+FEFF at the start of one for a byte-order mark, so
    // after an escaped character or at the start of a name it would vanish on
    // the way back, and the table could never be stored again.
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
