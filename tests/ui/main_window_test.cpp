#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOption>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <fstream>
#include <memory>
#include <string>
#include <set>

#include "assets/in_place_picture.h"
#include "scores/sound_setting.h"
#include "scores/store_file.h"
#include "tests/ui/ui_fixture.h"
#include "ui/fonts.h"
#include "ui/line_widget.h"

namespace quillet::testing {
namespace {

QRect geometry(int left, int top, int width, int height) {
    return {left, top, width, height};
}

QColor textColour(const QWidget* widget) {
    return widget->palette().color(QPalette::WindowText);
}

using MainWindowLayout = FormTest;

TEST_F(MainWindowLayout, HasTheFixedClientSizeTitleAndGreyBackground) {
    EXPECT_EQ(m_mainWindow->size(), QSize(616, 497));
    EXPECT_EQ(m_mainWindow->minimumSize(), m_mainWindow->maximumSize())
        << "the window must not be resizable";
    EXPECT_EQ(m_mainWindow->windowTitle(), QStringLiteral("ヌビロケーキ"));
    EXPECT_EQ(m_mainWindow->palette().color(QPalette::Window), QColor(128, 128, 128));
    EXPECT_TRUE(m_mainWindow->autoFillBackground());
    EXPECT_FALSE(m_mainWindow->windowIcon().isNull());
}

TEST_F(MainWindowLayout, TitleBarHasSystemMenuAndCloseBoxOnly) {
    const Qt::WindowFlags flags = m_mainWindow->windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::CustomizeWindowHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowTitleHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowSystemMenuHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(m_mainWindow->windowType(), Qt::Window) << "a top-level window shows in the task bar";
}

TEST_F(MainWindowLayout, CellsFormAGridOfOverlappingSquares) {
    EXPECT_EQ(m_mainWindow->cellImages[0]->geometry(), geometry(0, 0, 100, 100));
    EXPECT_EQ(m_mainWindow->cellImages[3]->geometry(), geometry(297, 0, 100, 100));
    EXPECT_EQ(m_mainWindow->cellImages[5]->geometry(), geometry(99, 99, 100, 100));
    EXPECT_EQ(m_mainWindow->cellImages[16]->geometry(), geometry(0, 396, 100, 100));
    EXPECT_EQ(m_mainWindow->cellImages[19]->geometry(), geometry(297, 396, 100, 100));
    EXPECT_EQ(m_mainWindow->boardPanel->geometry(), geometry(0, 0, 399, 497));
    EXPECT_EQ(m_mainWindow->boardPanel->palette().color(QPalette::Window), QColor(64, 64, 64));
    for (std::size_t i = 0; i < m_mainWindow->columnLines.size(); ++i) {
        EXPECT_EQ(m_mainWindow->columnLines[i]->geometry(), geometry(99 * int(i + 1), 8, 1, 481));
    }
}

TEST_F(MainWindowLayout, RightColumnControlsSitAtTheirPlaces) {
    EXPECT_EQ(m_mainWindow->titleImage->geometry(), geometry(400, 8, 219, 55));
    EXPECT_EQ(m_mainWindow->nextCaption->geometry(), geometry(408, 64, 43, 16));
    EXPECT_EQ(m_mainWindow->nextPanel->geometry(), geometry(408, 80, 201, 101));
    EXPECT_EQ(m_mainWindow->nextImages[0]->geometry(), geometry(408, 80, 100, 100));
    EXPECT_EQ(m_mainWindow->nextImages[1]->geometry(), geometry(507, 80, 100, 100));
    EXPECT_EQ(m_mainWindow->scoreCaption->geometry(), geometry(408, 192, 57, 16));
    EXPECT_EQ(m_mainWindow->scoreDisplay->geometry(), geometry(408, 208, 201, 33));
    EXPECT_EQ(m_mainWindow->cakeCaption->geometry(), geometry(408, 248, 57, 16));
    EXPECT_EQ(m_mainWindow->cakeDisplay->geometry(), geometry(408, 264, 201, 33));
    EXPECT_EQ(m_mainWindow->startButton->geometry(), geometry(408, 312, 201, 25));
    EXPECT_EQ(m_mainWindow->highScoreButton->geometry(), geometry(408, 344, 201, 25));
    EXPECT_EQ(m_mainWindow->aboutButton->geometry(), geometry(408, 376, 201, 25));
    EXPECT_EQ(m_mainWindow->endButton->geometry(), geometry(408, 408, 201, 25));
    EXPECT_EQ(m_mainWindow->leftButton->geometry(), geometry(440, 448, 41, 41));
    EXPECT_EQ(m_mainWindow->turnButton->geometry(), geometry(488, 448, 41, 41));
    EXPECT_EQ(m_mainWindow->rightButton->geometry(), geometry(536, 448, 41, 41));
}

TEST_F(MainWindowLayout, CaptionsUseTheirTextsColoursAndFonts) {
    EXPECT_EQ(m_mainWindow->nextCaption->text(), QStringLiteral("NEXT"));
    EXPECT_EQ(textColour(m_mainWindow->nextCaption), QColor(0x17, 0x40, 0xFF));
    EXPECT_EQ(m_mainWindow->scoreCaption->text(), QStringLiteral("SCORE"));
    EXPECT_EQ(textColour(m_mainWindow->scoreCaption), QColor(0x02, 0xFF, 0x61));
    EXPECT_EQ(m_mainWindow->cakeCaption->text(), QStringLiteral("CAKE"));
    EXPECT_EQ(textColour(m_mainWindow->cakeCaption), QColor(0xFF, 0x0F, 0x7B));
    for (QLabel* counter : {m_mainWindow->scoreDisplay, m_mainWindow->cakeDisplay}) {
        EXPECT_EQ(textColour(counter), QColor(255, 255, 0));
        EXPECT_EQ(counter->palette().color(QPalette::Window), QColor(0, 0, 0));
        EXPECT_TRUE(counter->autoFillBackground());
        EXPECT_TRUE(counter->alignment().testFlag(Qt::AlignRight));
        EXPECT_EQ(counter->font().pointSize(), 18);
        EXPECT_EQ(counter->font().weight(), QFont::Bold);
    }
    for (QWidget* captioned : std::initializer_list<QWidget*>{
             m_mainWindow->nextCaption, m_mainWindow->scoreCaption, m_mainWindow->cakeCaption,
             m_mainWindow->startButton, m_mainWindow->highScoreButton, m_mainWindow->aboutButton,
             m_mainWindow->endButton}) {
        EXPECT_EQ(captioned->font().family(), CaptionFontFamily);
        EXPECT_EQ(captioned->font().pointSize(), 12);
        EXPECT_EQ(captioned->font().weight(), QFont::Bold);
    }
    EXPECT_FALSE(m_mainWindow->nextCaption->autoFillBackground())
        << "captions let the grey show through";
    EXPECT_EQ(m_mainWindow->startButton->text(), QStringLiteral("Start"));
    EXPECT_EQ(m_mainWindow->highScoreButton->text(), QStringLiteral("HighScore"));
    EXPECT_EQ(m_mainWindow->aboutButton->text(), QStringLiteral("About"));
    EXPECT_EQ(m_mainWindow->endButton->text(), QStringLiteral("End"));
}

TEST_F(MainWindowLayout, CaptionFontResolvesToAJapaneseFont) {
    // Without the substitution fontconfig picks a Latin font and the title
    // shows as boxes.
    const QStringList substitutes = QFont::substitutes(CaptionFontFamily);
    ASSERT_FALSE(substitutes.isEmpty());
    EXPECT_EQ(substitutes.front().toLower(), QStringLiteral("ipapgothic"));
    const QFontInfo resolved(m_mainWindow->startButton->font());
    EXPECT_EQ(resolved.family(), QStringLiteral("IPAPGothic"));
}

TEST_F(MainWindowLayout, MoveButtonsShowIconsWithNamesAndOnlyTurnHasATooltip) {
    EXPECT_TRUE(m_mainWindow->leftButton->text().isEmpty());
    EXPECT_FALSE(m_mainWindow->leftButton->icon().isNull());
    EXPECT_FALSE(m_mainWindow->turnButton->icon().isNull());
    EXPECT_FALSE(m_mainWindow->rightButton->icon().isNull());
    EXPECT_EQ(m_mainWindow->leftButton->accessibleName(), QStringLiteral("Left"));
    EXPECT_EQ(m_mainWindow->turnButton->accessibleName(), QStringLiteral("Turn"));
    EXPECT_EQ(m_mainWindow->rightButton->accessibleName(), QStringLiteral("Right"));
    EXPECT_EQ(m_mainWindow->turnButton->toolTip(), QStringLiteral("左右反転"));
    EXPECT_TRUE(m_mainWindow->leftButton->toolTip().isEmpty());
    EXPECT_TRUE(m_mainWindow->rightButton->toolTip().isEmpty());
}

TEST_F(MainWindowLayout, ButtonsLieInFrontAndHigherCellsInFrontOfLowerOnes) {
    const QObjectList& children = m_mainWindow->children();
    const auto order = [&](QObject* widget) { return children.indexOf(widget); };
    EXPECT_LT(order(m_mainWindow->boardPanel), order(m_mainWindow->cellImages[0]));
    for (int i = 0; i + 1 < 20; ++i)
        EXPECT_LT(order(m_mainWindow->cellImages[i]), order(m_mainWindow->cellImages[i + 1]));
    EXPECT_LT(order(m_mainWindow->cellImages[19]), order(m_mainWindow->columnLines[0]));
    EXPECT_LT(order(m_mainWindow->nextPanel), order(m_mainWindow->nextImages[0]));
    EXPECT_LT(order(m_mainWindow->nextImages[0]), order(m_mainWindow->nextImages[1]));
    for (QPushButton* button :
         {m_mainWindow->startButton, m_mainWindow->highScoreButton, m_mainWindow->aboutButton,
          m_mainWindow->endButton, m_mainWindow->leftButton, m_mainWindow->turnButton,
          m_mainWindow->rightButton}) {
        EXPECT_GT(order(button), order(m_mainWindow->nextImages[1]));
        EXPECT_GT(order(button), order(m_mainWindow->columnLines[2]));
        EXPECT_FALSE(button->isDefault());
        EXPECT_FALSE(button->autoDefault());
    }
}

TEST_F(MainWindowLayout, TabOrderRunsFromTheMoveButtonsToEnd) {
    const std::vector<QWidget*> expected{m_mainWindow->leftButton,      m_mainWindow->turnButton,
                                         m_mainWindow->rightButton,     m_mainWindow->startButton,
                                         m_mainWindow->highScoreButton, m_mainWindow->aboutButton,
                                         m_mainWindow->endButton};
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
    EXPECT_EQ(m_mainWindow->cellImages[0]->focusPolicy(), Qt::NoFocus);
}

using StartUp = FormTest;

TEST_F(StartUp, SeedsTheGeneratorOnceAndShowsAnIdleWindow) {
    EXPECT_EQ(m_random.seedCalls, 1);
    EXPECT_TRUE(m_mainWindow->scoreDisplay->text().isEmpty())
        << "blank, not 0, before the first game";
    EXPECT_TRUE(m_mainWindow->cakeDisplay->text().isEmpty());
    for (QLabel* cell : m_mainWindow->cellImages) EXPECT_TRUE(cell->pixmap().isNull());
    for (QLabel* next : m_mainWindow->nextImages) EXPECT_TRUE(next->pixmap().isNull());
    EXPECT_TRUE(m_mainWindow->startButton->isEnabled());
    EXPECT_TRUE(m_mainWindow->highScoreButton->isEnabled());
    EXPECT_TRUE(m_mainWindow->aboutButton->isEnabled());
    EXPECT_TRUE(m_mainWindow->endButton->isEnabled());
    EXPECT_FALSE(m_mainWindow->leftButton->isEnabled());
    EXPECT_FALSE(m_mainWindow->turnButton->isEnabled());
    EXPECT_FALSE(m_mainWindow->rightButton->isEnabled());
    EXPECT_FALSE(m_mainWindow->fallTimer->isActive());
    EXPECT_EQ(m_mainWindow->fallTimer->interval(), 100);
    EXPECT_EQ(m_mainWindow->fallTimer->timerType(), Qt::PreciseTimer);
    EXPECT_TRUE(m_cues.calls.empty()) << "start-up is silent";
}

TEST_F(StartUp, FocusIsOnStartWhenTheWindowFirstShows) {
    m_mainWindow->show();
    m_mainWindow->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_mainWindow.get()));
    EXPECT_EQ(QApplication::focusWidget(), m_mainWindow->startButton);
    // The space bar on the focused Start button starts a game.
    QTest::keyClick(m_mainWindow->startButton, Qt::Key_Space);
    EXPECT_FALSE(m_mainWindow->startButton->isEnabled());
    EXPECT_TRUE(m_mainWindow->fallTimer->isActive());
}

