#include <gtest/gtest.h>

#include <QApplication>

#include "ui/fonts.h"
#include "ui/shared_palette_style.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    quillet::installFontSubstitutions();
    quillet::installSharedPaletteStyle();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
