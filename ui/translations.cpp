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

// Loads `name`_<language> for the first language of `locale` that has a file
// in `folder`, and installs it over the ones installed before.
bool installTranslator(const QLocale& locale, const QString& name, const QString& folder) {
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(locale, name, QStringLiteral("_"), folder)) return false;
    QCoreApplication::installTranslator(translator.get());
    installed().push_back(std::move(translator));
    return true;
}

}  // namespace

void installTranslations(const QLocale& locale) {
    for (const auto& translator : installed()) QCoreApplication::removeTranslator(translator.get());
    installed().clear();
    const QString ours = QStringLiteral(":/i18n");
    installTranslator(QLocale(QLocale::English), QStringLiteral("quillet"), ours);
    if (locale.language() == QLocale::English || locale.language() == QLocale::C) return;
    // Qt's own texts follow only into a language the game speaks, so that a
    // dialog never mixes two languages.
    if (installTranslator(locale, QStringLiteral("quillet"), ours)) {
        installTranslator(locale, QStringLiteral("qtbase"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    }
}

}  // namespace quillet
