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

QString KeysWindow::rulesText(bool japanese) {
    const QLocale english(QLocale::English);
    const auto number = [&english](int n) { return english.toString(n); };
    const int mergeScore = rules::MergeScorePerSlice * rules::WholeCake;
    const QString text =
        japanese
            ? QStringLiteral(
                  "• ケーキのピースが2つ1組で上から入り、1段ずつ落ちます。\n"
                  "• 落ちたピースは、下のピースと合わせて%1切れ以下なら1つにまとまり、"
                  "1切れにつき%2点です。\n"
                  "• %1切れでホールケーキの完成。盤から消えて%3点（まとめて%4点、ケーキで%5点）。"
                  "同じ組でもう1つ完成させると、さらに%6点です。\n"
                  "• 1個目、4個目、7個目…のケーキで落ちる速さが上がります。\n"
                  "• 新しい組の入る場所がなくなるとゲーム終了です。")
            : QStringLiteral(
                  "• Pairs of cake pieces enter at the top and fall one row at a time.\n"
                  "• A piece that lands on another merges with it when the two make at most "
                  "%1 slices. A merge scores %2 a slice.\n"
                  "• %1 slices make a whole cake. It leaves the board and scores %3: %4 for "
                  "the merge and %5 for the cake. A second cake from the same pair scores %6 "
                  "more.\n"
                  "• The 1st, 4th, 7th … cake makes the pieces fall faster.\n"
                  "• The game ends when a new pair has no room at the top.");
    return text.arg(rules::WholeCake)
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
        keyLines.append(keys.join(QStringLiteral(" / ")));
    }
    m_keyColumn = makeText(keyLines.join(QLatin1Char('\n')), font, layout::Black);
    keysLabel = makeText(QString(), font, layout::Black);
    rulesLabel = makeText(QString(), font, layout::Black);
    rulesLabel->setWordWrap(true);
    rulesLabel->setFixedWidth(RulesWidth);
    m_keysCaption = makeText(QString(), font, layout::Blue);
    m_rulesCaption = makeText(QString(), font, layout::Pink);

    languageButton = new QPushButton;
    languageButton->setFont(font);
    languageButton->setAutoDefault(false);
    connect(languageButton, &QPushButton::clicked, this, [this] { showLanguage(!m_japanese); });
    closeButton = new QPushButton(QStringLiteral("Close"));
    closeButton->setFont(font);
    closeButton->setDefault(true);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::accept);

    auto* keysGrid = new QGridLayout;
    keysGrid->setHorizontalSpacing(16);
    keysGrid->addWidget(m_keyColumn, 0, 0, Qt::AlignTop);
    keysGrid->addWidget(keysLabel, 0, 1, Qt::AlignTop);
    keysGrid->setColumnStretch(1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(languageButton);
    buttons->addStretch();
    buttons->addWidget(closeButton);

    auto* page = new QVBoxLayout(this);
    page->addWidget(m_keysCaption);
    page->addLayout(keysGrid);
    page->addSpacing(8);
    page->addWidget(m_rulesCaption);
    page->addWidget(rulesLabel);
    page->addLayout(buttons);
    // Fixed, like the game's other windows.
    page->setSizeConstraint(QLayout::SetFixedSize);
    showLanguage(false);
}

void KeysWindow::showLanguage(bool japanese) {
    m_japanese = japanese;
    setWindowTitle(japanese ? QStringLiteral("キーとルール") : QStringLiteral("Keys and rules"));
    m_keysCaption->setText(japanese ? QStringLiteral("キー") : QStringLiteral("KEYS"));
    m_rulesCaption->setText(japanese ? QStringLiteral("ルール") : QStringLiteral("RULES"));
    languageButton->setText(japanese ? QStringLiteral("English") : QStringLiteral("日本語"));
    QStringList names;
    QStringList spoken;
    const QStringList keyLines = m_keyColumn->text().split(QLatin1Char('\n'));
    for (const KeyCommand& row : keyTable()) {
        names.append(japanese ? row.japaneseName : row.name);
        // A screen reader reads a key and what it does together, line by line.
        spoken.append(keyLines[spoken.size()] + QStringLiteral(": ") + names.back());
    }
    keysLabel->setText(names.join(QLatin1Char('\n')));
    keysLabel->setAccessibleName(japanese ? QStringLiteral("キー") : QStringLiteral("Keys"));
    keysLabel->setAccessibleDescription(spoken.join(QStringLiteral("; ")));
    rulesLabel->setText(rulesText(japanese));
    rulesLabel->setAccessibleName(japanese ? QStringLiteral("ルール") : QStringLiteral("Rules"));
}

}  // namespace quillet
