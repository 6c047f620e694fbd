#include "settings/SettingsTab.h"

namespace SettingsTabs {

const QList<SettingsTab>& allCases()
{
    static const QList<SettingsTab> tabs = {SettingsTab::snippets, SettingsTab::corrections,
                                            SettingsTab::suggestions, SettingsTab::general};
    return tabs;
}

QString rawValue(SettingsTab tab)
{
    switch (tab) {
    case SettingsTab::snippets:
        return QStringLiteral("snippets");
    case SettingsTab::corrections:
        return QStringLiteral("corrections");
    case SettingsTab::suggestions:
        return QStringLiteral("suggestions");
    case SettingsTab::general:
        return QStringLiteral("general");
    }
    return {};
}

std::optional<SettingsTab> fromRawValue(const QString& raw)
{
    for (SettingsTab tab : allCases()) {
        if (rawValue(tab) == raw)
            return tab;
    }
    return std::nullopt;
}

QString title(SettingsTab tab)
{
    switch (tab) {
    case SettingsTab::snippets:
        return QStringLiteral("Snippets");
    case SettingsTab::corrections:
        return QStringLiteral("Spell Fix");
    case SettingsTab::suggestions:
        return QStringLiteral("Suggestions");
    case SettingsTab::general:
        return QStringLiteral("General");
    }
    return {};
}

QString symbol(SettingsTab tab)
{
    switch (tab) {
    case SettingsTab::snippets:
        return QStringLiteral("text.badge.plus");
    case SettingsTab::corrections:
        return QStringLiteral("wand.and.sparkles");
    case SettingsTab::suggestions:
        return QStringLiteral("lightbulb");
    case SettingsTab::general:
        return QStringLiteral("gearshape");
    }
    return {};
}

} // namespace SettingsTabs
