#include "scores/store_text.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include <QByteArrayView>
#include <QStringDecoder>
#include <QStringList>

#include "scores/score_keys.h"

namespace quillet {
namespace {

// --- Lines, as QSettings' INI reader cuts them --------------------------------

// One line: from its first character that is not a blank to the line break,
// or the ';' of a comment, that ends it.
struct Line {
    qsizetype start = 0;
    qsizetype end = 0;
    qsizetype equals = -1;  // the first '=' outside quotes; -1 when there is none
};

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool isLineBreak(char c) {
    return c == '\n' || c == '\r';
}

// Reads the line that begins at or after `pos`, skipping blank lines and
// comment lines, and moves `pos` to its end. Inside double quotes a line
// break or ';' is part of the line; a backslash takes the character after it
// (a line break too, which continues the line) as part of the line.
bool nextLine(QByteArrayView data, qsizetype& pos, Line& line) {
    const qsizetype size = data.size();
    qsizetype i = pos;
    for (;;) {
        while (i < size && isBlank(data[i])) ++i;
        if (i == size || data[i] != ';') break;
        while (i < size && !isLineBreak(data[i])) ++i;
    }
    line = Line{i, i, -1};
    bool quoted = false;
    for (; i < size; ++i) {
        const char c = data[i];
        if (!quoted && (isLineBreak(c) || c == ';')) break;
        if (c == '=' && !quoted && line.equals < 0) {
            line.equals = i;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (c == '\\' && i + 1 < size) {
            const char escaped = data[++i];
            // "\r\n" and "\n\r" after a backslash are one line break.
            if (i + 1 < size && isLineBreak(escaped) && isLineBreak(data[i + 1]) &&
                data[i + 1] != escaped) {
                ++i;
            }
        }
    }
    line.end = i;
    pos = i;
    return line.end > line.start;
}

// Just past the line that ends at `end`: past the comment that may follow it
// on the same line, and past its line break.
qsizetype afterLine(QByteArrayView data, qsizetype end) {
    qsizetype i = end;
    if (i < data.size() && data[i] == ';') {
        while (i < data.size() && !isLineBreak(data[i])) ++i;
    }
    if (i < data.size() && data[i] == '\r') ++i;
    if (i < data.size() && data[i] == '\n' && (i == end || data[i - 1] != '\n')) ++i;
    return i;
}

// --- Names and values, as QSettings unescapes them ----------------------------

// A key or section name: UTF-8, with '\' for '/' and %XX or %UXXXX escapes.
QString unescapedKey(QByteArrayView key) {
    const QString decoded = QString::fromUtf8(key);
    QString result;
    for (qsizetype i = 0; i < decoded.size();) {
        const QChar c = decoded.at(i);
        if (c == u'\\' || c != u'%' || i == decoded.size() - 1) {
            result += c == u'\\' ? QChar(u'/') : c;
            ++i;
            continue;
        }
        const bool wide = decoded.at(i + 1) == u'U';
        const qsizetype first = i + 1 + (wide ? 1 : 0);
        const qsizetype digits = wide ? 4 : 2;
        bool ok = first + digits <= decoded.size();
        const ushort code = ok ? QStringView(decoded).mid(first, digits).toUShort(&ok, 16) : 0;
        result += ok ? QChar(code) : QChar(u'%');
        i = ok ? first + digits : i + 1;
    }
    return result;
}

char16_t simpleEscape(char c) {
    switch (c) {
        case 'a': return u'\a';
        case 'b': return u'\b';
        case 'f': return u'\f';
        case 'n': return u'\n';
        case 'r': return u'\r';
        case 't': return u'\t';
        case 'v': return u'\v';
        case '"': return u'"';
        case '?': return u'?';
        case '\'': return u'\'';
        case '\\': return u'\\';
        default: return 0;
    }
}

int digitValue(char c, int base) {
    const int value = c >= '0' && c <= '9'   ? c - '0'
                      : c >= 'a' && c <= 'f' ? c - 'a' + 10
                      : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                             : 99;
    return value < base ? value : -1;
}

// The text after a key's '=': one text, or a list where commas outside
// double quotes part it. Blanks before an item are skipped and those after it
// dropped unless it was quoted; the escapes \a ... \\, \x with hex digits and
// \ with octal ones give one 16-bit character each. The bytes between are
// UTF-8 read as one stream, so a character may be split by an escape or a
// quote, and a byte-order mark at its very start is dropped.
struct Value {
    bool isList = false;
    QString text;
    QStringList items;
};

Value unescapedValue(QByteArrayView str) {
    Value value;
    QString& result = value.text;
    QStringDecoder utf8(QStringDecoder::Utf8);
    bool inQuotes = false;
    bool quoted = false;
    bool chopAtEnd = true;  // false where the value ends inside an escape
    qsizetype chopLimit = 0;
    qsizetype i = 0;
    const qsizetype size = str.size();
    const auto skipSpaces = [&] {
        while (i < size && (str[i] == ' ' || str[i] == '\t')) ++i;
    };
    const auto chopSpaces = [&] {
        while (result.size() > chopLimit && (result.back() == u' ' || result.back() == u'\t')) {
            result.chop(1);
        }
    };
    skipSpaces();
    while (i < size) {
        const char c = str[i];
        if (c == '\\') {
            if (++i == size) {
                chopAtEnd = false;
                break;
            }
            const char escaped = str[i++];
            const int base = escaped == 'x' ? 16 : digitValue(escaped, 8) >= 0 ? 8 : 0;
            if (const char16_t simple = simpleEscape(escaped)) {
                result += QChar(simple);
            } else if (base == 16 && (i == size || digitValue(str[i], 16) < 0)) {
                // "\x" without a hex digit stands for nothing.
                if (i == size) {
                    chopAtEnd = false;
                    break;
                }
            } else if (base != 0) {
                char16_t code = base == 8 ? char16_t(escaped - '0') : 0;
                while (i < size && digitValue(str[i], base) >= 0) {
                    code = char16_t(code * base + digitValue(str[i++], base));
                }
                result += QChar(code);
                if (i == size) {
                    chopAtEnd = false;
                    break;
                }
            } else if (isLineBreak(escaped) && i < size && isLineBreak(str[i]) && str[i] != escaped) {
                ++i;
            }
            chopLimit = result.size();
        } else if (c == '"') {
            ++i;
            quoted = true;
            inQuotes = !inQuotes;
            if (!inQuotes) {
                skipSpaces();
                chopLimit = result.size();
            }
        } else if (c == ',' && !inQuotes) {
            if (!quoted) chopSpaces();
            value.isList = true;
            value.items.append(result);
            result.clear();
            quoted = false;
            ++i;
            skipSpaces();
            chopLimit = 0;
        } else {
            qsizetype j = i + 1;
            while (j < size && str[j] != '\\' && str[j] != '"' && str[j] != ',') ++j;
            result += QString(utf8(str.sliced(i, j - i)));
            i = j;
        }
    }
    if (chopAtEnd && !quoted) chopSpaces();
    if (value.isList) value.items.append(result);
    return value;
}

// What QSettings makes of one text: Qt's forms "@ByteArray(...)",
// "@String(...)", "@Invalid()" and the geometry forms, "@@" for a text that
// starts with '@', or the text itself. `text` is what the game reads of it as
// a name; `plainText` whether QSettings gives a text, as a score must be.
struct Form {
    QString text;
    bool plainText = true;
};

// How many items QSettings' geometry forms ("@Size(1 2)") give, from `from`.
qsizetype argumentCount(const QString& s, qsizetype from) {
    return std::count_if(s.begin() + from, s.end(), [](QChar c) { return c == u' ' || c == u')'; });
}

Form formOf(const QString& s) {
    if (s.startsWith(u'@') && s.endsWith(u')')) {
        if (s.startsWith(QLatin1String("@ByteArray("))) {
            return {QString::fromUtf8(s.mid(11).chopped(1).toLatin1()), false};
        }
        if (s.startsWith(QLatin1String("@String("))) return {s.mid(8).chopped(1)};
        if ((s.startsWith(QLatin1String("@Rect(")) && argumentCount(s, 6) == 4) ||
            (s.startsWith(QLatin1String("@Size(")) && argumentCount(s, 6) == 2) ||
            (s.startsWith(QLatin1String("@Point(")) && argumentCount(s, 7) == 2) ||
            s == QLatin1String("@Invalid()")) {
            return {QString(), false};
        }
    }
    return {s.startsWith(QLatin1String("@@")) ? s.mid(1) : s};
}

bool isBinary(const QString& item) {
    return item.startsWith(QLatin1String("@Variant(")) ||
           item.startsWith(QLatin1String("@DateTime("));
}

// --- The game's keys ------------------------------------------------------------

const QString SectionNames[2] = {QStringLiteral("Setting"), QStringLiteral("Preferences")};

int sectionOfKey(int key) {
    return key == SoundKey ? 1 : 0;
}

QString keyName(int key) {
    if (key == SoundKey) return QStringLiteral("Sound");
    return (key < HighScoreRanks ? QStringLiteral("HScore_Nm_") : QStringLiteral("HScore_Val_")) +
           QString::number(key % HighScoreRanks);
}

// The key a line names, given its section (0 [Setting], 1 [Preferences], -1
// the lines before any section and [General]), or -1 for none of the game's.
int keyIndex(int section, const QString& key) {
    for (int k = 0; k < StoreKeyCount; ++k) {
        const QString name = keyName(k);
        const QString& group = SectionNames[sectionOfKey(k)];
        if (section == sectionOfKey(k) ? key == name
                                       : section < 0 && key.size() == group.size() + 1 + name.size() &&
                                             key.startsWith(group) && key.endsWith(name) &&
                                             key.at(group.size()) == u'/') {
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
    return keys == StoreKeys::Table ? 0 : SoundKey;
}

int keysTo(StoreKeys keys) {
    return keys == StoreKeys::Table ? SoundKey : StoreKeyCount;
}

// The text the game stores in `key`.
QString wantedText(int key, const StoredSettings& wanted) {
    if (key == SoundKey) return wanted.soundOn ? QStringLiteral("on") : QStringLiteral("off");
    if (key < HighScoreRanks) return wanted.table.names[key];
    return QString::number(wanted.table.scores[key - HighScoreRanks]);
}

bool readsAsWanted(const StoreText& text, int key, const StoredSettings& wanted) {
    const StoreText::KeyLine& line = text.lines[key];
    if (key == SoundKey) return line.plainText && text.settings.soundOn == wanted.soundOn;
    if (key < HighScoreRanks) return line.found && text.settings.table.names[key] == wanted.table.names[key];
    const int rank = key - HighScoreRanks;
    return line.plainText && text.settings.table.scores[rank] == wanted.table.scores[rank];
}

// A value as QSettings writes a text: a text that holds a NUL character in
// "@String(...)", one that starts with '@' after another '@'; control
// characters, quotes and backslashes escaped (a hex digit after a hex escape
// too); in quotes when it holds ';', ',' or '=' or starts or ends with a blank.
QByteArray escapedValue(QString s) {
    if (s.contains(QChar(u'\0'))) {
        s = QStringLiteral("@String(") + s + QLatin1Char(')');
    } else if (s.startsWith(u'@')) {
        s.prepend(u'@');
    }
    QString out;
    bool hexNext = false;
    for (const QChar qc : s) {
        const char16_t c = qc.unicode();
        if (hexNext && c < 0x80 && digitValue(char(c), 16) >= 0) {
            out += QStringLiteral("\\x") + QString::number(c, 16);
            continue;
        }
        hexNext = false;
        const char* const named = "\a\b\f\n\r\t\v";
        if (c == 0) {
            out += QStringLiteral("\\0");
            hexNext = true;
        } else if (c < 0x20 && std::strchr(named, char(c))) {
            out += QLatin1Char('\\');
            out += QLatin1Char("abfnrtv"[std::strchr(named, char(c)) - named]);
        } else if (c < 0x20) {
            out += QStringLiteral("\\x") + QString::number(c, 16);
            hexNext = true;
        } else {
            if (c == u'"' || c == u'\\') out += QLatin1Char('\\');
            out += qc;
        }
    }
    QByteArray bytes = out.toUtf8();
    if (s.contains(u';') || s.contains(u',') || s.contains(u'=') || bytes.startsWith(' ') ||
        bytes.endsWith(' ')) {
        bytes = '"' + bytes + '"';
    }
    return bytes;
}

}  // namespace

StoreText readStoreText(const QByteArray& bytes) {
    StoreText text;
    text.bytes = bytes;
    text.addAt.fill(-1);
    std::array<qsizetype, 2> sectionAt = {-1, -1};  // where a missing section goes
    std::array<bool, StoreKeyCount> winsInSection{};
    const QByteArrayView data(bytes);
    qsizetype pos = bytes.startsWith("\xef\xbb\xbf") ? 3 : 0;
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
                if (sectionAt[s] < 0 && !name.isEmpty() && name > SectionNames[s]) sectionAt[s] = line.start;
            }
            continue;
        }
        if (line.equals < 0 || section == -2) continue;
        const QString key = unescapedKey(content.first(line.equals - line.start).trimmed());
        for (int k = 0; k < StoreKeyCount && firstOfItsName; ++k) {
            if (sectionOfKey(k) == section && key < keyName(k)) text.addAt[k] = after;
        }
        const int k = keyIndex(section, key);
        if (k < 0 || (winsInSection[k] && section < 0)) continue;
        const Value value = unescapedValue(content.sliced(line.equals + 1 - line.start));
        if (isBinary(value.text) || std::any_of(value.items.begin(), value.items.end(), isBinary)) {
            continue;
        }
        winsInSection[k] = section >= 0;
        StoreText::KeyLine& found = text.lines[k];
        found = {true, false, line.equals + 1, line.end};
        Form form = formOf(value.text);
        if (value.isList) {
            QStringList names;
            for (const QString& item : value.items) names.append(formOf(item).text);
            form = {names.join(QStringLiteral(", ")), false};
        }
        found.plainText = form.plainText;
        const int rank = k % HighScoreRanks;
        if (k == SoundKey) {
            text.settings.soundOn = !form.plainText || form.text != QLatin1String("off");
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
            edits.push_back({line.valueStart, line.valueEnd, value});
        } else if (text.sectionFound[sectionOfKey(k)]) {
            edits.push_back({at(text.addAt[k]), at(text.addAt[k]), entry});
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
        edits.push_back({at(place), at(place), newSection});
    }
    std::stable_sort(edits.begin(), edits.end(),
                     [](const Edit& a, const Edit& b) { return a.from < b.from; });
    QByteArray result;
    result.reserve(size + 512);
    qsizetype copied = 0;
    for (const Edit& edit : edits) {
        result += QByteArrayView(text.bytes).sliced(copied, edit.from - copied);
        // A line added after the file's last line starts on a line of its own.
        if (edit.from == size && edit.from == edit.to && size > 0 && !isLineBreak(text.bytes.back()) &&
            !result.endsWith('\n')) {
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
