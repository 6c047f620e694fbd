#pragma once

#include <QJsonObject>

class SettingsStore;

// The registered settings defaults. Registration writes nothing: a registered value is what
// a read returns while the user has stored none, so it is done again at every start.
namespace Defaults {

// The eighteen defaults, keyed by each setting's own name.
QJsonObject table();
void registerDefaults(SettingsStore& store);

} // namespace Defaults
