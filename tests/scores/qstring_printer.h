#pragma once

#include <ostream>

#include <QString>

// Lets GoogleTest show a QString as its text in failure messages instead of as
// raw object bytes. QString lives in the global namespace, so this is where
// GoogleTest looks for it.
// NOLINTNEXTLINE(readability-identifier-naming): GoogleTest looks for this name.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
