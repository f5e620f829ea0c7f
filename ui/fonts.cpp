#include "ui/fonts.h"

#include <QCoreApplication>
#include <QFontDatabase>
#include <QStringList>
#include <QTimer>

namespace quillet {

const QString CaptionFontFamily = QStringLiteral("ＭＳ Ｐゴシック");

namespace {

// Every installed Japanese font, after IPAPGothic (insertSubstitutions skips
// the families already listed).
void substituteInstalledJapaneseFonts() {
    QFont::insertSubstitutions(CaptionFontFamily, QFontDatabase::families(QFontDatabase::Japanese));
}

}  // namespace

void installFontSubstitutions() {
    QFont::insertSubstitution(CaptionFontFamily, QStringLiteral("IPAPGothic"));
    // Listing the Japanese fonts makes Qt read in every font of the system,
    // which took longer than building the whole main window. Nothing needs the
    // list before the first text is drawn, so it is made as the event loop
    // starts: after the window has been shown, before it is first painted.
    if (QCoreApplication::instance() != nullptr) {
        QTimer::singleShot(0, &substituteInstalledJapaneseFonts);
    } else {
        substituteInstalledJapaneseFonts();
    }
}

QFont boldCaptionFont(int pointSize) {
    QFont font(CaptionFontFamily, pointSize, QFont::Bold);
    return font;
}

}  // namespace quillet
