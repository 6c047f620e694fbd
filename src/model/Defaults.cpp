#include "model/Defaults.h"

#include "model/Models.h"
#include "model/SettingsStore.h"

#include <QJsonArray>

namespace Defaults {

QJsonObject table()
{
    return QJsonObject{
        {QStringLiteral("masterEnabled"), true},
        {QStringLiteral("expansionMode"), QStringLiteral("instant")},
        {QStringLiteral("spellFixEnabled"), true},
        {QStringLiteral("doubleCapitalFixEnabled"), true},
        {QStringLiteral("soundEnabled"), true},
        {QStringLiteral("soundName"), QStringLiteral("Pop")},
        {QStringLiteral("correctionSoundEnabled"), false},
        {QStringLiteral("hudEnabled"), true},
        {QStringLiteral("spellFixExcludedApps"), QJsonArray::fromStringList(TerminalApps::defaultSpellFixExclusions())},
        {QStringLiteral("learningEnabled"), true},
        {QStringLiteral("typingWPM"), 40.0},
        {QStringLiteral("scriptSnippetsEnabled"), false},
        {QStringLiteral("inlineSuggestionsEnabled"), true},
        {QStringLiteral("aiSnippetsEnabled"), false},
        {QStringLiteral("aiWritingBackend"), QStringLiteral("off")},
        {QStringLiteral("aiVettingBackend"), QStringLiteral("off")},
        {QStringLiteral("aiLearningBackend"), QStringLiteral("off")},
        {QStringLiteral("useToneProfile"), true},
    };
}

void registerDefaults(SettingsStore& store) { store.registerDefaults(table()); }

} // namespace Defaults
