#include <cstdio>
#include <cstdlib>

#include <QApplication>

#include "game/random_source.h"
#include "scores/score_store.h"
#include "sound/sdl_cue_player.h"
#include "ui/fonts.h"
#include "ui/main_window.h"

namespace {

// Qt's own message for a missing display is a plugin error that tells a player
// nothing; say plainly what is needed instead.
bool hasDisplay() {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform && *platform) return true;
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 && *x11) || (wayland && *wayland);
}

}  // namespace

int main(int argc, char* argv[]) {
    if (!hasDisplay()) {
        std::fputs(
            "quillet needs a graphical display (none was found); to run it headless, use "
            "xvfb-run ./run.sh.\n",
            stderr);
        return 1;
    }
    QApplication app(argc, argv);
    // One id for the desktop entry, the icon and the metainfo, so that docks
    // and task bars find the game's icon (on Wayland too).
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.quillet.Quillet"));
    quillet::installFontSubstitutions();

    quillet::SdlCuePlayer cues;
    quillet::ScoreStore store;
    quillet::ClockSeededRandom random;
    quillet::MainWindow window(cues, store, random);
    window.show();
    return app.exec();
}
