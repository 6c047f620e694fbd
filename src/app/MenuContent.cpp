#include "app/MenuContent.h"

#include "model/AppState.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QTimer>

namespace {

QString hint(const QKeySequence& keys)
{
    return keys.toString(QKeySequence::NativeText);
}

MenuRow button(MenuAction action, const QString& title, const QString& shortcut = {}, bool enabled = true)
{
    MenuRow row;
    row.kind = MenuRow::Kind::button;
    row.action = action;
    row.title = title;
    row.shortcut = shortcut;
    row.enabled = enabled;
    return row;
}

MenuRow divider()
{
    MenuRow row;
    row.kind = MenuRow::Kind::divider;
    return row;
}

} // namespace

MenuInputs MenuInputs::from(const AppState& state, int suggestionCount, bool canCheckForUpdates)
{
    MenuInputs in;
    in.accessibilityGranted = state.accessibilityGranted();
    in.masterEnabled = state.masterEnabled();
    in.paused = state.isPaused();
    in.pausedUntilLabel = state.pausedUntilLabel();
    in.statExpansions = state.statExpansions();
    in.statCorrections = state.statCorrections();
    in.timeSavedLabel = state.timeSavedLabel();
    in.suggestionCount = suggestionCount;
    in.hasLastExpansion = state.lastExpansion().has_value();
    in.aiWritingOn = state.aiWritingBackend() != AIBackend::off;
    in.canCheckForUpdates = canCheckForUpdates;
    return in;
}

QList<MenuRow> menuRows(const MenuInputs& in)
{
    QList<MenuRow> rows;
    MenuRow enable;
    enable.kind = MenuRow::Kind::toggle;
    enable.action = MenuAction::enable;
    enable.title = QStringLiteral("Enable Quenvil");
    enable.checked = in.masterEnabled;
    rows.append(enable);
    if (!in.accessibilityGranted)
        rows.append(button(MenuAction::fixPermission, QStringLiteral("Fix Accessibility permission\u2026")));
    if (in.paused) {
        rows.append(
            button(MenuAction::resume, QStringLiteral("Resume now \u2014 paused until ") + in.pausedUntilLabel));
    } else if (in.masterEnabled) {
        rows.append(button(MenuAction::pause15, QStringLiteral("Pause for 15 minutes")));
        rows.append(button(MenuAction::pause60, QStringLiteral("Pause for 1 hour")));
    }
    rows.append(divider());

    MenuRow stats;
    stats.kind = MenuRow::Kind::text;
    stats.title = QString::number(in.statExpansions) + QStringLiteral(" expansions \u00b7 ") +
                  QString::number(in.statCorrections) + QStringLiteral(" fixes \u00b7 ") + in.timeSavedLabel +
                  QStringLiteral(" saved");
    stats.enabled = false;
    rows.append(stats);
    if (in.suggestionCount >= 1) {
        rows.append(button(MenuAction::review, QStringLiteral("Review ") + QString::number(in.suggestionCount) +
                                                   QStringLiteral(" suggestion") +
                                                   (in.suggestionCount == 1 ? QString() : QStringLiteral("s")) +
                                                   QStringLiteral("\u2026")));
    }
    if (in.hasLastExpansion) {
        rows.append(button(MenuAction::insertLastExpansion, QStringLiteral("Insert last expansion again")));
        rows.append(button(MenuAction::editLastExpansion, QStringLiteral("Edit last expanded snippet\u2026")));
    }
    const auto ctrlAlt = Qt::CTRL | Qt::ALT;
    rows.append(button(MenuAction::searchSnippets, QStringLiteral("Search snippets\u2026"),
                       hint(QKeySequence(ctrlAlt | Qt::Key_Space))));
    rows.append(button(MenuAction::newSnippetFromSelection, QStringLiteral("New snippet from selection\u2026"),
                       hint(QKeySequence(ctrlAlt | Qt::Key_N))));
    if (in.aiWritingOn) {
        rows.append(button(MenuAction::rewriteSelection, QStringLiteral("Rewrite selection with AI\u2026"),
                           hint(QKeySequence(ctrlAlt | Qt::Key_R))));
    }
    rows.append(divider());
    rows.append(button(MenuAction::openWindow, QStringLiteral("Open Quenvil\u2026"),
                       hint(QKeySequence(Qt::CTRL | Qt::Key_Comma))));
    rows.append(
        button(MenuAction::checkForUpdates, QStringLiteral("Check for Updates\u2026"), {}, in.canCheckForUpdates));
    rows.append(divider());
    rows.append(button(MenuAction::quit, QStringLiteral("Quit Quenvil"), hint(QKeySequence(Qt::CTRL | Qt::Key_Q))));
    return rows;
}

void fillMenu(QMenu& menu, const QList<MenuRow>& rows, const std::function<void(MenuAction)>& act)
{
    menu.clear();
    for (const MenuRow& row : rows) {
        if (row.kind == MenuRow::Kind::divider) {
            menu.addSeparator();
            continue;
        }
        QAction* action = menu.addAction(row.title);
        // Titles are ours, but the pause label and counters are data: keep "&" literal.
        action->setText(QString(row.title).replace(QLatin1Char('&'), QStringLiteral("&&")));
        action->setEnabled(row.enabled);
        if (!row.shortcut.isEmpty())
            action->setShortcut(QKeySequence(row.shortcut, QKeySequence::NativeText));
        if (row.kind == MenuRow::Kind::toggle) {
            action->setCheckable(true);
            action->setChecked(row.checked);
        }
        if (row.kind == MenuRow::Kind::text || row.action == MenuAction::none)
            continue;
        const MenuAction what = row.action;
        // Queued: the menu closes (and gives its keyboard grab back) before anything runs.
        QMenu* context = &menu;
        QObject::connect(action, &QAction::triggered, context, [act, what, context] {
            QTimer::singleShot(0, context, [act, what] { act(what); });
        });
    }
}
