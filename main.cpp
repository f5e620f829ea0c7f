#include <cstdio>
#include <cstdlib>

#include <QApplication>
#include <QLocale>

#include "game/random_source.h"
#include "scores/score_store.h"
#include "sound/pulse_cue_player.h"
#include "ui/fonts.h"
#include "ui/main_window.h"
#include "ui/translations.h"

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

// The game's name in the volume mixer is the one the desktop's menu shows, so
// that the player finds there the game they started from it. The menu reads it
// from the desktop entry: Name[en]=Quillet for English, the untranslated
// Name=ヌビロケーキ for every other language; like the desktop, this walks the
// user's languages in order (LANGUAGE=de:en gives Quillet, the C locale
// ヌビロケーキ). PulseAudio wants application.name localized anyway. The window
// keeps its title ヌビロケーキ: the game itself is not translated.
std::string mixerApplicationName() {
    for (const QString& language : QLocale::system().uiLanguages()) {
        const QLocale::Language spoken = QLocale(language).language();
        if (spoken == QLocale::English) {
            return "Quillet";
        }
        if (spoken == QLocale::C) {
            break;
        }
    }
    return "ヌビロケーキ";
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
    quillet::MixerIdentity mixer;
    mixer.applicationName = mixerApplicationName();
    // The icon theme's name for the game's icon: the desktop file name below.
    mixer.iconName = "io.github.quillet.Quillet";
    mixer.streamName = "Sound cues";
    // Not "event": mixers gather event sounds under "System Sounds", without
    // the game's name or icon.
    mixer.role = "game";
    QApplication app(argc, argv);
    // One id for the desktop entry, the icon and the metainfo, so that docks
    // and task bars find the game's icon (on Wayland too).
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.quillet.Quillet"));
    quillet::installFontSubstitutions();
    // The desktop's language, as LANGUAGE, LC_ALL, LC_MESSAGES and LANG set it.
    quillet::installTranslations(QLocale::system());

    quillet::PulseCuePlayer cues(quillet::programDirectory, mixer);
    quillet::ScoreStore store;
    quillet::ClockSeededRandom random;
    quillet::MainWindow window(cues, store, random);
    window.show();
    return app.exec();
}
