#include "ui/translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <memory>
#include <vector>

namespace quillet {

namespace {

// The translators installed last, which the next call takes out again.
std::vector<std::unique_ptr<QTranslator>>& installed() {
    static std::vector<std::unique_ptr<QTranslator>> translators;
    return translators;
}

// Loads `name`_<language> for the first of `locale`'s languages that has a
// file in `folder`, and installs it over the ones installed before. Returns
// the translator, or null when no language has a file.
QTranslator* installTranslator(const QLocale& locale, const QString& name, const QString& folder) {
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(locale, name, QStringLiteral("_"), folder)) return nullptr;
    QCoreApplication::installTranslator(translator.get());
    installed().push_back(std::move(translator));
    return installed().back().get();
}

}  // namespace

void installTranslations(const QLocale& locale) {
    for (const auto& translator : installed()) QCoreApplication::removeTranslator(translator.get());
    installed().clear();
    const QString ours = QStringLiteral(":/i18n");
    installTranslator(QLocale(QLocale::English), QStringLiteral("quillet"), ours);
    if (locale.language() == QLocale::C) return;
    // The player's languages in their order (LANGUAGE=fr:ja lists two): the
    // first the game has a file for gives the game's texts, and Qt's own
    // follow it into that same language, never into an earlier one the game
    // does not speak, so that a window never mixes two languages. English,
    // found first, needs nothing of Qt's: English is Qt's own language.
    const QTranslator* game = installTranslator(locale, QStringLiteral("quillet"), ours);
    if (game == nullptr) return;
    const QLocale found(game->language());
    if (found.language() == QLocale::English) return;
    installTranslator(found, QStringLiteral("qtbase"),
                      QLibraryInfo::path(QLibraryInfo::TranslationsPath));
}

}  // namespace quillet