class StartUpWithStoredTable : public FormTest {
protected:
    void prepareStore() override {
        HighScoreTable stored;
        stored.names = {QStringLiteral("あい"), QStringLiteral("B"), QString(), QStringLiteral("D"),
                        QStringLiteral("E")};
        stored.scores = {900, 700, 500, 300, 100};
        ASSERT_TRUE(m_store->save(stored));
        ASSERT_TRUE(saveSoundOn(*m_store, false));
    }
};

TEST_F(StartUpWithStoredTable, LoadsTheTableAndTheSoundSwitchFromOneReadWhenTheWindowLoads) {
    EXPECT_EQ(m_mainWindow->table().names[0], QStringLiteral("あい"));
    EXPECT_EQ(m_mainWindow->table().names[2], QString());
    EXPECT_EQ(m_mainWindow->table().scores[4], 100);
    EXPECT_FALSE(m_mainWindow->isSoundOn());

    const quint64 readsBefore = storeReadCount();
    const MainWindow window(m_cues, *m_store, m_random);
    EXPECT_EQ(storeReadCount() - readsBefore, 1u) << "the store is opened and read once";
    EXPECT_EQ(window.table().scores[0], 900);
    EXPECT_FALSE(window.isSoundOn());
}

using Pictures = FormTest;

