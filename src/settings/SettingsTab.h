#pragma once

#include <QList>
#include <QString>

#include <optional>

// The four pages of the settings window, in sidebar order.
enum class SettingsTab
{
    snippets,
    corrections,
    suggestions,
    general,
};

namespace SettingsTabs {

const QList<SettingsTab>& allCases();
QString rawValue(SettingsTab tab);
std::optional<SettingsTab> fromRawValue(const QString& raw);
QString title(SettingsTab tab);
QString symbol(SettingsTab tab);

} // namespace SettingsTabs
