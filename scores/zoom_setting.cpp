#include "scores/zoom_setting.h"

#include "scores/score_store.h"

namespace quillet {

int loadZoomPercent(const ScoreStore& store) {
    return store.read().zoomPercent;
}

bool saveZoomPercent(const ScoreStore& store, int percent) {
    return store.changeSettings(StoreKeys::Zoom, [&](StoredSettings& stored) {
        stored.zoomPercent = percent;
    });
}

}  // namespace quillet
