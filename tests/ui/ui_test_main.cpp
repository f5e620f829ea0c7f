#include <gtest/gtest.h>

#include <QApplication>
#include <QLocale>

#include "ui/fonts.h"
#include "ui/translations.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    quillet::installFontSubstitutions();
    // The tests read the game's English texts, whatever the machine's language.
    quillet::installTranslations(QLocale(QLocale::English));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