TEST_F(Pictures, SetCellSharesTheSlicePictureInsteadOfCopyingIt) {
    for (int n = 1; n <= 8; ++n) {
        const QPixmap picture = m_mainWindow->slicePictures[n];
        ASSERT_FALSE(picture.isNull()) << n;
        EXPECT_EQ(picture.size() / picture.devicePixelRatio(), QSize(100, 100));
        m_mainWindow->game().setCell(n, n);
        EXPECT_EQ(m_mainWindow->game().board[n], n);
        EXPECT_EQ(m_mainWindow->cellImages[n]->pixmap().cacheKey(), picture.cacheKey()) << n;
        // Nor is it a copy of the pixels the program holds ready to draw.
        EXPECT_EQ(picture.toImage().constBits(),
                  inPlacePicture(QStringLiteral("cake%1").arg(n)).constBits())
            << n << ": the pixels were copied onto the heap";
    }
}

TEST_F(Pictures, CountZeroRemovesThePicture) {
    m_mainWindow->game().setCell(7, 3);
    m_mainWindow->game().setCell(7, 0);
    EXPECT_EQ(m_mainWindow->game().board[7], 0);
    EXPECT_TRUE(m_mainWindow->cellImages[7]->pixmap().isNull());
}

TEST_F(Pictures, EverySlicePictureIsDistinct) {
    for (int a = 1; a <= 8; ++a) {
        for (int b = a + 1; b <= 8; ++b) {
            EXPECT_NE(m_mainWindow->slicePictures[a].toImage(),
                      m_mainWindow->slicePictures[b].toImage())
                << a << " and " << b;
        }
    }
}

