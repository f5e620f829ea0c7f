#include "scores/score_keys.h"

#include <limits>

#include "scores/zoom_setting.h"

namespace quillet {
namespace {

// The zoom step a stored text names: exactly one of the steps' numbers, or 100.
int zoomOf(const QString& text) {
    for (const int step : ZoomSteps) {
        if (text == QString::number(step)) return step;
    }
    return 100;
}

}  // namespace

const QString StoreSections[2] = {QStringLiteral("Setting"), QStringLiteral("Preferences")};

const std::array<GameKey, StoreKeyCount>& gameKeys() {
    static const std::array<GameKey, StoreKeyCount> keys = [] {
        std::array<GameKey, StoreKeyCount> made;
        for (int k = 0; k < StoreKeyCount; ++k) {
            const int section = k < SoundKey ? 0 : 1;
            const QString name =
                k == SoundKey  ? QStringLiteral("Sound")
                : k == ZoomKey ? QStringLiteral("Zoom")
                               : (k < HighScoreRanks ? QStringLiteral("HScore_Nm_")
                                                     : QStringLiteral("HScore_Val_")) +
                                     QString::number(k % HighScoreRanks);
            made[k] = {section, name, StoreSections[section] + QLatin1Char('/') + name};
        }
        return made;
    }();
    return keys;
}

std::pair<int, int> keyRange(StoreKeys keys) {
    if (keys == StoreKeys::Table) return {0, SoundKey};
    return keys == StoreKeys::Sound ? std::pair{SoundKey, ZoomKey} : std::pair{ZoomKey, ZoomKey + 1};
}

QString readingOf(int key, const QString& text, bool plainText) {
    if (key < HighScoreRanks) return storableName(text);
    if (!plainText) return QString();
    if (key == SoundKey) return text == QLatin1String("off") ? text : QStringLiteral("on");
    if (key == ZoomKey) return QString::number(zoomOf(text));
    return QString::number(parseStoredScore(text));
}

std::array<QString, StoreKeyCount> textsOf(const StoredSettings& settings) {
    std::array<QString, StoreKeyCount> texts;
    for (int rank = 0; rank < HighScoreRanks; ++rank) {
        texts[rank] = settings.table.names[rank];
        texts[HighScoreRanks + rank] = QString::number(settings.table.scores[rank]);
    }
    texts[SoundKey] = settings.soundOn ? QStringLiteral("on") : QStringLiteral("off");
    texts[ZoomKey] = QString::number(settings.zoomPercent);
    return texts;
}

StoredSettings settingsOf(const std::array<QString, StoreKeyCount>& readings) {
    StoredSettings settings;
    for (int rank = 0; rank < HighScoreRanks; ++rank) {
        settings.table.names[rank] = readings[rank];
        settings.table.scores[rank] = parseStoredScore(readings[HighScoreRanks + rank]);
    }
    settings.soundOn = readings[SoundKey] != QLatin1String("off");
    settings.zoomPercent = zoomOf(readings[ZoomKey]);
    return settings;
}

qint32 parseStoredScore(const QString& text) {
    // Only the form the game writes is accepted. Leading zeros are harmless
    // ("-0" is 0); other digit forms (full-width digits) and anything outside
    // the signed 32-bit range are damage. The magnitude is gathered in 64 bits
    // and checked after every digit, so even a very long run of digits cannot
    // overflow.
    const bool negative = text.startsWith(QLatin1Char('-'));
    qsizetype pos = negative ? 1 : 0;
    if (pos == text.size()) return 0;
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

HighScoreTable storableTable(HighScoreTable table) {
    for (QString& name : table.names) name = storableName(name);
    return table;
}

}  // namespace quillet
