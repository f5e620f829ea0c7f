#include "scores/store_text.h"

#include <algorithm>
#include <vector>

#include "scores/store_ini.h"

namespace quillet {
namespace {

// The sections a line may be in: the game's two, the part before any section
// (and [General], which is the same), or another.
constexpr int Root = -1;
constexpr int Other = -2;

// The game's key a line names in `section`, or -1 for none of the game's.
int keyIndex(const std::array<GameKey, StoreKeyCount>& keys, int section, const QString& key) {
    for (int k = 0; k < StoreKeyCount; ++k) {
        const GameKey& game = keys[k];
        if (section == game.section ? key == game.name : section == Root && key == game.path)
            return k;
    }
    return -1;
}

// A header's section; `name` is what QSettings sorts sections by.
int sectionOfHeader(QByteArrayView line, QString& name) {
    const qsizetype close = line.indexOf(']');
    const QByteArrayView header = line.sliced(1, (close < 0 ? line.size() : close) - 1).trimmed();
    name.clear();
    if (header.compare("general", Qt::CaseInsensitive) == 0) return Root;
    if (header.compare("%general", Qt::CaseInsensitive) == 0) {
        name = QString::fromLatin1(header.sliced(1));
        return Other;
    }
    name = unescapedKey(header);
    for (int s = 0; s < 2; ++s) {
        if (name == StoreSections[s]) return s;
    }
    return Other;
}

bool readsAs(const StoreText& text, int key, const QString& wanted) {
    return text.lines[key].found && text.readings[key] == wanted;
}

constexpr bool FirstKeysFromTheFirstByte = QT_VERSION < QT_VERSION_CHECK(6, 5, 0);

}  // namespace

StoreText readStoreText(const QByteArray& bytes) {
    const std::array<GameKey, StoreKeyCount>& keys = gameKeys();
    StoreText text;
    text.bytes = bytes;
    text.addAt.fill(-1);
    std::array<qsizetype, 2> sectionAt = {-1, -1};  // where a missing section goes
    std::array<bool, StoreKeyCount> inItsSection{};
    const QByteArrayView data(bytes);
    const qsizetype bom = bytes.startsWith("\xef\xbb\xbf") ? 3 : 0;
    qsizetype pos = bom;
    int section = Root;
    bool firstOfItsName = false;
    Line line;
    while (nextLine(data, pos, line)) {
        const QByteArrayView content = data.sliced(line.start, line.end - line.start);
        if (content.startsWith('[')) {
            QString name;
            section = sectionOfHeader(content, name);
            firstOfItsName = section >= 0 && !text.sectionFound[section];
            for (int k = 0; k < StoreKeyCount && firstOfItsName; ++k) {
                if (keys[k].section == section) text.addAt[k] = line.after;
            }
            if (section >= 0) text.sectionFound[section] = true;
            for (int s = 0; s < 2; ++s) {
                if (sectionAt[s] < 0 && name > StoreSections[s]) sectionAt[s] = line.start;
            }
            continue;
        }
        if (line.equals < 0 || section == Other) continue;
        // QSettings of Qt 6.4 (Debian 12) skips a byte-order mark where it
        // looks for sections, but reads the keys before the first one from
        // the very first byte: a first line after the mark and blanks has
        // them at its start. Later Qt (6.8, Debian 13) skips the mark first
        // and reads that line like any other. The store reads a file as the
        // Qt it is built with has always read it.
        const QByteArrayView before = data.sliced(bom, line.start - bom);
        const qsizetype keyStart = FirstKeysFromTheFirstByte && bom > 0 && section == Root &&
                                           !before.contains('\n') && !before.contains('\r')
                                       ? 0
                                       : line.start;
        const QString key = unescapedKey(data.sliced(keyStart, line.equals - keyStart).trimmed());
        for (int k = 0; k < StoreKeyCount && firstOfItsName; ++k) {
            if (keys[k].section == section && key < keys[k].name) text.addAt[k] = line.after;
        }
        const int k = keyIndex(keys, section, key);
        if (k < 0 || (inItsSection[k] && section == Root)) continue;
        const QByteArrayView raw = content.sliced(line.equals + 1 - line.start);
        if (unescapedValue(raw, true).binary) continue;
        const Value value = unescapedValue(raw);
        inItsSection[k] = section >= 0;
        // Blanks before a comment or the line break are kept: they are not
        // part of the value unless quoted or escaped, which a new value is
        // not once the old one is gone.
        qsizetype valueEnd = line.end;
        while (valueEnd > line.equals + 1 &&
               (data[valueEnd - 1] == ' ' || data[valueEnd - 1] == '\t')) {
            --valueEnd;
        }
        text.lines[k] = {true, line.equals + 1, valueEnd};
        const Form form = value.isList ? Form{value.text, false} : formOf(value.text);
        text.readings[k] = readingOf(k, form.text, form.plainText);
    }
    for (int k = 0; k < StoreKeyCount; ++k) {
        const int s = keys[k].section;
        if (!text.sectionFound[s]) text.addAt[k] = sectionAt[s];
    }
    text.settings = settingsOf(text.readings);
    return text;
}

QByteArray withSettings(const StoreText& text, const StoredSettings& wanted, StoreKeys keys) {
    struct Edit {
        qsizetype from;
        qsizetype to;
        QByteArray with;  // ends in a line break where it adds lines
    };
    std::vector<Edit> edits;
    const qsizetype size = text.bytes.size();
    const auto at = [&](qsizetype place) { return place < 0 ? size : place; };
    const auto [first, last] = keyRange(keys);
    const int section = gameKeys()[first].section;
    const std::array<QString, StoreKeyCount> texts = textsOf(wanted);
    QByteArray newSection;
    for (int k = first; k < last; ++k) {
        if (readsAs(text, k, texts[k])) continue;
        const QByteArray value = escapedValue(texts[k]);
        const QByteArray entry = gameKeys()[k].name.toLatin1() + '=' + value + '\n';
        if (text.lines[k].found) {
            edits.push_back({text.lines[k].valueStart, text.lines[k].valueEnd, value});
        } else if (text.sectionFound[section]) {
            edits.push_back({at(text.addAt[k]), at(text.addAt[k]), entry});
        } else {
            newSection += entry;
        }
    }
    if (!newSection.isEmpty()) {
        const qsizetype place = text.addAt[first];
        newSection = '[' + StoreSections[section].toLatin1() + "]\n" + newSection;
        // QSettings leaves a blank line between sections.
        if (place >= 0) {
            newSection += '\n';
        } else if (size > 0 && text.bytes != "\xef\xbb\xbf") {
            newSection.prepend('\n');
        }
        edits.push_back({at(place), at(place), newSection});
    }
    std::stable_sort(edits.begin(), edits.end(),
                     [](const Edit& a, const Edit& b) { return a.from < b.from; });
    QByteArray result;
    result.reserve(size + 512);
    qsizetype copied = 0;
    for (const Edit& edit : edits) {
        result += QByteArrayView(text.bytes).sliced(copied, edit.from - copied);
        // A line added after the file's last line starts on a line of its own;
        // an empty value at the file's very end is no new line.
        if (edit.with.endsWith('\n') && edit.from == size && !result.isEmpty() &&
            !isLineBreak(result.back())) {
            result += '\n';
        }
        result += edit.with;
        copied = edit.to;
    }
    result += QByteArrayView(text.bytes).sliced(copied);
    return result;
}

bool holdsSettings(const StoreText& text, const StoredSettings& wanted, StoreKeys keys) {
    const std::array<QString, StoreKeyCount> texts = textsOf(wanted);
    const auto [first, last] = keyRange(keys);
    for (int k = first; k < last; ++k) {
        if (!readsAs(text, k, texts[k])) return false;
    }
    return true;
}

}  // namespace quillet
