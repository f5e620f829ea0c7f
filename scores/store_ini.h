#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace quillet {

// The rules by which Qt's QSettings reads and writes an INI file, as far as
// the store needs them: where lines end, how a key is unescaped, how a value
// is unescaped and what it stands for, and how a text is written.

// One line: from its first character that is not a blank to the line break,
// or the ';' of a comment, that ends it.
struct Line {
    qsizetype start = 0;
    qsizetype end = 0;
    qsizetype equals = -1;  // the first '=' outside quotes; -1 when there is none
    qsizetype after = 0;    // past the comment that follows it and its line break
};

bool isLineBreak(char c);
// Reads the line that begins at or after `pos`, skipping blank lines and
// comment lines, and moves `pos` past it; false at the end of `data`.
bool nextLine(QByteArrayView data, qsizetype& pos, Line& line);

// A key or section name: UTF-8, with '\' for '/' and %XX or %UXXXX escapes.
QString unescapedKey(QByteArrayView key);

// The text after a key's '=': one text, or a list where commas outside
// double quotes part it. Blanks before an item are skipped and those after it
// dropped unless it was quoted; the escapes \a ... \\, \x with hex digits and
// \ with octal ones give one 16-bit character each. The bytes between are
// UTF-8 read as one stream, so a character may be split by an escape or a
// quote, and a byte-order mark at its very start is dropped. `bytewise`
// reads each byte past ASCII as one U+FFFD instead, as the store has always
// done to tell a value in Qt's binary form: "\xef\xbb\xbf@Variant(" is none.
struct Value {
    bool isList = false;
    // The text, or an item of the list, starts "@Variant(" or "@DateTime(":
    // Qt's binary form, which QSettings would decode and the game never does.
    bool binary = false;
    // The text; of a list, its items as formOf reads them, joined by ", ":
    // how the game reads a name that was hand-written as a list.
    QString text;
};
Value unescapedValue(QByteArrayView str, bool bytewise = false);

// What QSettings makes of one text: Qt's forms "@ByteArray(...)",
// "@String(...)", "@Invalid()" and the geometry forms, "@@" for a text that
// starts with '@', or the text itself. `text` is what the game reads of it as
// a name; `plainText` whether QSettings gives a text, as a score must be.
struct Form {
    QString text;
    bool plainText = true;
};
Form formOf(const QString& s);

// A text as QSettings writes it as a value.
QByteArray escapedValue(QString s);

}  // namespace quillet
