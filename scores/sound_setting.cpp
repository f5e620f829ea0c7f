#include "scores/sound_setting.h"

#include "scores/score_store.h"

namespace quillet {

bool loadSoundOn(const ScoreStore& store) {
    return store.read().soundOn;
}

bool saveSoundOn(const ScoreStore& store, bool on) {
    return store.changeSettings(StoreKeys::Sound,
                                [&](StoredSettings& stored) { stored.soundOn = on; });
}

}  // namespace quillet
