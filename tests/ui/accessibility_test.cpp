// What a screen reader is told of the two windows, read through Qt's own
// accessibility interfaces. QApplication installs the widgets' interfaces by
// itself, so the queries answer on the offscreen platform as they are. That
// platform has no accessibility bridge: QAccessible::setActive(true) stands in
// for a screen reader that starts listening (it tells the activation
// observers, though QAccessible::isActive() stays false).

#include <QAccessible>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QTest>

#include "tests/ui/ui_fixture.h"
#include "ui/line_widget.h"

namespace quillet::testing {
namespace {

// What a screen reader is told of `object`, as UTF-8 so that a failure prints it.
std::string textOf(QObject* object, QAccessible::Text which) {
    const QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(object);
    EXPECT_NE(accessible, nullptr);
    return accessible ? accessible->text(which).toStdString() : std::string();
}

std::string nameOf(QObject* object) {
    return textOf(object, QAccessible::Name);
}

using MainWindowAccessibility = FormTest;

TEST_F(MainWindowAccessibility, EveryPartIsNamedAndTheNamesReadWhatItShows) {
    MainWindow& window = *m_mainWindow;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    // Nothing the player cannot see is in the tree, and everything in it but
    // the dotted lines has a name.
    QAccessibleInterface* tree = QAccessible::queryAccessibleInterface(&window);
    ASSERT_NE(tree, nullptr);
    ASSERT_GT(tree->childCount(), 0);
    for (int i = 0; i < tree->childCount(); ++i) {
        QAccessibleInterface* child = tree->child(i);
        EXPECT_FALSE(child->state().invisible) << child->object()->metaObject()->className();
        if (dynamic_cast<LineWidget*>(child->object()) == nullptr) {
            EXPECT_FALSE(child->text(QAccessible::Name).isEmpty()) << i;
        }
    }

    struct Reading {
        QWidget* widget;
        std::string name;
        std::string description;
    };
    struct Step {
        const char* when;
        std::function<void()> action;
        std::vector<Reading> readings;
    };
    // No reader listens until the second step; at the end the reader stops
    // again, for the tests that follow.
    const auto readerStops = qScopeGuard([] { QAccessible::setActive(false); });
    m_random.deal({0.5, 0.0, 0.0, 0.99});  // the first next pair: 1, then 7
    const std::vector<Step> steps{
        {"before the first game",
         [] {},
         {{window.titleImage, "ヌビロケーキ", ""},
          {window.boardPanel, "Board", "F1 lists the keys."},
          {window.cellImages[0], "Row 1, column 1, empty", ""},
          {window.cellImages[6], "Row 2, column 3, empty", ""},
          {window.cellImages[19], "Row 5, column 4, empty", ""},
          {window.nextPanel, "Next", ""},
          {window.nextImages[1], "Next, right, empty", ""},
          {window.scoreDisplay, "Score", ""},
          {window.cakeDisplay, "Cakes", ""},
          {window.turnButton, "Turn", "左右反転"}}},
        {"a reader that starts in the middle of a game",
         [&] {
             QTest::mouseClick(window.startButton, Qt::LeftButton);
             m_random.deal({0.5});  // the pieces after it: 3
             window.tick();         // the pair 1, 7 enters cells 1 and 2
             QAccessible::setActive(true);
         },
         {{window.cellImages[1], "Row 1, column 2, 1 slice", ""},
          {window.cellImages[2], "Row 1, column 3, 7 slices", ""},
          {window.nextImages[0], "Next, left, 3 slices", ""},
          {window.scoreDisplay, "Score 0", ""},
          {window.cakeDisplay, "Cakes 0", ""}}},
        {"Left",
         [&] { QTest::mouseClick(window.leftButton, Qt::LeftButton); },
         {{window.cellImages[0], "Row 1, column 1, 1 slice", ""},
          {window.cellImages[1], "Row 1, column 2, 7 slices", ""},
          {window.cellImages[2], "Row 1, column 3, empty", ""}}},
        {"a falling tick",
         [&] { window.tick(); },
         {{window.cellImages[0], "Row 1, column 1, empty", ""},
          {window.cellImages[4], "Row 2, column 1, 1 slice", ""},
          {window.cellImages[5], "Row 2, column 2, 7 slices", ""}}},
        {"the ticks that land the pair and bring the next one in",
         [&] {
             m_random.deal({0.0});  // the pieces after them: 1
             for (int i = 0; i < 5; ++i) window.tick();
         },
         {{window.cellImages[4], "Row 2, column 1, empty", ""},
          {window.cellImages[16], "Row 5, column 1, 1 slice", ""},
          {window.cellImages[17], "Row 5, column 2, 7 slices", ""},
          {window.cellImages[1], "Row 1, column 2, 3 slices", ""},
          {window.nextImages[1], "Next, right, 1 slice", ""}}},
    };
    for (const Step& step : steps) {
        step.action();
        for (const Reading& reading : step.readings) {
            EXPECT_EQ(nameOf(reading.widget), reading.name) << step.when;
            EXPECT_EQ(textOf(reading.widget, QAccessible::Description), reading.description)
                << step.when << ": " << reading.name;
        }
    }
}

class HighScoreWindowAccessibility : public FormTest {
protected:
    void prepareStore() override {
        HighScoreTable stored;
        stored.names = {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"),
                        QStringLiteral("D"), QString()};
        stored.scores = {5000, 3000, 3000, 1000, 0};
        ASSERT_TRUE(m_store->save(stored));
    }
};

TEST_F(HighScoreWindowAccessibility, RowsReadAsRankNameAndScore) {
    struct Use {
        const char* name;
        std::function<void()> open;
        std::vector<std::string> rows;  // what each rank label reads
        int nameBox;                    // the visible name box, or -1
        std::string nameBoxName;
    };
    const std::vector<Use> uses{
        {"viewing",
         [&] { QTest::mouseClick(m_mainWindow->highScoreButton, Qt::LeftButton); },
         {"1st, A, 5000", "2nd, B, 3000", "3rd, C, 3000", "4th, D, 1000", "5th, 0"},
         -1,
         {}},
        // A game ending with 3000 points: the name box stands over the old name.
        {"naming",
         [&] {
             m_mainWindow->game().score = 3000;
             m_mainWindow->rankFinishedGame();
         },
         {"1st, A, 5000", "2nd, B, 3000", "3rd, C, 3000", "4th, 3000", "5th, D, 1000"},
         3,
         "Name for the 4th place"},
    };
    for (const Use& use : uses) {
        bool read = false;
        whenModal<HighScoreWindow>([&](QWidget* modal) {
            read = true;
            auto* window = static_cast<HighScoreWindow*>(modal);
            for (int i = 0; i < HighScoreRanks; ++i) {
                EXPECT_EQ(nameOf(window->rankLabels[i]), use.rows[static_cast<std::size_t>(i)])
                    << use.name;
            }
            if (use.nameBox >= 0) {
                QLineEdit* box = window->nameEdits[use.nameBox];
                EXPECT_EQ(nameOf(box), use.nameBoxName);
                const QAccessibleInterface* shown = QAccessible::queryAccessibleInterface(box);
                EXPECT_TRUE(shown != nullptr && !shown->state().invisible) << use.name;
            }
            EXPECT_EQ(nameOf(window->closeButton), "Close") << use.name;
            window->reject();
        });
        use.open();
        EXPECT_TRUE(read) << use.name;
        deliverDeferredDeletes();
    }
}

}  // namespace
}  // namespace quillet::testing
