#pragma once

#include <QColor>
#include <QList>
#include <QString>

class AppState;

// What the sidebar's status block says, derived from the store alone so it can be checked
// without a window.
struct SidebarStatus
{
    QString text;
    QColor color;

    // Missing capability first, then a pause (also while expansion is off), then on or off.
    static SidebarStatus from(bool accessibilityGranted, bool paused, const QString& pausedUntilLabel,
                              bool masterEnabled);
    static SidebarStatus from(const AppState& state);
};

struct StatLineText
{
    QString value;
    QString label;
};

// The four running counters, values as plain decimals (no grouping, no abbreviation).
QList<StatLineText> sidebarStatLines(const AppState& state);
