#include "scores/store_set_aside.h"

#include <array>
#include <string>

#include <QByteArrayView>
#include <QRandomGenerator>

namespace quillet {
namespace {

// One line as QSettings' INI reader sees it: from its first character that is
// not a blank to the line break, or the ';' of a comment, that ends it.
struct IniLine {
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

// The characters that decide where a line, or its key, ends.
constexpr std::array<bool, 256> LineMarks = [] {
    std::array<bool, 256> marks{};
    for (const char c : {'\n', '\r', ';', '=', '"', '\\'}) marks[static_cast<unsigned char>(c)] = true;
    return marks;
}();

// Reads the line that begins at or after `pos`, skipping blank lines and
// comment lines, and moves `pos` to its end. Inside double quotes a line
// break or ';' is part of the line; a backslash takes the character after it
// (a line break too, which continues the line) as part of the line.
bool nextLine(QByteArrayView data, qsizetype& pos, IniLine& line) {
    const qsizetype size = data.size();
    qsizetype i = pos;
    for (;;) {
        while (i < size && isBlank(data[i])) ++i;
        if (i == size || data[i] != ';') break;
        while (i < size && !isLineBreak(data[i])) ++i;
    }
    line = IniLine{i, i, -1};
    bool quoted = false;
    while (i < size) {
        while (i < size && !LineMarks[static_cast<unsigned char>(data[i])]) ++i;
        if (i == size) break;
        const char c = data[i];
        if (!quoted && (isLineBreak(c) || c == ';')) break;
        ++i;
        if (c == '=' && !quoted && line.equals < 0) {
            line.equals = i - 1;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (c == '\\' && i < size) {
            const char escaped = data[i++];
            // "\r\n" and "\n\r" after a backslash are one line break.
            if (i < size && isLineBreak(escaped) && isLineBreak(data[i]) && data[i] != escaped) {
                ++i;
            }
        }
    }
    line.end = i;
    pos = i;
    return line.end > line.start;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

int octalDigit(char c) {
    return c >= '0' && c <= '7' ? c - '0' : -1;
}

// The character a backslash and `c` stand for in a value, or 0 when `c` is
// not one of the single-letter escapes.
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

// The beginnings of text that QSettings decodes from its binary form.
constexpr char16_t VariantStart[] = u"@Variant(";
constexpr char16_t DateTimeStart[] = u"@DateTime(";
constexpr std::size_t KeptCharacters = sizeof(DateTimeStart) / sizeof(char16_t) - 1;

bool startsBinary(const std::u16string& item) {
    return item.rfind(VariantStart, 0) == 0 || item.rfind(DateTimeStart, 0) == 0;
}

// Whether QSettings would decode the text after a key's '=' as binary data.
// The value is unescaped as QSettings does it: blanks before an item
// skipped, double quotes grouping, commas outside them making a list, and the
// escapes \a ... \\, \x with any number of hex digits and \ with octal ones,
// each giving one 16-bit character (so "\x40" is '@'). Only the first
// characters of each item matter; a byte outside ASCII counts as one
// character that is not '@', which can only make an item look less binary.
bool holdsBinaryValue(QByteArrayView value) {
    const qsizetype size = value.size();
    std::u16string item;
    bool binary = false;
    bool quoted = false;
    qsizetype i = 0;
    const auto add = [&](char16_t c) {
        if (item.size() < KeptCharacters) item.push_back(c);
    };
    const auto skipSpaces = [&] {
        while (i < size && (value[i] == ' ' || value[i] == '\t')) ++i;
    };
    const auto endItem = [&] {
        binary = binary || startsBinary(item);
        item.clear();
    };
    skipSpaces();
    while (i < size) {
        const char c = value[i++];
        if (c == '\\') {
            if (i == size) break;
            const char escaped = value[i++];
            if (const char16_t simple = simpleEscape(escaped)) {
                add(simple);
            } else if (escaped == 'x') {
                if (i == size || hexDigit(value[i]) < 0) continue;
                char16_t code = 0;
                while (i < size && hexDigit(value[i]) >= 0) {
                    code = char16_t((code << 4) + hexDigit(value[i++]));
                }
                add(code);
            } else if (octalDigit(escaped) >= 0) {
                auto code = char16_t(octalDigit(escaped));
                while (i < size && octalDigit(value[i]) >= 0) {
                    code = char16_t((code << 3) + octalDigit(value[i++]));
                }
                add(code);
            } else if (isLineBreak(escaped) && i < size && isLineBreak(value[i]) &&
                       value[i] != escaped) {
                ++i;
            }
        } else if (c == '"') {
            quoted = !quoted;
            if (!quoted) skipSpaces();
        } else if (c == ',' && !quoted) {
            endItem();
            skipSpaces();
        } else {
            add(static_cast<unsigned char>(c) < 0x80 ? char16_t(c) : u'\uFFFD');
        }
    }
    endItem();
    return binary;
}

// A key name QSettings writes back as it stands (letters, digits and '-'),
// made of a random part that the file does not hold, and short, so that a
// file of many short binary values grows little while QSettings has it.
QByteArray placeholderPrefix(const QByteArray& bytes) {
    for (;;) {
        const QByteArray prefix =
            "qset-" + QByteArray::number(QRandomGenerator::global()->generate(), 36) + '-';
        if (!bytes.contains(prefix)) return prefix;
    }
}

// Whether `line`, followed by a line break, still reads as that one line.
bool standsAlone(const QByteArray& line) {
    const QByteArray followed = line + '\n';
    qsizetype pos = 0;
    IniLine read;
    return nextLine(followed, pos, read) && read.start == 0 && read.end == line.size();
}

// Whether `path` and the key line `original` after it, followed by a line
// break, read as one line whose key is the path and the original's key: no
// quote or backslash of one changes how the other reads.
bool readsAsOneKey(const QByteArray& path, const QByteArray& original) {
    qsizetype pos = 0;
    IniLine alone;
    if (!nextLine(original, pos, alone) || alone.equals < 0) return false;
    const QByteArray joined = path + original;
    if (!standsAlone(joined)) return false;
    pos = 0;
    IniLine read;
    return nextLine(joined, pos, read) && read.equals == path.size() + alone.equals &&
           QByteArrayView(path).indexOf('=') < 0;
}

}  // namespace

namespace {

// Calls `found` with each line of `bytes` that holds a binary value, in order,
// as its start and end in `bytes`.
template <typename Found>
void forEachBinaryLine(const QByteArray& bytes, Found found) {
    // Binary data starts with '@', written as it is or as an escape: a file
    // with neither, as the game writes it, needs no closer look.
    if (!bytes.contains('@') && !bytes.contains('\\')) return;
    // QSettings skips a UTF-8 byte order mark before the first line.
    const qsizetype bom = bytes.startsWith("\xef\xbb\xbf") ? 3 : 0;
    const QByteArrayView data = QByteArrayView(bytes).sliced(bom);
    qsizetype pos = 0;
    IniLine line;
    while (nextLine(data, pos, line)) {
        if (data[line.start] == '[' || line.equals < 0) continue;
        const QByteArrayView value = data.sliced(line.equals + 1, line.end - line.equals - 1);
        if ((value.contains('@') || value.contains('\\')) && holdsBinaryValue(value)) {
            found(bom + line.start, bom + line.end);
        }
    }
}

}  // namespace

SetAsideText setAsideBinaryValues(const QByteArray& bytes) {
    SetAsideText aside;
    QByteArray& prefix = aside.prefix;
    qsizetype copied = 0;  // how much of `bytes` is in aside.text so far
    forEachBinaryLine(bytes, [&](qsizetype start, qsizetype end) {
        if (aside.lines.empty()) {
            prefix = placeholderPrefix(bytes);
            aside.text.reserve(bytes.size());
        }
        SetAsideLine set{prefix + QByteArray::number(qulonglong(aside.lines.size()), 36),
                         bytes.sliced(start, end - start)};
        aside.canPutBack = aside.canPutBack && standsAlone(set.original);
        aside.text += QByteArrayView(bytes).sliced(copied, start - copied);
        aside.text += set.placeholder + '=';
        copied = end;
        aside.lines.push_back(std::move(set));
    });
    if (aside.lines.empty()) {
        aside.text = bytes;
    } else {
        aside.text += QByteArrayView(bytes).sliced(copied);
    }
    return aside;
}

QByteArray withoutBinaryValues(const QByteArray& bytes) {
    QByteArray text;
    qsizetype copied = 0;
    forEachBinaryLine(bytes, [&](qsizetype start, qsizetype end) {
        text += QByteArrayView(bytes).sliced(copied, start - copied);
        copied = end;
    });
    if (copied == 0) return bytes;
    text += QByteArrayView(bytes).sliced(copied);
    return text;
}

bool putBackBinaryValues(QByteArray& written, const SetAsideText& aside) {
    if (aside.lines.empty()) return true;
    // Each placeholder once, as an empty key, and the random part of their
    // names nowhere else.
    if (written.count(aside.prefix) != qsizetype(aside.lines.size())) return false;
    QByteArray restored;
    restored.reserve(written.size());
    std::vector<bool> seen(aside.lines.size(), false);
    qsizetype pos = 0;
    while (pos < written.size()) {
        qsizetype end = written.indexOf('\n', pos);
        if (end < 0) end = written.size();
        const QByteArrayView line = QByteArrayView(written).sliced(pos, end - pos);
        const qsizetype at = line.indexOf(aside.prefix);
        if (at < 0) {
            restored += line;
        } else {
            // QSettings writes a key of a section whose name holds '/' as the
            // rest of that name, '\', and the key: the placeholder may follow
            // such a path, which the line put back keeps before its own key.
            bool ok = false;
            const QByteArrayView number = line.sliced(at + aside.prefix.size());
            const qulonglong index = number.endsWith('=')
                                         ? number.chopped(1).toULongLong(&ok, 36)
                                         : 0;
            if (!ok || index >= seen.size() || seen[index]) return false;
            seen[index] = true;
            const QByteArray path = line.first(at).toByteArray();
            const QByteArray& original = aside.lines[index].original;
            if (!readsAsOneKey(path, original)) return false;
            restored += path + original;
        }
        if (end < written.size()) restored += '\n';
        pos = end + 1;
    }
    written = restored;
    return true;
}

}  // namespace quillet
