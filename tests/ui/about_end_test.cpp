#include <sys/wait.h>
#include <unistd.h>
#include <csignal>

#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "tests/ui/ui_fixture.h"

namespace quillet::testing {
namespace {

TEST(VersionText, JoinsMinorAndRevisionWithoutADot) {
    EXPECT_EQ(MainWindow::versionText(1, 1, 0), QStringLiteral("ヌビロケーキ Ver.1.10"));
    EXPECT_EQ(MainWindow::versionText(2, 13, 7), QStringLiteral("ヌビロケーキ Ver.2.137"));
}

using AboutBox = FormTest;

TEST_F(AboutBox, ShowsTheVersionMessageAfterTheClick) {
    bool shown = false;
    whenModal([&](QWidget* modal) {
        shown = true;
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(m_cues.calls, std::vector<std::string>{"sync click"}) << "the click comes first";
        EXPECT_EQ(box->windowTitle(), QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報"));
        EXPECT_EQ(box->text(), QStringLiteral("ヌビロケーキ Ver.1.10"));
        EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
        EXPECT_EQ(box->buttons().size(), 1);
        EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
        box->button(QMessageBox::Ok)->click();
    });
    QTest::mouseClick(m_mainWindow->aboutButton, Qt::LeftButton);
    EXPECT_TRUE(shown);
}

TEST_F(AboutBox, GameGoesOnUnderneathWhileTheMessageIsOpen) {
    EXPECT_GE(
        ticksWhileModal(m_mainWindow->aboutButton,
                        [](QWidget* modal) {
                            static_cast<QMessageBox*>(modal)->button(QMessageBox::Ok)->click();
                        }),
        3);
    EXPECT_TRUE(m_mainWindow->fallTimer->isActive()) << "About does not pause the game";
    EXPECT_FALSE(m_mainWindow->startButton->isEnabled());
    EXPECT_TRUE(m_mainWindow->leftButton->isEnabled());
}

TEST_F(AboutBox, AGameEndingUnderTheMessageOpensTheHighScoreWindowOverIt) {
    QTest::mouseClick(m_mainWindow->startButton, Qt::LeftButton);
    m_mainWindow->tick();  // the first pair enters
    m_mainWindow->fallTimer->stop();
    m_mainWindow->game().fallingPair = {20, 21};
    m_mainWindow->game().score = 100;  // beats the fresh table's zeros
    bool named = false;
    whenModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        whenModal<HighScoreWindow>([&, box](QWidget* over) {
            auto* window = qobject_cast<HighScoreWindow*>(over);
            if (window) {
                named = true;
                QTest::keyClicks(window->nameEdits[0], QStringLiteral("H"));
                QTest::mouseClick(window->closeButton, Qt::LeftButton);
            }
        });
        QTimer::singleShot(0, [&, box] {
            m_mainWindow->tick();  // game over inside the message's loop
            box->button(QMessageBox::Ok)->click();
        });
    });
    QTest::mouseClick(m_mainWindow->aboutButton, Qt::LeftButton);
    EXPECT_TRUE(named);
    EXPECT_EQ(m_mainWindow->table().names[0], QStringLiteral("H"));
    EXPECT_EQ(m_mainWindow->table().scores[0], 100);
}

using EndButton = FormTest;

TEST_F(EndButton, ClicksThenEndsTheProgramWithStatusZeroWithoutSaving) {
    m_mainWindow->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_mainWindow.get()));
    QSignalSpy lastWindowClosed(qApp, &QGuiApplication::lastWindowClosed);
    bool gaveUp = false;
    QTimer::singleShot(0, [&] { QTest::mouseClick(m_mainWindow->endButton, Qt::LeftButton); });
    QTimer guard;  // stopped with the test, so it cannot end a later test's loop
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [&] {
        gaveUp = true;
        QCoreApplication::exit(2);
    });
    guard.start(10000);
    // The program's own event loop: closing its last window ends it.
    const int status = QApplication::exec();
    EXPECT_FALSE(gaveUp) << "End did not end the event loop";
    EXPECT_EQ(status, 0);
    EXPECT_EQ(m_cues.calls, std::vector<std::string>{"sync click"});
    EXPECT_FALSE(m_mainWindow->isVisible());
    EXPECT_EQ(lastWindowClosed.count(), 1);
    EXPECT_FALSE(QFile::exists(m_store->filePath())) << "nothing is saved on the way out";
}

// The real program, started offscreen: SIGTERM (as a desktop logout sends)
// ends it at once by the default action, and it stores nothing on the way.
TEST(Program, EndsOnSigtermWithoutSaving) {
    QTemporaryDir config;
    ASSERT_TRUE(config.isValid());
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    // No sound server: the user's own is left alone.
    environment.insert(QStringLiteral("PULSE_SERVER"), config.path() + QStringLiteral("/no-server"));
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(QUILLET_BINARY), {});
    ASSERT_TRUE(program.waitForStarted());
    // Give it the time to open its window and its audio thread, so that the
    // signal reaches a fully running program.
    QTest::qWait(1000);
    ASSERT_EQ(program.state(), QProcess::Running) << program.readAllStandardError().toStdString();
    ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
    const bool ended = program.waitForFinished(10000);
    if (!ended) program.kill();
    ASSERT_TRUE(ended) << "the program ignored SIGTERM";
    EXPECT_EQ(program.exitStatus(), QProcess::CrashExit) << "ended by the signal itself";
    EXPECT_TRUE(QDir(config.path()).isEmpty()) << "nothing is stored";
}

TEST(Program, SaysPlainlyThatItNeedsADisplay) {
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
        environment.remove(QString::fromLatin1(name));
    }
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(QUILLET_BINARY), {});
    ASSERT_TRUE(program.waitForFinished(10000));
    EXPECT_EQ(program.exitCode(), 1);
    const QString message = QString::fromUtf8(program.readAllStandardError());
    EXPECT_TRUE(message.contains(QStringLiteral("display"))) << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("xvfb-run"))) << message.toStdString();
}

}  // namespace
}  // namespace quillet::testing
