#include "ui/translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace quillet {

namespace {

// Loads `name`_<language> for the first language of `locale` that has a file
// in `folder`, and installs it over the ones installed before. The
// translators live as long as the application.
bool installTranslator(const QLocale& locale, const QString& name, const QString& folder) {
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(locale, name, QStringLiteral("_"), folder)) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    return true;
}

}  // namespace

void installTranslations(const QLocale& locale) {
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
