#include "ui/version_message.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QMessageBox>
#include <QProxyStyle>
#include <QStyleFactory>

namespace quillet {
namespace {

// The style of the version message's button box: the application's own, less
// the stock icons on dialog buttons. Such an icon is decoded from the style's
// resources anew every time a box is built, and the version message may be
// opened in the middle of a game, where nothing is decoded.
class NoButtonIconsStyle : public QProxyStyle {
public:
    NoButtonIconsStyle() : QProxyStyle(createBaseLike(QApplication::style())) {}

    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_DialogButtonBox_ButtonsHaveIcons) return 0;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }

private:
    // A new instance of the style that `style` is, or draws through: a proxy
    // takes its base style over, and the application keeps its own.
    static QStyle* createBaseLike(const QStyle* style) {
        if (const auto* proxy = qobject_cast<const QProxyStyle*>(style)) style = proxy->baseStyle();
        return style != nullptr ? QStyleFactory::create(style->name()) : nullptr;
    }
};

}  // namespace

void showVersionMessage(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報"), text,
                    QMessageBox::NoButton, parent);
    // Made at the first showing and kept by the parent for the later ones. The
    // OK button is added once the button box has the style without icons.
    const QString styleName = QStringLiteral("versionMessageStyle");
    auto* style = parent->findChild<QStyle*>(styleName, Qt::FindDirectChildrenOnly);
    if (!style) {
        style = new NoButtonIconsStyle;
        style->setObjectName(styleName);
        style->setParent(parent);
    }
    if (auto* buttons = box.findChild<QDialogButtonBox*>()) buttons->setStyle(style);
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

}  // namespace quillet
