#include "scores/store_text.h"

#include <algorithm>
#include <vector>

#include "scores/score_keys.h"
#include "scores/store_ini.h"
#include "scores/zoom_setting.h"

namespace quillet {
namespace {

const QString SectionNames[2] = {QStringLiteral("Setting"), QStringLiteral("Preferences")};

int sectionOfKey(int key) {
    return key >= SoundKey ? 1 : 0;
}

const QString& keyName(int key) {
    static const std::array<QString, StoreKeyCount> names = [] {
        std::array<QString, StoreKeyCount> made;
        for (int k = 0; k < SoundKey; ++k) {
            made[k] = (k < HighScoreRanks ? QStringLiteral("HScore_Nm_")
                                          : QStringLiteral("HScore_Val_")) +
                      QString::number(k % HighScoreRanks);
        }
        made[SoundKey] = QStringLiteral("Sound");
        made[ZoomKey] = QStringLiteral("Zoom");
        return made;
    }();
    return names[key];
}

// The key a line names, given its section (0 [Setting], 1 [Preferences], -1
// the lines before any section and [General]), or -1 for none of the game's.
int keyIndex(int section, const QString& key) {
    for (int k = 0; k < StoreKeyCount; ++k) {
        const QString& name = keyName(k);
        const QString& group = SectionNames[sectionOfKey(k)];
        if (section == sectionOfKey(k)
                ? key == name
                : section < 0 && key.size() == group.size() + 1 + name.size() &&
                      key.startsWith(group) && key.endsWith(name) && key.at(group.size()) == u'/') {
            return k;
        }
    }
    return -1;
}

// A header's section: 0 or 1 for the game's, -1 for [General], -2 for another;
// `name` is what QSettings sorts sections by.
int sectionOfHeader(QByteArrayView line, QString& name) {
    const qsizetype close = line.indexOf(']');
    const QByteArrayView header = line.sliced(1, (close < 0 ? line.size() : close) - 1).trimmed();
    name.clear();
    if (header.compare("general", Qt::CaseInsensitive) == 0) return -1;
    if (header.compare("%general", Qt::CaseInsensitive) == 0) {
        name = QString::fromLatin1(header.sliced(1));
        return -2;
    }
    name = unescapedKey(header);
    for (int s = 0; s < 2; ++s) {
        if (name == SectionNames[s]) return s;
    }
    return -2;
}

int keysFrom(StoreKeys keys) {
    return keys == StoreKeys::Table ? 0 : keys == StoreKeys::Sound ? SoundKey : ZoomKey;
}

int keysTo(StoreKeys keys) {
    return keys == StoreKeys::Table ? SoundKey : keysFrom(keys) + 1;
}

// The zoom step a stored text names: exactly one of the steps' numbers, or 100.
int zoomOf(const QString& text) {
    for (const int step : ZoomSteps) {
        if (text == QString::number(step)) return step;
    }
    return 100;
}

// The text the game stores in `key`.
QString wantedText(int key, const StoredSettings& wanted) {
    if (key == SoundKey) return wanted.soundOn ? QStringLiteral("on") : QStringLiteral("off");
    if (key == ZoomKey) return QString::number(wanted.zoomPercent);
    if (key < HighScoreRanks) return wanted.table.names[key];
    return QString::number(wanted.table.scores[key - HighScoreRanks]);
}

bool readsAsWanted(const StoreText& text, int key, const StoredSettings& wanted) {
    const StoreText::KeyLine& line = text.lines[key];
    if (key == SoundKey) return line.plainText && text.settings.soundOn == wanted.soundOn;
    if (key == ZoomKey) return line.plainText && text.settings.zoomPercent == wanted.zoomPercent;
    if (key < HighScoreRanks)
        return line.found && text.settings.table.names[key] == wanted.table.names[key];
    const int rank = key - HighScoreRanks;
    return line.plainText && text.settings.table.scores[rank] == wanted.table.scores[rank];
}

constexpr bool FirstKeysFromTheFirstByte = QT_VERSION < QT_VERSION_CHECK(6, 5, 0);

}  // namespace

StoreText readStoreText(const QByteArray& bytes) {
    StoreText text;
    text.bytes = bytes;
    text.addAt.fill(-1);
    std::array<qsizetype, 2> sectionAt = {-1, -1};  // where a missing section goes
    std::array<bool, StoreKeyCount> winsInSection{};
    const QByteArrayView data(bytes);
    const qsizetype bom = bytes.startsWith("\xef\xbb\xbf") ? 3 : 0;
    qsizetype pos = bom;
    int section = -1;
    bool firstOfItsName = false;
    QString name;
    Line line;
    while (nextLine(data, pos, line)) {
        const qsizetype after = afterLine(data, line.end);
        const QByteArrayView content = data.sliced(line.start, line.end - line.start);
        if (content.startsWith('[')) {
            section = sectionOfHeader(content, name);
            firstOfItsName = section >= 0 && !text.sectionFound[section];
            for (int k = 0; k < StoreKeyCount && firstOfItsName; ++k) {
                if (sectionOfKey(k) == section) text.addAt[k] = after;
            }
            if (section >= 0) text.sectionFound[section] = true;
            for (int s = 0; s < 2; ++s) {
                if (sectionAt[s] < 0 && !name.isEmpty() && name > SectionNames[s])
                    sectionAt[s] = line.start;
            }
            continue;
        }
        if (line.equals < 0 || section == -2) continue;
        // QSettings of Qt 6.4 (Debian 12) skips a byte-order mark where it
        // looks for sections, but reads the keys before the first one from
        // the very first byte: a first line after the mark and blanks has
        // them at its start. Later Qt (6.8, Debian 13) skips the mark first
        // and reads that line like any other. The store reads a file as the
        // Qt it is built with has always read it.
        const QByteArrayView before = data.sliced(bom, line.start - bom);
        const qsizetype keyStart =
            FirstKeysFromTheFirstByte && bom > 0 && section == -1 && !before.contains('\n') &&
                    !before.contains('\r')
                ? 0
                : line.start;
        const QString key = unescapedKey(data.sliced(keyStart, line.equals - keyStart).trimmed());
        for (int k = 0; k < StoreKeyCount && firstOfItsName; ++k) {
            if (sectionOfKey(k) == section && key < keyName(k)) text.addAt[k] = after;
        }
        const int k = keyIndex(section, key);
        if (k < 0 || (winsInSection[k] && section < 0)) continue;
        const QByteArrayView raw = content.sliced(line.equals + 1 - line.start);
        if (unescapedValue(raw, true).binary) continue;
        const Value value = unescapedValue(raw);
        winsInSection[k] = section >= 0;
        StoreText::KeyLine& found = text.lines[k];
        // Blanks before a comment or the line break are kept: they are not
        // part of the value unless quoted or escaped, which a new value is
        // not once the old one is gone.
        qsizetype valueEnd = line.end;
        while (valueEnd > line.equals + 1 &&
               (data[valueEnd - 1] == ' ' || data[valueEnd - 1] == '\t')) {
            --valueEnd;
        }
        found = {true, false, line.equals + 1, valueEnd};
        const Form form = value.isList ? Form{value.text, false} : formOf(value.text);
        found.plainText = form.plainText;
        const int rank = k % HighScoreRanks;
        if (k == SoundKey) {
            text.settings.soundOn = !form.plainText || form.text != QLatin1String("off");
        } else if (k == ZoomKey) {
            text.settings.zoomPercent = form.plainText ? zoomOf(form.text) : 100;
        } else if (k < HighScoreRanks) {
            text.settings.table.names[rank] = storableName(form.text);
        } else {
            text.settings.table.scores[rank] = form.plainText ? parseStoredScore(form.text) : 0;
        }
    }
    for (int k = 0; k < StoreKeyCount; ++k) {
        if (!text.sectionFound[sectionOfKey(k)]) text.addAt[k] = sectionAt[sectionOfKey(k)];
    }
    return text;
}

QByteArray withSettings(const StoreText& text, const StoredSettings& wanted, StoreKeys keys) {
    struct Edit {
        qsizetype from;
        qsizetype to;
        QByteArray with;
        bool addsLines;  // an empty value at the file's very end is no new line
    };
    std::vector<Edit> edits;
    QByteArray newSection;
    const qsizetype size = text.bytes.size();
    const auto at = [&](qsizetype place) { return place < 0 ? size : place; };
    for (int k = keysFrom(keys); k < keysTo(keys); ++k) {
        if (readsAsWanted(text, k, wanted)) continue;
        const QByteArray value = escapedValue(wantedText(k, wanted));
        const StoreText::KeyLine& line = text.lines[k];
        const QByteArray entry = keyName(k).toLatin1() + '=' + value + '\n';
        if (line.found) {
            edits.push_back({line.valueStart, line.valueEnd, value, false});
        } else if (text.sectionFound[sectionOfKey(k)]) {
            edits.push_back({at(text.addAt[k]), at(text.addAt[k]), entry, true});
        } else {
            newSection += entry;
        }
    }
    if (!newSection.isEmpty()) {
        const int section = sectionOfKey(keysFrom(keys));
        const qsizetype place = text.addAt[keysFrom(keys)];
        newSection = '[' + SectionNames[section].toLatin1() + "]\n" + newSection;
        const bool empty = size == 0 || text.bytes == "\xef\xbb\xbf";
        // QSettings leaves a blank line between sections.
        if (place >= 0) newSection += '\n';
        if (place < 0 && !empty) newSection.prepend('\n');
        edits.push_back({at(place), at(place), newSection, true});
    }
    std::stable_sort(edits.begin(), edits.end(),
                     [](const Edit& a, const Edit& b) { return a.from < b.from; });
    QByteArray result;
    result.reserve(size + 512);
    qsizetype copied = 0;
    for (const Edit& edit : edits) {
        result += QByteArrayView(text.bytes).sliced(copied, edit.from - copied);
        // A line added after the file's last line starts on a line of its own.
        if (edit.addsLines && edit.from == size && size > 0 &&
            !isLineBreak(text.bytes.back()) && !result.endsWith('\n')) {
            result += '\n';
        }
        result += edit.with;
        copied = edit.to;
    }
    result += QByteArrayView(text.bytes).sliced(copied);
    return result;
}

bool holdsSettings(const StoreText& text, const StoredSettings& wanted, StoreKeys keys) {
    for (int k = keysFrom(keys); k < keysTo(keys); ++k) {
        if (!readsAsWanted(text, k, wanted)) return false;
    }
    return true;
}

}  // namespace quillet
