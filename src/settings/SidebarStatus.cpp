#include "settings/SidebarStatus.h"

#include "model/AppState.h"
#include "ui/Theme.h"

SidebarStatus SidebarStatus::from(bool accessibilityGranted, bool paused, const QString& pausedUntilLabel,
                                  bool masterEnabled)
{
    if (!accessibilityGranted)
        return {QStringLiteral("Needs permission"), Theme::amber()};
    if (paused)
        return {QStringLiteral("Paused until ") + pausedUntilLabel, Theme::amber()};
    if (masterEnabled)
        return {QStringLiteral("Active"), Theme::green()};
    return {QStringLiteral("Off"), Theme::textTertiary()};
}

SidebarStatus SidebarStatus::from(const AppState& state)
{
    return from(state.accessibilityGranted(), state.isPaused(), state.pausedUntilLabel(), state.masterEnabled());
}

QList<StatLineText> sidebarStatLines(const AppState& state)
{
    return {
        {QString::number(state.statExpansions()), QStringLiteral("expansions")},
        {QString::number(state.statCorrections()), QStringLiteral("typos fixed")},
        {QString::number(state.statCharsSaved()), QStringLiteral("keystrokes saved")},
        {state.timeSavedLabel(), QStringLiteral("time saved")},
    };
}
