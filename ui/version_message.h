#pragma once

#include <QString>

class QWidget;

namespace quillet {

// Shows `text` under the title "ﾊﾞｰｼﾞｮﾝ情報" with a single OK button and no
// icon, modal over `parent`, and returns when the player has closed it.
void showVersionMessage(QWidget* parent, const QString& text);

}  // namespace quillet