TEST_F(Pictures, TitlePictureIsShown) {
    const QPixmap title = m_mainWindow->titleImage->pixmap();
    ASSERT_FALSE(title.isNull());
    EXPECT_EQ(title.size() / title.devicePixelRatio(), QSize(219, 55));
}

using StartButton = FormTest;

TEST_F(StartButton, ClickStartsAGameWithoutTouchingTheLabels) {
    m_random.deal({0.5, 0.0, 0.0, 0.99});  // next pair: 1 (narrow), then 7 (wide)
    QTest::mouseClick(m_mainWindow->startButton, Qt::LeftButton);
    EXPECT_FALSE(m_mainWindow->startButton->isEnabled());
    EXPECT_TRUE(m_mainWindow->leftButton->isEnabled());
    EXPECT_TRUE(m_mainWindow->turnButton->isEnabled());
    EXPECT_TRUE(m_mainWindow->rightButton->isEnabled());
    EXPECT_TRUE(m_mainWindow->fallTimer->isActive());
    EXPECT_EQ(m_mainWindow->fallTimer->interval(), 100)
        << "the first tick comes after the old interval";
    EXPECT_EQ(m_mainWindow->game().nextPair[0], 1);
    EXPECT_EQ(m_mainWindow->game().nextPair[1], 7);
    EXPECT_EQ(m_mainWindow->nextImages[0]->pixmap().cacheKey(),
              m_mainWindow->slicePictures[1].cacheKey());
    EXPECT_EQ(m_mainWindow->nextImages[1]->pixmap().cacheKey(),
              m_mainWindow->slicePictures[7].cacheKey());
    EXPECT_TRUE(m_mainWindow->scoreDisplay->text().isEmpty());
    EXPECT_EQ(m_cues.calls, std::vector<std::string>{"async start"});

    m_mainWindow->tick();
    EXPECT_EQ(m_mainWindow->scoreDisplay->text(), QStringLiteral("0"));
    EXPECT_EQ(m_mainWindow->cakeDisplay->text(), QStringLiteral("0"));
    EXPECT_EQ(m_mainWindow->fallTimer->interval(), 3000);
}


