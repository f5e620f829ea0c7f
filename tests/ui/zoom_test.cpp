// The zoom, on two screens side by side (zoom_screens.json): a large one on
// which every step fits and a small one of 1024 x 768 on which 200 % and more
// do not. The desktop's own scale is tried apart, with a screen of 2048 x 1536
// device pixels that it scales by 2 first among the screens
// (zoom_dense_screens.json; the offscreen platform lists its screens by name):
// the zoom must not read that screen's scale as Qt's global one.

#include <qpa/qplatformwindow.h>
#include <QActionGroup>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QWindow>

#include "assets/in_place_picture.h"
#include "scores/zoom_setting.h"
#include "tests/ui/ui_fixture.h"
#include "ui/keys_window.h"
#include "ui/pause_cover.h"
#include "ui/player_actions.h"
#include "ui/screen_scale.h"
#include "ui/zoom.h"

namespace quillet::testing {
namespace {

QScreen* screenNamed(const char* name) {
    for (QScreen* screen : QGuiApplication::screens()) {
        if (screen->name() == QLatin1String(name)) return screen;
    }
    return nullptr;
}

// The window's size in device pixels, as the window system has it.
QSize nativeSize(QWidget* window) {
    return window->windowHandle()->handle()->geometry().size();
}

class ZoomTest : public KeyboardTest {
protected:
    void TearDown() override {
        KeyboardTest::TearDown();
        // The screens' scale belongs to the whole program.
        screen_scale::setZoom(1.0);
    }

    Zoom& zoom() { return m_mainWindow->zoom(); }

    // The main window, shown on the screen of that name.
    void moveToScreen(const char* name) {
        QScreen* screen = screenNamed(name);
        ASSERT_NE(screen, nullptr);
        m_mainWindow->move(screen->availableGeometry().topLeft() + QPoint(10, 10));
        ASSERT_TRUE(QTest::qWaitFor([&] { return m_mainWindow->screen() == screen; }));
    }

    QString storeText() const {
        QFile file(m_dir.filePath(QStringLiteral("Quillet.conf")));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }
};

// Every control of the main window in device pixels: where the layout puts
// it, times the zoom, its picture with it.
std::vector<std::pair<QWidget*, QRect>> devicePlaces(QWidget* window) {
    std::vector<std::pair<QWidget*, QRect>> places;
    const qreal ratio = window->devicePixelRatio();
    for (QWidget* control : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        const QRect box = control->geometry();
        places.push_back(
            {control, QRect(qRound(box.left() * ratio), qRound(box.top() * ratio),
                            qRound(box.width() * ratio), qRound(box.height() * ratio))});
    }
    return places;
}

struct StepRow {
    int percent;
    // Full screen on the large screen, or left at its normal size.
    bool fullScreen;
    int shownPercent;
};

// NOLINTNEXTLINE(readability-identifier-naming): GoogleTest looks for this name.
void PrintTo(const StepRow& row, std::ostream* os) {
    *os << row.percent << " %" << (row.fullScreen ? ", full screen" : "");
}

class ZoomStep : public ZoomTest, public ::testing::WithParamInterface<StepRow> {};

TEST_P(ZoomStep, EveryControlTakesItsPlaceTimesTheStep) {
    const StepRow& row = GetParam();
    startFalling();
    m_mainWindow->pause();
    const auto atFull = devicePlaces(m_mainWindow.get());
    ASSERT_TRUE(zoom().choose(row.percent));
    if (row.fullScreen) {
        m_mainWindow->action(Command::FullScreen)->trigger();
        ASSERT_TRUE(QTest::qWaitFor([&] { return m_mainWindow->isFullScreen(); }));
        QCoreApplication::processEvents();
    }
    const qreal factor = row.shownPercent / 100.0;
    EXPECT_EQ(zoom().chosen(), row.percent);
    EXPECT_EQ(zoom().shown(), row.shownPercent);
    EXPECT_DOUBLE_EQ(m_mainWindow->devicePixelRatio(), factor);
    if (!row.fullScreen) {
        EXPECT_EQ(nativeSize(m_mainWindow.get()), QSize(616, 497) * factor);
        EXPECT_EQ(m_mainWindow->size(), QSize(616, 497));
    }
    // Full screen, the layout lies in the middle of the window.
    const QSize spare = m_mainWindow->size() - QSize(616, 497);
    const QPoint origin =
        row.fullScreen ? QPoint(spare.width() / 2, spare.height() / 2) * factor : QPoint();
    if (row.fullScreen) {
        EXPECT_GT(spare.width(), 100) << "not the screen's size";
    }
    const auto zoomed = devicePlaces(m_mainWindow.get());
    ASSERT_EQ(zoomed.size(), atFull.size());
    for (std::size_t i = 0; i < zoomed.size(); ++i) {
        const QRect& was = atFull[i].second;
        const QRect expected(qRound(was.left() * factor) + origin.x(),
                             qRound(was.top() * factor) + origin.y(), qRound(was.width() * factor),
                             qRound(was.height() * factor));
        EXPECT_EQ(zoomed[i].second, expected) << zoomed[i].first->metaObject()->className() << " "
                                              << zoomed[i].first->accessibleName().toStdString();
    }
    // A slice picture covers its device pixels, at 100 %, 200 % and 300 %
    // with the very pixels of the rendering of that size.
    const QPixmap slice = m_mainWindow->slicePictures[3];
    EXPECT_EQ(slice.width(), qRound(100 * factor));
    EXPECT_EQ(slice.deviceIndependentSize(), QSizeF(100, 100));
    if (row.shownPercent % 100 == 0) {
        const QString rendering = row.shownPercent == 100
                                      ? QStringLiteral("cake3")
                                      : QStringLiteral("cake3@%1x").arg(row.shownPercent / 100);
        EXPECT_TRUE(slice.toImage() == inPlacePicture(rendering))
            << "not " << rendering.toStdString();
    }
    // A game goes on through the zoom.
    EXPECT_TRUE(m_mainWindow->isPaused());
    EXPECT_TRUE(game().isPairFalling());
    if (row.fullScreen) {
        // Back to the normal size, back to the chosen step, the layout where
        // it was.
        m_mainWindow->action(Command::FullScreen)->trigger();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !m_mainWindow->isFullScreen(); }));
        QCoreApplication::processEvents();
        EXPECT_EQ(zoom().shown(), row.percent);
        EXPECT_EQ(m_mainWindow->size(), QSize(616, 497));
        EXPECT_EQ(m_mainWindow->pauseCover->geometry(), QRect(0, 0, 399, 497));
        EXPECT_EQ(m_mainWindow->cellImages[19]->geometry(), QRect(297, 396, 100, 100));
    }
}

