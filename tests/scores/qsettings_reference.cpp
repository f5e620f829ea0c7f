// The store as it read before it edited its own lines: QSettings, shown the
// file without the lines that hold a value in Qt's binary form. The new
// reader is checked against it (store_compat_test.cpp). This is the old
// reader kept as it was, for comparison only; the game does not link it.
#include "tests/scores/qsettings_reference.h"

#include <array>
#include <string>

#include <QByteArrayView>
#include <QFile>
#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>

#include "scores/score_keys.h"
#include "scores/zoom_setting.h"

namespace quillet {
namespace reference {
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
    for (const char c : {'\n', '\r', ';', '=', '"', '\\'})
        marks[static_cast<unsigned char>(c)] = true;
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
        case 'a':
            return u'\a';
        case 'b':
            return u'\b';
        case 'f':
            return u'\f';
        case 'n':
            return u'\n';
        case 'r':
            return u'\r';
        case 't':
            return u'\t';
        case 'v':
            return u'\v';
        case '"':
            return u'"';
        case '?':
            return u'?';
        case '\'':
            return u'\'';
        case '\\':
            return u'\\';
        default:
            return 0;
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

namespace {

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

StoredSettings readWithQSettings(const QByteArray& bytes) {
    // A file of its own for every read: QSettings keeps what it has read of
    // a file in a cache that it trusts while the size and time look the same.
    static QTemporaryDir dir;
    static int round = 0;
    const QString path = dir.filePath(QStringLiteral("ref%1.conf").arg(++round));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly)) return {};
        file.write(withoutBinaryValues(bytes));
    }
    StoredSettings stored;
    {
        const QSettings settings(path, QSettings::IniFormat);
        static_cast<void>(settings.allKeys());
        for (int rank = 0; rank < HighScoreRanks; ++rank) {
            const QString n = QString::number(rank);
            stored.table.names[rank] = storableName(
                nameFromStored(settings.value(QStringLiteral("Setting/HScore_Nm_") + n)));
            stored.table.scores[rank] =
                scoreFromStored(settings.value(QStringLiteral("Setting/HScore_Val_") + n));
        }
        const QVariant sound = settings.value(QStringLiteral("Preferences/Sound"));
        stored.soundOn =
            sound.typeId() != QMetaType::QString || sound.toString() != QLatin1String("off");
        const QVariant zoom = settings.value(QStringLiteral("Preferences/Zoom"));
        for (const int step : ZoomSteps) {
            if (zoom.typeId() == QMetaType::QString && zoom.toString() == QString::number(step))
                stored.zoomPercent = step;
        }
    }
    QFile::remove(path);
    return stored;
}

QByteArray savedWithQSettings(const QByteArray& bytes, const StoredSettings& wanted,
                              StoreKeys keys) {
    static QTemporaryDir dir;
    static int round = 0;
    const QString path = dir.filePath(QStringLiteral("save%1.conf").arg(++round));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly)) return {};
        file.write(bytes);
    }
    {
        QSettings settings(path, QSettings::IniFormat);
        static_cast<void>(settings.allKeys());
        if (keys == StoreKeys::Sound) {
            settings.setValue(QStringLiteral("Preferences/Sound"),
                              wanted.soundOn ? QStringLiteral("on") : QStringLiteral("off"));
        }
        if (keys == StoreKeys::Zoom) {
            settings.setValue(QStringLiteral("Preferences/Zoom"),
                              QString::number(wanted.zoomPercent));
        }
        for (int rank = 0; rank < HighScoreRanks && keys == StoreKeys::Table; ++rank) {
            const QString n = QString::number(rank);
            settings.setValue(QStringLiteral("Setting/HScore_Nm_") + n,
                              storableName(wanted.table.names[rank]));
            settings.setValue(QStringLiteral("Setting/HScore_Val_") + n,
                              QString::number(wanted.table.scores[rank]));
        }
    }
    QFile file(path);
    const QByteArray written = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    QFile::remove(path);
    return written;
}

}  // namespace reference
}  // namespace quillet
