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
    EXPECT_EQ(form->size(), QSize(616, 497));
    EXPECT_EQ(form->minimumSize(), form->maximumSize()) << "the window must not be resizable";
    EXPECT_EQ(form->windowTitle(), QStringLiteral("ヌビロケーキ"));
    EXPECT_EQ(form->palette().color(QPalette::Window), QColor(128, 128, 128));
    EXPECT_TRUE(form->autoFillBackground());
    EXPECT_FALSE(form->windowIcon().isNull());
}

TEST_F(MainWindowLayout, TitleBarHasSystemMenuAndCloseBoxOnly) {
    const Qt::WindowFlags flags = form->windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::CustomizeWindowHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowTitleHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowSystemMenuHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(form->windowType(), Qt::Window) << "a top-level window shows in the task bar";
}

TEST_F(MainWindowLayout, CellsFormAGridOfOverlappingSquares) {
    EXPECT_EQ(form->img_Cell[0]->geometry(), Geometry(0, 0, 100, 100));
    EXPECT_EQ(form->img_Cell[3]->geometry(), Geometry(297, 0, 100, 100));
    EXPECT_EQ(form->img_Cell[5]->geometry(), Geometry(99, 99, 100, 100));
    EXPECT_EQ(form->img_Cell[16]->geometry(), Geometry(0, 396, 100, 100));
    EXPECT_EQ(form->img_Cell[19]->geometry(), Geometry(297, 396, 100, 100));
    EXPECT_EQ(form->Label1->geometry(), Geometry(0, 0, 399, 497));
    EXPECT_EQ(form->Label1->palette().color(QPalette::Window), QColor(64, 64, 64));
    for (std::size_t i = 0; i < form->Lines.size(); ++i) {
        EXPECT_EQ(form->Lines[i]->geometry(), Geometry(99 * int(i + 1), 8, 1, 481));
    }
}

TEST_F(MainWindowLayout, RightColumnControlsSitAtTheirPlaces) {
    EXPECT_EQ(form->Image1->geometry(), Geometry(400, 8, 219, 55));
    EXPECT_EQ(form->Label3->geometry(), Geometry(408, 64, 43, 16));
    EXPECT_EQ(form->Label2->geometry(), Geometry(408, 80, 201, 101));
    EXPECT_EQ(form->img_Next[0]->geometry(), Geometry(408, 80, 100, 100));
    EXPECT_EQ(form->img_Next[1]->geometry(), Geometry(507, 80, 100, 100));
    EXPECT_EQ(form->Label4->geometry(), Geometry(408, 192, 57, 16));
    EXPECT_EQ(form->lbl_Score->geometry(), Geometry(408, 208, 201, 33));
    EXPECT_EQ(form->Label5->geometry(), Geometry(408, 248, 57, 16));
    EXPECT_EQ(form->lbl_Cake->geometry(), Geometry(408, 264, 201, 33));
    EXPECT_EQ(form->cmd_Start->geometry(), Geometry(408, 312, 201, 25));
    EXPECT_EQ(form->cmd_Score->geometry(), Geometry(408, 344, 201, 25));
    EXPECT_EQ(form->cmd_About->geometry(), Geometry(408, 376, 201, 25));
    EXPECT_EQ(form->cmd_End->geometry(), Geometry(408, 408, 201, 25));
    EXPECT_EQ(form->cmd_Left->geometry(), Geometry(440, 448, 41, 41));
    EXPECT_EQ(form->cmd_Turn->geometry(), Geometry(488, 448, 41, 41));
    EXPECT_EQ(form->cmd_Right->geometry(), Geometry(536, 448, 41, 41));
    for (int n = 1; n <= 8; ++n) {
        EXPECT_TRUE(form->img_Cake[n]->isHidden());
        EXPECT_EQ(form->img_Cake[n]->geometry(), Geometry(680, 0, 100, 100));
    }
}

TEST_F(MainWindowLayout, CaptionsUseTheirTextsColoursAndFonts) {
    EXPECT_EQ(form->Label3->text(), QStringLiteral("NEXT"));
    EXPECT_EQ(TextColour(form->Label3), QColor(0x17, 0x40, 0xFF));
    EXPECT_EQ(form->Label4->text(), QStringLiteral("SCORE"));
    EXPECT_EQ(TextColour(form->Label4), QColor(0x02, 0xFF, 0x61));
    EXPECT_EQ(form->Label5->text(), QStringLiteral("CAKE"));
    EXPECT_EQ(TextColour(form->Label5), QColor(0xFF, 0x0F, 0x7B));
    for (QLabel* counter : {form->lbl_Score, form->lbl_Cake}) {
        EXPECT_EQ(TextColour(counter), QColor(255, 255, 0));
        EXPECT_EQ(counter->palette().color(QPalette::Window), QColor(0, 0, 0));
        EXPECT_TRUE(counter->autoFillBackground());
        EXPECT_TRUE(counter->alignment().testFlag(Qt::AlignRight));
        EXPECT_EQ(counter->font().pointSize(), 18);
        EXPECT_EQ(counter->font().weight(), QFont::Bold);
    }
    for (QWidget* captioned :
         std::initializer_list<QWidget*>{form->Label3, form->Label4, form->Label5, form->cmd_Start,
                                         form->cmd_Score, form->cmd_About, form->cmd_End}) {
        EXPECT_EQ(captioned->font().family(), CaptionFontFamily);
        EXPECT_EQ(captioned->font().pointSize(), 12);
        EXPECT_EQ(captioned->font().weight(), QFont::Bold);
    }
    EXPECT_FALSE(form->Label3->autoFillBackground()) << "captions let the grey show through";
    EXPECT_EQ(form->cmd_Start->text(), QStringLiteral("Start"));
    EXPECT_EQ(form->cmd_Score->text(), QStringLiteral("HighScore"));
    EXPECT_EQ(form->cmd_About->text(), QStringLiteral("About"));
    EXPECT_EQ(form->cmd_End->text(), QStringLiteral("End"));
}

