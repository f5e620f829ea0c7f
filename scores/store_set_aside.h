#pragma once

#include <vector>

#include <QByteArray>

namespace quillet {

// Lines of the store that QSettings is never shown.
//
// The game writes only plain text, but a store made by hand or by another
// program may hold values in QSettings' binary form, "@Variant(...)" or
// "@DateTime(...)", and such a value may be anything Qt can stream: a
// picture, say, which a game linked with Qt Gui would decode. QSettings
// decodes every value of a section as soon as any key of it is asked for, so
// a 90 KB store with one large picture beside the table took seconds and tens
// of megabytes at every load. The game needs none of these values. Each line
// that holds one is replaced by an empty key of a name found nowhere else in
// the file, and put back, byte for byte, into what QSettings writes. A key of
// the game's own with such a value reads as missing.

struct SetAsideLine {
    QByteArray placeholder;  // the key that stands in for the line
    QByteArray original;     // the line as the file had it, without its line break
};

struct SetAsideText {
    QByteArray text;  // the file, with each set-aside line replaced by "<placeholder>="
    QByteArray prefix;  // what every placeholder starts with, and nothing else in the file
    std::vector<SetAsideLine> lines;
    // False when a set-aside line could not be put back where a line break
    // follows it (the file's last line, cut inside quotes or after a lone
    // backslash): it would run on into the next line. Such a file can be
    // read, but not saved into.
    bool canPutBack = true;
};

// Reads `bytes` line by line as QSettings reads an INI file (quotes, escapes,
// comments, continued lines) and sets aside every line whose value QSettings
// would decode as binary data: a value, or an item of a list value, that
// reads as text starting with "@Variant(" or "@DateTime(".
SetAsideText setAsideBinaryValues(const QByteArray& bytes);

// `bytes` without those lines, for reading only: nothing is to be put back,
// so nothing takes their place.
QByteArray withoutBinaryValues(const QByteArray& bytes);

// Puts the lines set aside from `aside.text` back into `written`, QSettings'
// rewrite of that text, each in its placeholder's place. False, with
// `written` unusable, when a placeholder is missing, found twice or no
// longer an empty key at the start of a line.
bool putBackBinaryValues(QByteArray& written, const SetAsideText& aside);

}  // namespace quillet
