// A stand-in for the game in the install tests. Installed beside the game's
// sound cues and started through a relative link, it plays its cues the way the
// game does, so the test sees whether a program laid out like the game finds
// them. Prints
//
//   directory <the program directory, the link resolved>
//   <cue> played      or      <cue> silent
//
// one line per cue named on the command line. Run it with PULSE_SERVER naming a
// private server when there is no sound device.
#include <cstdio>
#include <string>

#include "sound/cue_files.h"
#include "sound/pulse_cue_player.h"

int main(int argc, char* argv[]) {
    std::printf("directory %s\n", quillet::programDirectory().c_str());
    quillet::PulseCuePlayer player;
    for (int i = 1; i < argc; ++i) {
        const int before = player.playsStarted();
        player.play(argv[i]);
        // A waiting playAndWait returns only once everything queued before it has
        // been handled, so by then the cue above has started or been passed
        // over. The name of a cue that does not exist plays nothing itself.
        player.playAndWait("no cue has this name");
        std::printf("%s %s\n", argv[i], player.playsStarted() > before ? "played" : "silent");
    }
    return 0;
}
