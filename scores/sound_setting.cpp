#include "scores/sound_setting.h"

#include <QSettings>
#include <QString>
#include <QVariant>

#include "scores/score_store.h"

namespace quillet {
namespace {

const QString SoundKey = QStringLiteral("Preferences/Sound");
const QString SoundOff = QStringLiteral("off");

}  // namespace

// Silence is what the player chose only when the file says so in the very
// words the game writes; anything else leaves the game as it comes, with sound.
bool soundOnIn(const QSettings& settings) {
    const QVariant value = settings.value(SoundKey);
    return value.typeId() != QMetaType::QString || value.toString() != SoundOff;
}

bool loadSoundOn(const ScoreStore& store) {
    return store.read().soundOn;
}

bool saveSoundOn(const ScoreStore& store, bool on) {
    return store.changeSettings(
        [&](QSettings& settings) {
            settings.setValue(SoundKey, on ? QStringLiteral("on") : SoundOff);
        },
        [&](const QSettings& back) {
            return back.value(SoundKey).typeId() == QMetaType::QString && soundOnIn(back) == on;
        });
}

}  // namespace quillet
