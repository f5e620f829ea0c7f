// The zoom tests, on the two screens of zoom_screens.json (or those of the
// file QUILLET_ZOOM_SCREENS names). Started as
//   zoom_tests --grab FILE PERCENT WINDOW STATE
// it draws one window of a game of its own at the zoom PERCENT into FILE
// instead: WINDOW is "main", "high scores", "keys" or "about", STATE "before a game",
// "playing" or "paused".
#include <gtest/gtest.h>

#include <QApplication>
#include <QLocale>
#include <QTemporaryDir>

#include <cstring>

#include "tests/ui/ui_fixture.h"
#include "ui/fonts.h"
#include "ui/keys_window.h"
#include "ui/translations.h"
#include "ui/zoom.h"

namespace {

int grab(char** argv) {
    using namespace quillet;
    QTemporaryDir dir;
    ScoreStore store(dir.filePath(QStringLiteral("Quillet.conf")));
    quillet::testing::RecordingCuePlayer cues;
    quillet::testing::SequenceRandom random;
    MainWindow window(cues, store, random);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) return 1;
    if (!window.zoom().choose(std::atoi(argv[3]))) return 1;
    const QString state = QString::fromUtf8(argv[5]);
    if (state != QLatin1String("before a game")) {
        random.deal({0.5, 0.0, 0.5, 0.5});
        QTest::mouseClick(window.startButton, Qt::LeftButton);
        window.tick();
        window.tick();
        if (state == QLatin1String("paused")) window.pause();
    }
    const QString which = QString::fromUtf8(argv[4]);
    if (which == QLatin1String("about")) {
        // The About box is modal: drawn once its own loop shows it.
        bool saved = false;
        quillet::testing::whenModal([&](QWidget* box) {
            QCoreApplication::processEvents();
            saved = box->grab().toImage().save(QString::fromUtf8(argv[2]));
            box->close();
        });
        window.showAbout();
        return saved ? 0 : 1;
    }
    std::unique_ptr<QWidget> other;
    if (which == QLatin1String("high scores")) {
        auto* scores = new HighScoreWindow(const_cast<ScoreBook&>(window.scores()), cues, &window);
        scores->refresh();
        other.reset(scores);
    } else if (which == QLatin1String("keys")) {
        other = std::make_unique<KeysWindow>(&window);
    }
    QWidget* drawn = other ? other.get() : &window;
    drawn->show();
    if (!QTest::qWaitForWindowExposed(drawn)) return 1;
    QCoreApplication::processEvents();
    return drawn->grab().toImage().save(QString::fromUtf8(argv[2])) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    // QUILLET_ZOOM_SCREENS names other screens.
    const QByteArray screens = qEnvironmentVariableIsSet("QUILLET_ZOOM_SCREENS")
                                   ? qgetenv("QUILLET_ZOOM_SCREENS")
                                   : QByteArray(QUILLET_ZOOM_SCREENS);
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + screens);
    QApplication app(argc, argv);
    quillet::installFontSubstitutions();
    quillet::installTranslations(QLocale(QLocale::English));
    if (argc == 6 && std::strcmp(argv[1], "--grab") == 0) return grab(argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
