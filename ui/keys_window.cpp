#include "ui/keys_window.h"

#include <QGridLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QStringList>
#include <QVBoxLayout>

#include "game/rules.h"
#include "ui/fonts.h"
#include "ui/key_table.h"
#include "ui/pictures.h"
#include "ui/window_style.h"

namespace quillet {
namespace {

// Wide enough for the keys and their names side by side.
constexpr int RulesWidth = 440;

QLabel* makeText(const QString& text, const QFont& font, layout::Rgb colour) {
    auto* label = new QLabel;
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, toColor(colour));
    label->setPalette(palette);
    return label;
}

}  // namespace

QString KeysWindow::rulesText() {
    const QLocale english(QLocale::English);
    const auto number = [&english](int n) { return english.toString(n); };
    const int mergeScore = rules::MergeScorePerSlice * rules::WholeCake;
    return QStringLiteral(
               "• Pairs of cake pieces enter at the top and fall one row at a time.\n"
               "• A piece that lands on another merges with it when the two make at most %1 "
               "slices. A merge scores %2 a slice.\n"
               "• %1 slices make a whole cake. It leaves the board and scores %3: %4 for the "
               "merge and %5 for the cake. A second cake from the same pair scores %6 more.\n"
               "• The 1st, 4th, 7th … cake makes the pieces fall faster.\n"
               "• The game ends when a new pair has no room at the top.")
        .arg(rules::WholeCake)
        .arg(number(rules::MergeScorePerSlice), number(mergeScore + rules::CakeBonus),
             number(mergeScore), number(rules::CakeBonus), number(rules::SecondCakeBonus));
}

KeysWindow::KeysWindow(QWidget* parent) : QDialog(parent, fixedWindowFlags(Qt::Dialog)) {
    setWindowTitle(QStringLiteral("Keys and rules"));
    setWindowIcon(loadIcon(QStringLiteral("icon")));
    fillBackground(this, layout::WindowGrey);
    const QFont font = boldCaptionFont(layout::CaptionPointSize);

    QStringList keyLines;
    QStringList nameLines;
    for (const KeyCommand& row : keyTable()) {
        QStringList keys;
        for (const QKeySequence& key : row.keys) keys.append(keyText(key));
        keyLines.append(keys.join(QStringLiteral(" / ")));
        nameLines.append(row.name);
    }
    auto* keyColumn = makeText(keyLines.join(QLatin1Char('\n')), font, layout::Black);
    keysLabel = makeText(nameLines.join(QLatin1Char('\n')), font, layout::Black);
    // A screen reader reads a key and what it does together, line by line.
    QStringList spoken;
    for (int i = 0; i < keyLines.size(); ++i) spoken.append(keyLines[i] + QStringLiteral(": ") + nameLines[i]);
    keysLabel->setAccessibleName(QStringLiteral("Keys"));
    keysLabel->setAccessibleDescription(spoken.join(QStringLiteral("; ")));
    rulesLabel = makeText(rulesText(), font, layout::Black);
    rulesLabel->setWordWrap(true);
    rulesLabel->setFixedWidth(RulesWidth);
    rulesLabel->setAccessibleName(QStringLiteral("Rules"));

    closeButton = new QPushButton(QStringLiteral("Close"));
    closeButton->setFont(font);
    closeButton->setDefault(true);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::accept);

    auto* keysGrid = new QGridLayout;
    keysGrid->setHorizontalSpacing(16);
    keysGrid->addWidget(keyColumn, 0, 0, Qt::AlignTop);
    keysGrid->addWidget(keysLabel, 0, 1, Qt::AlignTop);
    keysGrid->setColumnStretch(1, 1);

    auto* page = new QVBoxLayout(this);
    page->addWidget(makeText(QStringLiteral("KEYS"), font, layout::Blue));
    page->addLayout(keysGrid);
    page->addSpacing(8);
    page->addWidget(makeText(QStringLiteral("RULES"), font, layout::Pink));
    page->addWidget(rulesLabel);
    page->addWidget(closeButton, 0, Qt::AlignRight);
    // Fixed, like the game's other windows.
    page->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace quillet
