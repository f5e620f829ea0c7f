#include "ui/sound_switch.h"

namespace quillet {

void SoundSwitch::setOn(bool on) {
    m_on = on;
    if (m_on && m_prepareAsked && !m_prepared) {
        m_prepared = true;
        m_player.prepare();
    }
}

void SoundSwitch::prepare() {
    m_prepareAsked = true;
    setOn(m_on);
}

void SoundSwitch::playAndWait(const std::string& cue) {
    if (m_on) m_player.playAndWait(cue);
}

void SoundSwitch::play(const std::string& cue) {
    if (m_on) m_player.play(cue);
}

}  // namespace quillet
