#pragma once

#include <QList>
#include <QString>

#include <functional>

class AppState;
class QMenu;

// What the tray menu shows, computed afresh from the store each time it is built, so every
// title and rule is checked without a menu on screen.
struct MenuInputs
{
    bool accessibilityGranted = true;
    bool masterEnabled = true;
    bool paused = false;
    QString pausedUntilLabel;
    qint64 statExpansions = 0;
    qint64 statCorrections = 0;
    QString timeSavedLabel;
    int suggestionCount = 0;
    bool hasLastExpansion = false;
    bool aiWritingOn = false;
    bool canCheckForUpdates = false;

    static MenuInputs from(const AppState& state, int suggestionCount, bool canCheckForUpdates);
};

enum class MenuAction
{
    none,
    enable,
    fixPermission,
    resume,
    pause15,
    pause60,
    review,
    insertLastExpansion,
    editLastExpansion,
    searchSnippets,
    newSnippetFromSelection,
    rewriteSelection,
    openWindow,
    checkForUpdates,
    quit,
};

struct MenuRow
{
    enum class Kind
    {
        toggle,
        button,
        text,
        divider,
    };
    Kind kind = Kind::button;
    MenuAction action = MenuAction::none;
    QString title;
    // The key hint shown beside the title (Qt's native text, e.g. "Ctrl+Alt+Space").
    QString shortcut;
    bool checked = false;
    bool enabled = true;
};

// The rows that are shown, top to bottom.
QList<MenuRow> menuRows(const MenuInputs& in);

// Fills `menu` with the rows; each chosen row calls `act` with its action. The actions are
// queued, so they run after the menu has closed.
void fillMenu(QMenu& menu, const QList<MenuRow>& rows, const std::function<void(MenuAction)>& act);
