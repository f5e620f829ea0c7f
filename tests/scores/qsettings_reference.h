#pragma once

#include <QByteArray>

#include "scores/store_text.h"

namespace quillet {
namespace reference {

// The table and the switch that QSettings reads in `bytes`, lines of Qt's
// binary form left out, as the store read them before it read its own lines.
StoredSettings readWithQSettings(const QByteArray& bytes);

// What QSettings writes when the `keys` are set to `wanted` in `bytes`.
QByteArray savedWithQSettings(const QByteArray& bytes, const StoredSettings& wanted,
                              StoreKeys keys);

}  // namespace reference
}  // namespace quillet
