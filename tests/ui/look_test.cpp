// The two windows look, in every state a player meets them in, active and
// inactive, exactly as plain Fusion draws them with palettes made the ordinary
// way, one for each widget: a disabled button's caption is grey, an inactive
// window has the inactive colours. The game shares one palette among the
// widgets of the same colours; nothing of that may show.

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QStyle>
#include <QStyleFactory>
#include <QTest>

#include "tests/ui/ui_fixture.h"

namespace quillet::testing {
namespace {

class LookTest : public KeyboardTest {
public:
    using FormTest::deliverDeferredDeletes;
    using FormTest::m_mainWindow;
    using KeyboardTest::game;
    using KeyboardTest::landInTheEntryCells;
    using KeyboardTest::startFalling;

    // A naming window over the main window, as a game of 6000 points opens it
    // (shown without a modal loop of its own, so that it can be made
    // inactive), with `typed` typed and then `erased` characters erased.
    QWidget* naming(const QString& typed, int erased) {
        const int rank = const_cast<ScoreBook&>(m_mainWindow->scores()).enter(6000);
        m_naming = std::make_unique<HighScoreWindow>(const_cast<ScoreBook&>(m_mainWindow->scores()),
                                                     m_cues, m_mainWindow.get());
        QLineEdit* box = m_naming->nameEdits[rank];
        box->show();
        m_naming->refresh();
        m_naming->show();
        bringToFront(m_naming.get());
        QTest::keyClicks(box, typed);
        for (int i = 0; i < erased; ++i) QTest::keyClick(box, Qt::Key_Backspace);
        return m_naming.get();
    }

    // Another application's window takes the focus.
    void lookAway() {
        m_elsewhere.show();
        bringToFront(&m_elsewhere);
    }

    void bringToFront(QWidget* window) {
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitFor([window] { return QApplication::activeWindow() == window; }));
    }

protected:
    void SetUp() override {
        KeyboardTest::SetUp();
        // A blinking text cursor would differ between two drawings.
        m_flashTime = QApplication::cursorFlashTime();
        QApplication::setCursorFlashTime(0);
    }
    void TearDown() override {
        m_naming.reset();
        QApplication::setCursorFlashTime(m_flashTime);
        KeyboardTest::TearDown();
    }

private:
    std::unique_ptr<HighScoreWindow> m_naming;
    QWidget m_elsewhere;
    int m_flashTime = 0;
};

// `window` drawn again by a Fusion of its own, each widget with a palette of
// its own: the application's for its class, with the widget's background and
// text colours set as a widget sets them, in every colour group.
QImage plainDrawing(QWidget* window) {
    QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"));
    fusion->setParent(window);
    QList<QWidget*> widgets = window->findChildren<QWidget*>();
    widgets.prepend(window);
    for (QWidget* widget : widgets) {
        QPalette plain = QApplication::palette(widget);
        for (QPalette::ColorRole role : {QPalette::Window, QPalette::WindowText}) {
            plain.setColor(role, widget->palette().color(QPalette::Active, role));
        }
        widget->setStyle(fusion);
        widget->setPalette(plain);
    }
    return window->grab().toImage();
}

struct LookRow {
    const char* what;
    // Brings the windows into the state; returns the window to draw.
    std::function<QWidget*(LookTest&)> arrange;
    bool active = true;
};

// NOLINTNEXTLINE(readability-identifier-naming): GoogleTest looks for this name.
void PrintTo(const LookRow& row, std::ostream* os) {
    *os << row.what << (row.active ? ", active" : ", inactive");
}

class Look : public LookTest, public ::testing::WithParamInterface<LookRow> {};

TEST_P(Look, EveryPixelIsAsPlainFusionDrawsIt) {
    const LookRow& row = GetParam();
    // The game draws with Fusion, through whatever it may put in front.
    const QStyle* style = QApplication::style();
    if (const auto* proxy = qobject_cast<const QProxyStyle*>(style)) style = proxy->baseStyle();
    ASSERT_EQ(style->name().toLower(), QStringLiteral("fusion"));
    QWidget* window = row.arrange(*this);
    ASSERT_FALSE(HasFatalFailure());
    if (row.active) {
        bringToFront(window);
    } else {
        lookAway();
    }
    ASSERT_EQ(window->isActiveWindow(), row.active);
    const QImage game = window->grab().toImage();
    const QImage plain = plainDrawing(window);
    ASSERT_EQ(game.size(), plain.size());
    const auto [differing, first] = differingPixels(game, plain);
    EXPECT_EQ(differing, 0) << "first at " << first.x() << "," << first.y() << ": "
                            << QColor(game.pixel(first)).name().toStdString() << " drawn, "
                            << QColor(plain.pixel(first)).name().toStdString() << " by Fusion";
}

QWidget* mainWindow(LookTest& test) {
    return test.m_mainWindow.get();
}

const LookRow States[] = {
    {"the main window before a game", mainWindow},
    {"the main window during a game: Start disabled",
     [](LookTest& test) {
         test.startFalling();
         return mainWindow(test);
     }},
    {"the main window paused",
     [](LookTest& test) {
         test.startFalling();
         test.m_mainWindow->pause();
         return mainWindow(test);
     }},
    {"the main window after game over",
     [](LookTest& test) {
         test.landInTheEntryCells();
         test.game().score = 6000;
         whenModal<HighScoreWindow>([](QWidget* modal) { modal->close(); });
         test.m_mainWindow->tick();
         test.deliverDeferredDeletes();
         return mainWindow(test);
     }},
    {"the naming window, its name empty", [](LookTest& test) { return test.naming({}, 0); }},
    {"the naming window, a name typed",
     [](LookTest& test) { return test.naming(QStringLiteral("Ann"), 0); }},
    {"the naming window, the name erased: Close disabled",
     [](LookTest& test) { return test.naming(QStringLiteral("A"), 1); }},
};

std::vector<LookRow> activeAndInactive() {
    std::vector<LookRow> rows;
    for (const LookRow& state : States) {
        for (bool active : {true, false}) rows.push_back({state.what, state.arrange, active});
    }
    return rows;
}

INSTANTIATE_TEST_SUITE_P(EveryState, Look, ::testing::ValuesIn(activeAndInactive()));

}  // namespace
}  // namespace quillet::testing
