#pragma once

class QLocale;

namespace quillet {

// Installs the translations for `locale` into the application, before the
// first window is made: the game's own, and Qt's (its dialogs' buttons, a text
// box's menu) for the same language. English, the language of the code,
// always lies beneath them for its plural forms, so a language the game has no
// translation for shows English.
void installTranslations(const QLocale& locale);

}  // namespace quillet