// Nothing before the first Start shows a slice picture: the window is built
// without decoding one, and once it is on screen all eight are ready. All of
// them, the title and the icons are read as the PNGs they are, without
// loading any of Qt's image-format plugins (each a library to map at start-up).
TEST_F(Pictures, SlicePicturesAreDecodedOnlyOnceTheWindowIsOnScreen) {
    EXPECT_EQ(m_mainWindow->slicePictures.decodedCount(), 0);
    m_mainWindow->show();
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_mainWindow->slicePictures.decodedCount() == 8; }));
    std::ifstream maps("/proc/self/maps");
    std::string line;
    int pluginMappings = 0;
    while (std::getline(maps, line)) {
        if (line.find("/imageformats/") != std::string::npos) ++pluginMappings;
    }
    EXPECT_EQ(pluginMappings, 0);
}

// Each modal window, opened and painted twice: the second opening draws with
// no set of colours the first did not, so the style finds its cached pictures
// again, and no window is left behind once it has closed.
struct ModalOpener {
    const char* name;
    QWidget* (*trigger)(MainWindow&);
};

const ModalOpener ModalOpeners[] = {
    {"high-score window", [](MainWindow& w) -> QWidget* { return w.highScoreButton; }},
    {"version message", [](MainWindow& w) -> QWidget* { return w.aboutButton; }},
    {"keys window", [](MainWindow&) -> QWidget* { return nullptr; }},
};

// Fusion, noting every palette identity it is asked to draw with.
class PaletteRecordingStyle : public QProxyStyle {
public:
    PaletteRecordingStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}
    void drawPrimitive(PrimitiveElement e, const QStyleOption* o, QPainter* p,
                       const QWidget* w) const override {
        keys->insert(o->palette.cacheKey());
        QProxyStyle::drawPrimitive(e, o, p, w);
    }
    void drawControl(ControlElement e, const QStyleOption* o, QPainter* p,
                     const QWidget* w) const override {
        keys->insert(o->palette.cacheKey());
        QProxyStyle::drawControl(e, o, p, w);
    }
    std::shared_ptr<std::set<qint64>> keys = std::make_shared<std::set<qint64>>();
};

class ModalMemory : public FormTest, public ::testing::WithParamInterface<ModalOpener> {
protected:
    void SetUp() override {
        auto* recording = new PaletteRecordingStyle;
        m_drawnKeys = recording->keys;
        QApplication::setStyle(recording);
        FormTest::SetUp();
    }
    void TearDown() override {
        FormTest::TearDown();
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    }
    std::shared_ptr<std::set<qint64>> m_drawnKeys;
};

TEST_P(ModalMemory, ReopeningAddsNoPaletteAndLeavesNoWindowBehind) {
    m_mainWindow->show();
    const auto openPaintAndClose = [&] {
        pollUntil([] { return QApplication::activeModalWidget() != nullptr; },
                  [] {
                      QWidget* modal = QApplication::activeModalWidget();
                      modal->grab();
                      modal->close();
                  });
        if (QWidget* button = GetParam().trigger(*m_mainWindow)) {
            QTest::mouseClick(static_cast<QAbstractButton*>(button), Qt::LeftButton);
        } else {
            m_mainWindow->action(Command::Help)->trigger();
        }
        deliverDeferredDeletes();
    };
    openPaintAndClose();
    const std::size_t palettes = m_drawnKeys->size();
    openPaintAndClose();
    EXPECT_EQ(m_drawnKeys->size(), palettes) << GetParam().name;
    EXPECT_TRUE(m_mainWindow->findChildren<QDialog*>().isEmpty()) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(EveryModalWindow, ModalMemory, ::testing::ValuesIn(ModalOpeners),
                         [](const ::testing::TestParamInfo<ModalOpener>& info) {
                             std::string name = info.param.name;
                             for (char& c : name) {
                                 if (c == ' ' || c == '-') c = '_';
                             }
                             return name;
                         });

}  // namespace
}  // namespace quillet::testing