TEST_F(MainWindowLayout, CaptionFontResolvesToAJapaneseFont) {
    // Without the substitution fontconfig picks a Latin font and the title
    // shows as boxes.
    const QStringList substitutes = QFont::substitutes(CaptionFontFamily);
    ASSERT_FALSE(substitutes.isEmpty());
    EXPECT_EQ(substitutes.front().toLower(), QStringLiteral("ipapgothic"));
    const QFontInfo resolved(form->cmd_Start->font());
    EXPECT_EQ(resolved.family(), QStringLiteral("IPAPGothic"));
}

TEST_F(MainWindowLayout, MoveButtonsShowIconsWithNamesAndOnlyTurnHasATooltip) {
    EXPECT_TRUE(form->cmd_Left->text().isEmpty());
    EXPECT_FALSE(form->cmd_Left->icon().isNull());
    EXPECT_FALSE(form->cmd_Turn->icon().isNull());
    EXPECT_FALSE(form->cmd_Right->icon().isNull());
    EXPECT_EQ(form->cmd_Left->accessibleName(), QStringLiteral("Left"));
    EXPECT_EQ(form->cmd_Turn->accessibleName(), QStringLiteral("Turn"));
    EXPECT_EQ(form->cmd_Right->accessibleName(), QStringLiteral("Right"));
    EXPECT_EQ(form->cmd_Turn->toolTip(), QStringLiteral("左右反転"));
    EXPECT_TRUE(form->cmd_Left->toolTip().isEmpty());
    EXPECT_TRUE(form->cmd_Right->toolTip().isEmpty());
}

TEST_F(MainWindowLayout, ButtonsLieInFrontAndHigherCellsInFrontOfLowerOnes) {
    const QObjectList& children = form->children();
    const auto order = [&](QObject* widget) { return children.indexOf(widget); };
    EXPECT_LT(order(form->Label1), order(form->img_Cell[0]));
    for (int i = 0; i + 1 < 20; ++i)
        EXPECT_LT(order(form->img_Cell[i]), order(form->img_Cell[i + 1]));
    EXPECT_LT(order(form->img_Cell[19]), order(form->Lines[0]));
    EXPECT_LT(order(form->Label2), order(form->img_Next[0]));
    EXPECT_LT(order(form->img_Next[0]), order(form->img_Next[1]));
    for (QPushButton* button : {form->cmd_Start, form->cmd_Score, form->cmd_About, form->cmd_End,
                                form->cmd_Left, form->cmd_Turn, form->cmd_Right}) {
        EXPECT_GT(order(button), order(form->img_Next[1]));
        EXPECT_GT(order(button), order(form->Lines[2]));
        EXPECT_FALSE(button->isDefault());
        EXPECT_FALSE(button->autoDefault());
    }
}

TEST_F(MainWindowLayout, TabOrderRunsFromTheMoveButtonsToEnd) {
    const std::vector<QWidget*> expected{form->cmd_Left,  form->cmd_Turn,  form->cmd_Right,
                                         form->cmd_Start, form->cmd_Score, form->cmd_About,
                                         form->cmd_End};
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
    EXPECT_EQ(form->img_Cell[0]->focusPolicy(), Qt::NoFocus);
}

using StartUp = FormTest;

TEST_F(StartUp, SeedsTheGeneratorOnceAndShowsAnIdleWindow) {
    EXPECT_EQ(random.seed_calls, 1);
    EXPECT_TRUE(form->lbl_Score->text().isEmpty()) << "blank, not 0, before the first game";
    EXPECT_TRUE(form->lbl_Cake->text().isEmpty());
    for (QLabel* cell : form->img_Cell) EXPECT_TRUE(cell->pixmap().isNull());
    for (QLabel* next : form->img_Next) EXPECT_TRUE(next->pixmap().isNull());
    EXPECT_TRUE(form->cmd_Start->isEnabled());
    EXPECT_TRUE(form->cmd_Score->isEnabled());
    EXPECT_TRUE(form->cmd_About->isEnabled());
    EXPECT_TRUE(form->cmd_End->isEnabled());
    EXPECT_FALSE(form->cmd_Left->isEnabled());
    EXPECT_FALSE(form->cmd_Turn->isEnabled());
    EXPECT_FALSE(form->cmd_Right->isEnabled());
    EXPECT_FALSE(form->timer_Fall->isActive());
    EXPECT_EQ(form->timer_Fall->interval(), 100);
    EXPECT_EQ(form->timer_Fall->timerType(), Qt::PreciseTimer);
    EXPECT_TRUE(cues.calls.empty()) << "start-up is silent";
}