// The large screen is 3840 x 2160: full screen, 300 % (1848 x 1491) fits it,
// in the middle of the about 1280 x 720 pixels the window then has.
INSTANTIATE_TEST_SUITE_P(EveryStep, ZoomStep,
                         ::testing::Values(StepRow{100, false, 100}, StepRow{125, false, 125},
                                           StepRow{150, false, 150}, StepRow{200, false, 200},
                                           StepRow{250, false, 250}, StepRow{300, false, 300},
                                           StepRow{125, true, 300}));

TEST_F(ZoomTest, AStepThatDoesNotFitTheScreenIsRefusedAndNotOffered) {
    moveToScreen("Small");
    // 1024 x 768: 150 % (924 x 746) fits, 200 % (1232 x 994) does not.
    EXPECT_TRUE(zoom().choose(150));
    EXPECT_FALSE(zoom().choose(200));
    EXPECT_FALSE(zoom().choose(175)) << "no step";
    QTest::keyClick(m_mainWindow.get(), Qt::Key_Plus, Qt::ControlModifier);
    EXPECT_EQ(zoom().chosen(), 150);
    EXPECT_DOUBLE_EQ(m_mainWindow->devicePixelRatio(), 1.5);
    EXPECT_TRUE(storeText().contains(QStringLiteral("Zoom=150")));
    // The menu offers what fits, the chosen step checked.
    QStringList offered;
    QTimer::singleShot(0, [&offered] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu) return;
        for (QAction* action : menu->actions()) {
            if (QMenu* steps = action->menu()) {
                for (QAction* step : steps->actions()) {
                    offered.append(step->text() + (step->isEnabled() ? "" : " off") +
                                   (step->isChecked() ? " chosen" : ""));
                }
            }
        }
        menu->close();
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5),
                            m_mainWindow->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(m_mainWindow->cellImages[6], &event);
    EXPECT_EQ(offered, QStringList({"100 %", "125 %", "150 % chosen", "200 % off", "250 % off",
                                    "300 % off"}));
}

TEST_F(ZoomTest, TheZoomMultipliesTheDesktopsOwnScale) {
    // Run by ctest on the screens of zoom_dense_screens.json only.
    if (!screenNamed("Dense")) GTEST_SKIP() << "no screen scaled by the desktop";
    moveToScreen("Dense");
    EXPECT_DOUBLE_EQ(m_mainWindow->devicePixelRatio(), 2.0);
    // On a desktop scaled by 2, 150 % draws three device pixels per pixel,
    // the densest rendering of the pictures; 200 % (2464 x 1988 of the
    // screen's 3840 x 2400) would fit, but would show them larger than
    // their rendering.
    EXPECT_TRUE(zoom().choose(150));
    EXPECT_DOUBLE_EQ(m_mainWindow->devicePixelRatio(), 3.0);
    EXPECT_EQ(nativeSize(m_mainWindow.get()), QSize(1848, 1491));
    EXPECT_FALSE(zoom().choose(200));
    EXPECT_TRUE(zoom().choose(100));
    EXPECT_DOUBLE_EQ(m_mainWindow->devicePixelRatio(), 2.0);
    // The other screens kept their own scale, times the zoom.
    EXPECT_TRUE(zoom().choose(125));
    EXPECT_DOUBLE_EQ(screenNamed("Large")->devicePixelRatio(), 1.25);
}

