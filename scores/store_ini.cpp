#include "scores/store_ini.h"

#include <algorithm>

#include <QStringDecoder>

namespace quillet {
namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// The escapes of one letter or sign, each before the character it stands for.
// QSettings writes the first nine; it reads all eleven.
constexpr char Escapes[] = "a\ab\bf\fn\nr\rt\tv\v\"\"\\\\''?\?";
constexpr int WrittenEscapes = 9;

// The character that a backslash and `c` stand for in a value, or 0.
char16_t simpleEscape(char c) {
    for (const char* e = Escapes; *e; e += 2) {
        if (*e == c) return char16_t(e[1]);
    }
    return 0;
}

// The letter or sign that QSettings writes after a backslash for `c`, or 0.
char writtenEscape(char16_t c) {
    for (const char* e = Escapes; e < Escapes + 2 * WrittenEscapes; e += 2) {
        if (char16_t(e[1]) == c) return *e;
    }
    return 0;
}

// How many items QSettings' geometry forms ("@Size(1 2)") give, from `from`.
qsizetype argumentCount(const QString& s, qsizetype from) {
    return std::count_if(s.begin() + from, s.end(), [](QChar c) { return c == u' ' || c == u')'; });
}

// Whether QSettings would decode `item` from Qt's binary form, which the game
// never does.
bool isBinary(const QString& item) {
    return item.startsWith(QLatin1String("@Variant(")) ||
           item.startsWith(QLatin1String("@DateTime("));
}

int digitValue(char c, int base) {
    const int value = c >= '0' && c <= '9'   ? c - '0'
                      : c >= 'a' && c <= 'f' ? c - 'a' + 10
                      : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                             : 99;
    return value < base ? value : -1;
}

}  // namespace

bool isLineBreak(char c) {
    return c == '\n' || c == '\r';
}

// Inside double quotes a line break or ';' is part of the line; a backslash
// takes the character after it (a line break too, which continues the line)
// as part of the line. A comment after the line, on the same line, and one
// line break ("\r\n" is one) follow it before the next.
bool nextLine(QByteArrayView data, qsizetype& pos, Line& line) {
    const qsizetype size = data.size();
    qsizetype i = pos;
    for (;;) {
        while (i < size && isBlank(data[i])) ++i;
        if (i == size || data[i] != ';') break;
        while (i < size && !isLineBreak(data[i])) ++i;
    }
    line = Line{i, i, -1, i};
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
    if (i < size && data[i] == ';') {
        while (i < size && !isLineBreak(data[i])) ++i;
    }
    if (i < size && data[i] == '\r') ++i;
    if (i < size && data[i] == '\n') ++i;
    line.after = pos = i;
    return line.end > line.start;
}

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

Value unescapedValue(QByteArrayView str, bool bytewise) {
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
    // The items of a list are read one by one and joined, so that a list of
    // thousands of empty items takes no more memory than its text.
    QString joined;
    bool firstItem = true;
    const auto endItem = [&] {
        value.binary = value.binary || isBinary(result);
        if (!bytewise) {
            if (!firstItem) joined += QStringLiteral(", ");
            joined += formOf(result).text;
            firstItem = false;
        }
        result.clear();
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
            } else if (isLineBreak(escaped) && i < size && isLineBreak(str[i]) &&
                       str[i] != escaped) {
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
            endItem();
            quoted = false;
            ++i;
            skipSpaces();
            chopLimit = 0;
        } else {
            qsizetype j = i + 1;
            while (j < size && str[j] != '\\' && str[j] != '"' && str[j] != ',') ++j;
            if (bytewise) {
                for (; i < j; ++i) {
                    result += uchar(str[i]) < 0x80 ? QChar(QLatin1Char(str[i]))
                                                   : QChar(QChar::ReplacementCharacter);
                }
            } else {
                result += QString(utf8(str.sliced(i, j - i)));
            }
            i = j;
        }
    }
    if (chopAtEnd && !quoted) chopSpaces();
    if (!value.isList) {
        value.binary = isBinary(result);
        return value;
    }
    endItem();
    result = joined;
    return value;
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
        if (c == 0) {
            out += QStringLiteral("\\0");
            hexNext = true;
        } else if (const char escape = writtenEscape(c)) {
            out += QLatin1Char('\\');
            out += QLatin1Char(escape);
        } else if (c < 0x20) {
            out += QStringLiteral("\\x") + QString::number(c, 16);
            hexNext = true;
        } else {
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

}  // namespace quillet