TEST_F(StartUp, FocusIsOnStartWhenTheWindowFirstShows) {
    form->show();
    QApplication::setActiveWindow(form.get());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    EXPECT_EQ(QApplication::focusWidget(), form->cmd_Start);
    // The space bar on the focused Start button starts a game.
    QTest::keyClick(form->cmd_Start, Qt::Key_Space);
    EXPECT_FALSE(form->cmd_Start->isEnabled());
    EXPECT_TRUE(form->timer_Fall->isActive());
}

class StartUpWithStoredTable : public FormTest {
protected:
    void PrepareStore() override {
        HighScoreTable stored;
        stored.Names = {QStringLiteral("あい"), QStringLiteral("B"), QString(), QStringLiteral("D"),
                        QStringLiteral("E")};
        stored.Scores = {900, 700, 500, 300, 100};
        ASSERT_TRUE(store->SaveHighScores(stored));
    }
};

TEST_F(StartUpWithStoredTable, LoadsTheTableWhenTheWindowLoads) {
    EXPECT_EQ(form->table().Names[0], QStringLiteral("あい"));
    EXPECT_EQ(form->table().Names[2], QString());
    EXPECT_EQ(form->table().Scores[4], 100);
}

using Pictures = FormTest;

TEST_F(Pictures, SetCellSharesTheSlicePictureInsteadOfCopyingIt) {
    for (int n = 1; n <= 8; ++n) {
        const QPixmap picture = form->img_Cake[n]->pixmap();
        ASSERT_FALSE(picture.isNull()) << n;
        EXPECT_EQ(picture.size() / picture.devicePixelRatio(), QSize(100, 100));
        form->game().SetCell(n, n);
        EXPECT_EQ(form->game().Board[n], n);
        EXPECT_EQ(form->img_Cell[n]->pixmap().cacheKey(), picture.cacheKey()) << n;
    }
}

TEST_F(Pictures, CountZeroRemovesThePicture) {
    form->game().SetCell(7, 3);
    form->game().SetCell(7, 0);
    EXPECT_EQ(form->game().Board[7], 0);
    EXPECT_TRUE(form->img_Cell[7]->pixmap().isNull());
}

TEST_F(Pictures, EverySlicePictureIsDistinct) {
    for (int a = 1; a <= 8; ++a) {
        for (int b = a + 1; b <= 8; ++b) {
            EXPECT_NE(form->img_Cake[a]->pixmap().toImage(), form->img_Cake[b]->pixmap().toImage())
                << a << " and " << b;
        }
    }
}

TEST_F(Pictures, TitlePictureIsShown) {
    const QPixmap title = form->Image1->pixmap();
    ASSERT_FALSE(title.isNull());
    EXPECT_EQ(title.size() / title.devicePixelRatio(), QSize(219, 55));
}

using StartButton = FormTest;

TEST_F(StartButton, ClickStartsAGameWithoutTouchingTheLabels) {
    random.Deal({0.5, 0.0, 0.0, 0.99});  // next pair: 1 (narrow), then 7 (wide)
    QTest::mouseClick(form->cmd_Start, Qt::LeftButton);
    EXPECT_FALSE(form->cmd_Start->isEnabled());
    EXPECT_TRUE(form->cmd_Left->isEnabled());
    EXPECT_TRUE(form->cmd_Turn->isEnabled());
    EXPECT_TRUE(form->cmd_Right->isEnabled());
    EXPECT_TRUE(form->timer_Fall->isActive());
    EXPECT_EQ(form->timer_Fall->interval(), 100) << "the first tick comes after the old interval";
    EXPECT_EQ(form->game().NextPair[0], 1);
    EXPECT_EQ(form->game().NextPair[1], 7);
    EXPECT_EQ(form->img_Next[0]->pixmap().cacheKey(), form->img_Cake[1]->pixmap().cacheKey());
    EXPECT_EQ(form->img_Next[1]->pixmap().cacheKey(), form->img_Cake[7]->pixmap().cacheKey());
    EXPECT_TRUE(form->lbl_Score->text().isEmpty());
    EXPECT_EQ(cues.calls, std::vector<std::string>{"async start"});

    form->timer_Fall_Timer();
    EXPECT_EQ(form->lbl_Score->text(), QStringLiteral("0"));
    EXPECT_EQ(form->lbl_Cake->text(), QStringLiteral("0"));
    EXPECT_EQ(form->timer_Fall->interval(), 3000);
}

}  // namespace
}  // namespace quillet::testing
