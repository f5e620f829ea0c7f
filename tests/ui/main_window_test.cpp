#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "tests/ui/ui_fixture.h"
#include "ui/fonts.h"
#include "ui/line_widget.h"

namespace quillet::testing {
namespace {

QRect Geometry(int left, int top, int width, int height) {
    return {left, top, width, height};
}

QColor TextColour(const QWidget* widget) {
    return widget->palette().color(QPalette::WindowText);
}

using MainWindowLayout = FormTest;

TEST_F(MainWindowLayout, HasTheFixedClientSizeTitleAndGreyBackground) {
    EXPECT_EQ(mainWindow->size(), QSize(616, 497));
    EXPECT_EQ(mainWindow->minimumSize(), mainWindow->maximumSize()) << "the window must not be resizable";
    EXPECT_EQ(mainWindow->windowTitle(), QStringLiteral("ヌビロケーキ"));
    EXPECT_EQ(mainWindow->palette().color(QPalette::Window), QColor(128, 128, 128));
    EXPECT_TRUE(mainWindow->autoFillBackground());
    EXPECT_FALSE(mainWindow->windowIcon().isNull());
}

TEST_F(MainWindowLayout, TitleBarHasSystemMenuAndCloseBoxOnly) {
    const Qt::WindowFlags flags = mainWindow->windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::CustomizeWindowHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowTitleHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowSystemMenuHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(mainWindow->windowType(), Qt::Window) << "a top-level window shows in the task bar";
}

TEST_F(MainWindowLayout, CellsFormAGridOfOverlappingSquares) {
    EXPECT_EQ(mainWindow->cellImages[0]->geometry(), Geometry(0, 0, 100, 100));
    EXPECT_EQ(mainWindow->cellImages[3]->geometry(), Geometry(297, 0, 100, 100));
    EXPECT_EQ(mainWindow->cellImages[5]->geometry(), Geometry(99, 99, 100, 100));
    EXPECT_EQ(mainWindow->cellImages[16]->geometry(), Geometry(0, 396, 100, 100));
    EXPECT_EQ(mainWindow->cellImages[19]->geometry(), Geometry(297, 396, 100, 100));
    EXPECT_EQ(mainWindow->boardPanel->geometry(), Geometry(0, 0, 399, 497));
    EXPECT_EQ(mainWindow->boardPanel->palette().color(QPalette::Window), QColor(64, 64, 64));
    for (std::size_t i = 0; i < mainWindow->columnLines.size(); ++i) {
        EXPECT_EQ(mainWindow->columnLines[i]->geometry(), Geometry(99 * int(i + 1), 8, 1, 481));
    }
}

TEST_F(MainWindowLayout, RightColumnControlsSitAtTheirPlaces) {
    EXPECT_EQ(mainWindow->titleImage->geometry(), Geometry(400, 8, 219, 55));
    EXPECT_EQ(mainWindow->nextCaption->geometry(), Geometry(408, 64, 43, 16));
    EXPECT_EQ(mainWindow->nextPanel->geometry(), Geometry(408, 80, 201, 101));
    EXPECT_EQ(mainWindow->nextImages[0]->geometry(), Geometry(408, 80, 100, 100));
    EXPECT_EQ(mainWindow->nextImages[1]->geometry(), Geometry(507, 80, 100, 100));
    EXPECT_EQ(mainWindow->scoreCaption->geometry(), Geometry(408, 192, 57, 16));
    EXPECT_EQ(mainWindow->scoreDisplay->geometry(), Geometry(408, 208, 201, 33));
    EXPECT_EQ(mainWindow->cakeCaption->geometry(), Geometry(408, 248, 57, 16));
    EXPECT_EQ(mainWindow->cakeDisplay->geometry(), Geometry(408, 264, 201, 33));
    EXPECT_EQ(mainWindow->startButton->geometry(), Geometry(408, 312, 201, 25));
    EXPECT_EQ(mainWindow->highScoreButton->geometry(), Geometry(408, 344, 201, 25));
    EXPECT_EQ(mainWindow->aboutButton->geometry(), Geometry(408, 376, 201, 25));
    EXPECT_EQ(mainWindow->endButton->geometry(), Geometry(408, 408, 201, 25));
    EXPECT_EQ(mainWindow->leftButton->geometry(), Geometry(440, 448, 41, 41));
    EXPECT_EQ(mainWindow->turnButton->geometry(), Geometry(488, 448, 41, 41));
    EXPECT_EQ(mainWindow->rightButton->geometry(), Geometry(536, 448, 41, 41));
    for (int n = 1; n <= 8; ++n) {
        EXPECT_TRUE(mainWindow->slicePictures[n]->isHidden());
        EXPECT_EQ(mainWindow->slicePictures[n]->geometry(), Geometry(680, 0, 100, 100));
    }
}

TEST_F(MainWindowLayout, CaptionsUseTheirTextsColoursAndFonts) {
    EXPECT_EQ(mainWindow->nextCaption->text(), QStringLiteral("NEXT"));
    EXPECT_EQ(TextColour(mainWindow->nextCaption), QColor(0x17, 0x40, 0xFF));
    EXPECT_EQ(mainWindow->scoreCaption->text(), QStringLiteral("SCORE"));
    EXPECT_EQ(TextColour(mainWindow->scoreCaption), QColor(0x02, 0xFF, 0x61));
    EXPECT_EQ(mainWindow->cakeCaption->text(), QStringLiteral("CAKE"));
    EXPECT_EQ(TextColour(mainWindow->cakeCaption), QColor(0xFF, 0x0F, 0x7B));
    for (QLabel* counter : {mainWindow->scoreDisplay, mainWindow->cakeDisplay}) {
        EXPECT_EQ(TextColour(counter), QColor(255, 255, 0));
        EXPECT_EQ(counter->palette().color(QPalette::Window), QColor(0, 0, 0));
        EXPECT_TRUE(counter->autoFillBackground());
        EXPECT_TRUE(counter->alignment().testFlag(Qt::AlignRight));
        EXPECT_EQ(counter->font().pointSize(), 18);
        EXPECT_EQ(counter->font().weight(), QFont::Bold);
    }
    for (QWidget* captioned :
         std::initializer_list<QWidget*>{mainWindow->nextCaption, mainWindow->scoreCaption, mainWindow->cakeCaption, mainWindow->startButton,
                                         mainWindow->highScoreButton, mainWindow->aboutButton, mainWindow->endButton}) {
        EXPECT_EQ(captioned->font().family(), CaptionFontFamily);
        EXPECT_EQ(captioned->font().pointSize(), 12);
        EXPECT_EQ(captioned->font().weight(), QFont::Bold);
    }
    EXPECT_FALSE(mainWindow->nextCaption->autoFillBackground()) << "captions let the grey show through";
    EXPECT_EQ(mainWindow->startButton->text(), QStringLiteral("Start"));
    EXPECT_EQ(mainWindow->highScoreButton->text(), QStringLiteral("HighScore"));
    EXPECT_EQ(mainWindow->aboutButton->text(), QStringLiteral("About"));
    EXPECT_EQ(mainWindow->endButton->text(), QStringLiteral("End"));
}

TEST_F(MainWindowLayout, CaptionFontResolvesToAJapaneseFont) {
    // Without the substitution fontconfig picks a Latin font and the title
    // shows as boxes.
    const QStringList substitutes = QFont::substitutes(CaptionFontFamily);
    ASSERT_FALSE(substitutes.isEmpty());
    EXPECT_EQ(substitutes.front().toLower(), QStringLiteral("ipapgothic"));
    const QFontInfo resolved(mainWindow->startButton->font());
    EXPECT_EQ(resolved.family(), QStringLiteral("IPAPGothic"));
}

TEST_F(MainWindowLayout, MoveButtonsShowIconsWithNamesAndOnlyTurnHasATooltip) {
    EXPECT_TRUE(mainWindow->leftButton->text().isEmpty());
    EXPECT_FALSE(mainWindow->leftButton->icon().isNull());
    EXPECT_FALSE(mainWindow->turnButton->icon().isNull());
    EXPECT_FALSE(mainWindow->rightButton->icon().isNull());
    EXPECT_EQ(mainWindow->leftButton->accessibleName(), QStringLiteral("Left"));
    EXPECT_EQ(mainWindow->turnButton->accessibleName(), QStringLiteral("Turn"));
    EXPECT_EQ(mainWindow->rightButton->accessibleName(), QStringLiteral("Right"));
    EXPECT_EQ(mainWindow->turnButton->toolTip(), QStringLiteral("左右反転"));
    EXPECT_TRUE(mainWindow->leftButton->toolTip().isEmpty());
    EXPECT_TRUE(mainWindow->rightButton->toolTip().isEmpty());
}

TEST_F(MainWindowLayout, ButtonsLieInFrontAndHigherCellsInFrontOfLowerOnes) {
    const QObjectList& children = mainWindow->children();
    const auto order = [&](QObject* widget) { return children.indexOf(widget); };
    EXPECT_LT(order(mainWindow->boardPanel), order(mainWindow->cellImages[0]));
    for (int i = 0; i + 1 < 20; ++i)
        EXPECT_LT(order(mainWindow->cellImages[i]), order(mainWindow->cellImages[i + 1]));
    EXPECT_LT(order(mainWindow->cellImages[19]), order(mainWindow->columnLines[0]));
    EXPECT_LT(order(mainWindow->nextPanel), order(mainWindow->nextImages[0]));
    EXPECT_LT(order(mainWindow->nextImages[0]), order(mainWindow->nextImages[1]));
    for (QPushButton* button : {mainWindow->startButton, mainWindow->highScoreButton, mainWindow->aboutButton, mainWindow->endButton,
                                mainWindow->leftButton, mainWindow->turnButton, mainWindow->rightButton}) {
        EXPECT_GT(order(button), order(mainWindow->nextImages[1]));
        EXPECT_GT(order(button), order(mainWindow->columnLines[2]));
        EXPECT_FALSE(button->isDefault());
        EXPECT_FALSE(button->autoDefault());
    }
}

TEST_F(MainWindowLayout, TabOrderRunsFromTheMoveButtonsToEnd) {
    const std::vector<QWidget*> expected{mainWindow->leftButton,  mainWindow->turnButton,  mainWindow->rightButton,
                                         mainWindow->startButton, mainWindow->highScoreButton, mainWindow->aboutButton,
                                         mainWindow->endButton};
    // The next widget that Tab can reach, whether or not it is enabled now.
    const auto nextTabStop = [](QWidget* widget) {
        do {
            widget = widget->nextInFocusChain();
        } while (!(widget->focusPolicy() & Qt::TabFocus));
        return widget;
    };
    for (std::size_t i = 0; i + 1 < expected.size(); ++i) {
        EXPECT_EQ(nextTabStop(expected[i]), expected[i + 1]) << i;
    }
    EXPECT_EQ(mainWindow->cellImages[0]->focusPolicy(), Qt::NoFocus);
}

using StartUp = FormTest;

TEST_F(StartUp, SeedsTheGeneratorOnceAndShowsAnIdleWindow) {
    EXPECT_EQ(random.seed_calls, 1);
    EXPECT_TRUE(mainWindow->scoreDisplay->text().isEmpty()) << "blank, not 0, before the first game";
    EXPECT_TRUE(mainWindow->cakeDisplay->text().isEmpty());
    for (QLabel* cell : mainWindow->cellImages) EXPECT_TRUE(cell->pixmap().isNull());
    for (QLabel* next : mainWindow->nextImages) EXPECT_TRUE(next->pixmap().isNull());
    EXPECT_TRUE(mainWindow->startButton->isEnabled());
    EXPECT_TRUE(mainWindow->highScoreButton->isEnabled());
    EXPECT_TRUE(mainWindow->aboutButton->isEnabled());
    EXPECT_TRUE(mainWindow->endButton->isEnabled());
    EXPECT_FALSE(mainWindow->leftButton->isEnabled());
    EXPECT_FALSE(mainWindow->turnButton->isEnabled());
    EXPECT_FALSE(mainWindow->rightButton->isEnabled());
    EXPECT_FALSE(mainWindow->fallTimer->isActive());
    EXPECT_EQ(mainWindow->fallTimer->interval(), 100);
    EXPECT_EQ(mainWindow->fallTimer->timerType(), Qt::PreciseTimer);
    EXPECT_TRUE(cues.calls.empty()) << "start-up is silent";
}

TEST_F(StartUp, FocusIsOnStartWhenTheWindowFirstShows) {
    mainWindow->show();
    QApplication::setActiveWindow(mainWindow.get());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(mainWindow.get()));
    EXPECT_EQ(QApplication::focusWidget(), mainWindow->startButton);
    // The space bar on the focused Start button starts a game.
    QTest::keyClick(mainWindow->startButton, Qt::Key_Space);
    EXPECT_FALSE(mainWindow->startButton->isEnabled());
    EXPECT_TRUE(mainWindow->fallTimer->isActive());
}

class StartUpWithStoredTable : public FormTest {
protected:
    void PrepareStore() override {
        HighScoreTable stored;
        stored.Names = {QStringLiteral("あい"), QStringLiteral("B"), QString(), QStringLiteral("D"),
                        QStringLiteral("E")};
        stored.Scores = {900, 700, 500, 300, 100};
        ASSERT_TRUE(store->save(stored));
    }
};

TEST_F(StartUpWithStoredTable, LoadsTheTableWhenTheWindowLoads) {
    EXPECT_EQ(mainWindow->table().Names[0], QStringLiteral("あい"));
    EXPECT_EQ(mainWindow->table().Names[2], QString());
    EXPECT_EQ(mainWindow->table().Scores[4], 100);
}

using Pictures = FormTest;

TEST_F(Pictures, SetCellSharesTheSlicePictureInsteadOfCopyingIt) {
    for (int n = 1; n <= 8; ++n) {
        const QPixmap picture = mainWindow->slicePictures[n]->pixmap();
        ASSERT_FALSE(picture.isNull()) << n;
        EXPECT_EQ(picture.size() / picture.devicePixelRatio(), QSize(100, 100));
        mainWindow->game().SetCell(n, n);
        EXPECT_EQ(mainWindow->game().Board[n], n);
        EXPECT_EQ(mainWindow->cellImages[n]->pixmap().cacheKey(), picture.cacheKey()) << n;
    }
}

TEST_F(Pictures, CountZeroRemovesThePicture) {
    mainWindow->game().SetCell(7, 3);
    mainWindow->game().SetCell(7, 0);
    EXPECT_EQ(mainWindow->game().Board[7], 0);
    EXPECT_TRUE(mainWindow->cellImages[7]->pixmap().isNull());
}

TEST_F(Pictures, EverySlicePictureIsDistinct) {
    for (int a = 1; a <= 8; ++a) {
        for (int b = a + 1; b <= 8; ++b) {
            EXPECT_NE(mainWindow->slicePictures[a]->pixmap().toImage(), mainWindow->slicePictures[b]->pixmap().toImage())
                << a << " and " << b;
        }
    }
}

TEST_F(Pictures, TitlePictureIsShown) {
    const QPixmap title = mainWindow->titleImage->pixmap();
    ASSERT_FALSE(title.isNull());
    EXPECT_EQ(title.size() / title.devicePixelRatio(), QSize(219, 55));
}

using StartButton = FormTest;

TEST_F(StartButton, ClickStartsAGameWithoutTouchingTheLabels) {
    random.Deal({0.5, 0.0, 0.0, 0.99});  // next pair: 1 (narrow), then 7 (wide)
    QTest::mouseClick(mainWindow->startButton, Qt::LeftButton);
    EXPECT_FALSE(mainWindow->startButton->isEnabled());
    EXPECT_TRUE(mainWindow->leftButton->isEnabled());
    EXPECT_TRUE(mainWindow->turnButton->isEnabled());
    EXPECT_TRUE(mainWindow->rightButton->isEnabled());
    EXPECT_TRUE(mainWindow->fallTimer->isActive());
    EXPECT_EQ(mainWindow->fallTimer->interval(), 100) << "the first tick comes after the old interval";
    EXPECT_EQ(mainWindow->game().NextPair[0], 1);
    EXPECT_EQ(mainWindow->game().NextPair[1], 7);
    EXPECT_EQ(mainWindow->nextImages[0]->pixmap().cacheKey(), mainWindow->slicePictures[1]->pixmap().cacheKey());
    EXPECT_EQ(mainWindow->nextImages[1]->pixmap().cacheKey(), mainWindow->slicePictures[7]->pixmap().cacheKey());
    EXPECT_TRUE(mainWindow->scoreDisplay->text().isEmpty());
    EXPECT_EQ(cues.calls, std::vector<std::string>{"async start"});

    mainWindow->tick();
    EXPECT_EQ(mainWindow->scoreDisplay->text(), QStringLiteral("0"));
    EXPECT_EQ(mainWindow->cakeDisplay->text(), QStringLiteral("0"));
    EXPECT_EQ(mainWindow->fallTimer->interval(), 3000);
}

}  // namespace
}  // namespace quillet::testing