TEST_F(ZoomTest, KeysStepThroughTheStepsAndEachChoiceIsStored) {
    const struct {
        Qt::Key key;
        int percent;
    } presses[] = {{Qt::Key_Plus, 125},  {Qt::Key_Equal, 150}, {Qt::Key_Plus, 200},
                   {Qt::Key_Plus, 250},  {Qt::Key_Plus, 300},  {Qt::Key_Plus, 300},
                   {Qt::Key_Minus, 250}, {Qt::Key_0, 100},     {Qt::Key_Minus, 100}};
    for (const auto& press : presses) {
        QTest::keyClick(m_mainWindow.get(), press.key, Qt::ControlModifier);
        EXPECT_EQ(zoom().chosen(), press.percent)
            << QKeySequence(press.key).toString().toStdString();
        EXPECT_TRUE(storeText().contains(QStringLiteral("Zoom=%1").arg(press.percent)));
    }
}

TEST_F(ZoomTest, FullScreenShowsTheLargestStepAndF11ReturnsToTheChosenOne) {
    ASSERT_TRUE(zoom().choose(150));
    QTest::keyClick(m_mainWindow.get(), Qt::Key_F11);
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_mainWindow->isFullScreen(); }));
    QCoreApplication::processEvents();
    EXPECT_EQ(zoom().shown(), 300);
    EXPECT_EQ(zoom().chosen(), 150);
    // A step chosen meanwhile is the one the window returns to.
    QTest::keyClick(m_mainWindow.get(), Qt::Key_Minus, Qt::ControlModifier);
    EXPECT_EQ(zoom().shown(), 300);
    QTest::keyClick(m_mainWindow.get(), Qt::Key_F11);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !m_mainWindow->isFullScreen(); }));
    QCoreApplication::processEvents();
    EXPECT_EQ(zoom().shown(), 125);
    EXPECT_EQ(nativeSize(m_mainWindow.get()), QSize(770, 621));
}

// The step kept from the last run, written by the store under its key.
class StoredZoom : public ZoomTest {
protected:
    void prepareStore() override { ASSERT_TRUE(saveZoomPercent(*m_store, 250)); }
};

TEST_F(StoredZoom, TheWindowOpensAtTheKeptStepWithoutWritingIt) {
    const QString kept = storeText();
    EXPECT_EQ(zoom().chosen(), 250);
    EXPECT_DOUBLE_EQ(m_mainWindow->devicePixelRatio(), 2.5);
    EXPECT_EQ(nativeSize(m_mainWindow.get()), QSize(1540, 1243));
    EXPECT_EQ(storeText(), kept);
    // A window opened now follows the zoom.
    KeysWindow keys(m_mainWindow.get());
    keys.show();
    EXPECT_DOUBLE_EQ(keys.devicePixelRatio(), 2.5);
}

// A window drawn at 200 % is, pixel for pixel, the same window drawn at
// 100 % under a desktop scale of 2: each drawn by a game of its own
// (zoom_test_main.cpp), the factor being read at start.
struct GrabRow {
    const char* window;
    const char* state;
};

// NOLINTNEXTLINE(readability-identifier-naming): GoogleTest looks for this name.
void PrintTo(const GrabRow& row, std::ostream* os) {
    *os << row.window << ", " << row.state;
}

class ZoomGrab : public ::testing::TestWithParam<GrabRow> {};

QImage grabbed(const GrabRow& row, const QString& file, int percent, const char* scaleFactor) {
    QProcess game;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("QT_SCALE_FACTOR"));
    if (scaleFactor)
        environment.insert(QStringLiteral("QT_SCALE_FACTOR"), QLatin1String(scaleFactor));
    game.setProcessEnvironment(environment);
    game.start(QCoreApplication::applicationFilePath(),
               {QStringLiteral("--grab"), file, QString::number(percent), QLatin1String(row.window),
                QLatin1String(row.state)});
    if (!game.waitForFinished(30000) || game.exitCode() != 0) {
        ADD_FAILURE() << "the grab failed: " << game.readAllStandardError().toStdString();
        return {};
    }
    return QImage(file);
}

TEST_P(ZoomGrab, TwoHundredPercentIsTheDesktopsScaleOfTwo) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QImage zoomed =
        grabbed(GetParam(), dir.filePath(QStringLiteral("zoomed.png")), 200, nullptr);
    const QImage scaled = grabbed(GetParam(), dir.filePath(QStringLiteral("scaled.png")), 100, "2");
    ASSERT_FALSE(zoomed.isNull());
    ASSERT_EQ(zoomed.size(), scaled.size());
    const auto [differing, first] = differingPixels(zoomed, scaled);
    EXPECT_EQ(differing, 0) << "first at " << first.x() << "," << first.y();
}

INSTANTIATE_TEST_SUITE_P(EveryWindow, ZoomGrab,
                         ::testing::Values(GrabRow{"main", "before a game"},
                                           GrabRow{"main", "playing"}, GrabRow{"main", "paused"},
                                           GrabRow{"high scores", "before a game"},
                                           GrabRow{"keys", "before a game"},
                                           GrabRow{"about", "playing"}));

}  // namespace
}  // namespace quillet::testing
