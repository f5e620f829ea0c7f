#include "scores/sound_setting.h"

#include <QSettings>

#include "scores/score_store.h"

namespace quillet {

bool loadSoundOn(const ScoreStore& store) {
    QSettings settings(store.filePath(), QSettings::IniFormat);
    return settings.value(QStringLiteral("Preferences/Sound")).toString() != QStringLiteral("off");
}

bool saveSoundOn(const ScoreStore& store, bool on) {
    QSettings settings(store.filePath(), QSettings::IniFormat);
    settings.setValue(QStringLiteral("Preferences/Sound"),
                      on ? QStringLiteral("on") : QStringLiteral("off"));
    settings.sync();
    return settings.status() == QSettings::NoError;
}

}  // namespace quillet
