#pragma once

#include <string>

#include "sound/cue_player.h"

namespace quillet {

// The player's sound switch, in front of the cue player. While it is off no
// cue is started or waited for (the buttons that click do not hold the game
// for the click either), and the sound system is not even made ready: a player
// who keeps the sound off never loads it. Turned on, it makes the sound
// system ready if the window had asked for that meanwhile.
class SoundSwitch : public CuePlayer {
public:
    SoundSwitch(CuePlayer& player, bool on) : m_player(player), m_on(on) {}

    bool isOn() const { return m_on; }
    void setOn(bool on);

    void prepare() override;
    void playAndWait(const std::string& cue) override;
    void play(const std::string& cue) override;

private:
    CuePlayer& m_player;
    bool m_on;
    bool m_prepareAsked = false;
    bool m_prepared = false;
};

}  // namespace quillet
