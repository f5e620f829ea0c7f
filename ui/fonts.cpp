#include "ui/fonts.h"

#include <QFontDatabase>
#include <QStringList>

namespace quillet {

const QString CaptionFontFamily = QStringLiteral("ＭＳ Ｐゴシック");

void InstallFontSubstitutions() {
    QStringList substitutes{QStringLiteral("IPAPGothic")};
    for (const QString& family : QFontDatabase::families(QFontDatabase::Japanese)) {
        if (!substitutes.contains(family)) substitutes << family;
    }
    QFont::insertSubstitutions(CaptionFontFamily, substitutes);
}

QFont CaptionFont(int pointSize) {
    QFont font(CaptionFontFamily, pointSize, QFont::Bold);
    return font;
}

}  // namespace quillet
