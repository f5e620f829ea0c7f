#include "ui/keys_window.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QStringList>
#include <QVBoxLayout>

#include "game/rules.h"
#include "ui/fonts.h"
#include "ui/key_table.h"
#include "ui/narration.h"
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
    setColours(label, layout::WindowGrey, colour);
    return label;
}

}  // namespace

QString KeysWindow::rulesText() {
    // The figures are written as the English and the Japanese write them: 1,800.
    const QLocale english(QLocale::English);
    const auto number = [&english](int n) { return english.toString(n); };
    const int mergeScore = rules::MergeScorePerSlice * rules::WholeCake;
    return tr("• Pairs of cake pieces enter at the top and fall one row at a time.\n"
              "• A piece that lands on another merges with it when the two make at most "
              "%1 slices. A merge scores %2 a slice.\n"
              "• %1 slices make a whole cake. It leaves the board and scores %3: %4 for "
              "the merge and %5 for the cake. A second cake from the same pair scores %6 "
              "more.\n"
              "• The 1st, 4th, 7th … cake makes the pieces fall faster.\n"
              "• The game ends when a new pair has no room at the top.")
        .arg(rules::WholeCake)
        .arg(number(rules::MergeScorePerSlice), number(mergeScore + rules::CakeBonus),
             number(mergeScore), number(rules::CakeBonus), number(rules::SecondCakeBonus));
}

KeysWindow::KeysWindow(QWidget* parent) : QDialog(parent, fixedWindowFlags(Qt::Dialog)) {
    // The main window's icon itself, not a new one of the same picture: each
    // new icon was decoded again and cached again under a key of its own.
    setWindowIcon(parent != nullptr ? parent->windowIcon() : loadIcon(QStringLiteral("icon")));
    fillBackground(this, layout::WindowGrey);
    const QFont font = boldCaptionFont(layout::CaptionPointSize);

    QStringList keyLines;
    for (const KeyCommand& row : keyTable()) {
        QStringList keys;
        for (const QKeySequence& key : row.keys) keys.append(keyText(key));
        QString line = keys.value(0);
        for (qsizetype i = 1; i < keys.size(); ++i) {
            line = tr("%1 / %2", "two keys that do the same").arg(line, keys[i]);
        }
        keyLines.append(line);
    }
    QStringList names;
    QStringList spoken;
    for (const KeyCommand& row : keyTable()) {
        names.append(row.name());
        // A screen reader reads a key and what it does together, line by line.
        spoken.append(tr("%1: %2").arg(keyLines[spoken.size()], names.back()));
    }
    m_keyColumn = makeText(keyLines.join(QLatin1Char('\n')), font, layout::Black);
    keysLabel = makeText(names.join(QLatin1Char('\n')), font, layout::Black);
    // A review reads names, not texts: the keys' names are the lines of both
    // columns side by side, and the rules' name is their text.
    keysLabel->setAccessibleName(Narration::list(spoken));
    rulesLabel = makeText(rulesText(), font, layout::Black);
    rulesLabel->setWordWrap(true);
    rulesLabel->setFixedWidth(RulesWidth);
    rulesLabel->setAccessibleName(rulesLabel->text());
    auto* keysCaption = makeText(tr("KEYS"), font, layout::Blue);
    auto* rulesCaption = makeText(tr("RULES"), font, layout::Pink);

    closeButton = new QPushButton(tr("Close"));
    closeButton->setFont(font);
    closeButton->setDefault(true);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::accept);

    auto* keysGrid = new QGridLayout;
    keysGrid->setHorizontalSpacing(16);
    keysGrid->addWidget(m_keyColumn, 0, 0, Qt::AlignTop);
    keysGrid->addWidget(keysLabel, 0, 1, Qt::AlignTop);
    keysGrid->setColumnStretch(1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(closeButton);

    auto* page = new QVBoxLayout(this);
    page->addWidget(keysCaption);
    page->addLayout(keysGrid);
    page->addSpacing(8);
    page->addWidget(rulesCaption);
    page->addWidget(rulesLabel);
    page->addLayout(buttons);
    // Fixed, like the game's other windows.
    page->setSizeConstraint(QLayout::SetFixedSize);
    setWindowTitle(tr("Keys and rules"));
    shareWindowColours(this, layout::WindowGrey);
}

}  // namespace quillet
