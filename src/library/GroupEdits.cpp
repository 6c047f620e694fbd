#include "library/GroupEdits.h"

#include "model/AppState.h"
#include "model/Text.h"

namespace GroupEdits {

QUuid addGroup(AppState& state)
{
    SnippetGroup g;
    g.id = QUuid::createUuid();
    g.name = QStringLiteral("New group");
    g.enabled = true;
    g.triggerPrefix.clear();
    g.appMode = AppScopeMode::all;
    g.appList.clear();
    QList<SnippetGroup> list = state.groups();
    list.append(g);
    state.setGroups(list);
    return g.id;
}

std::optional<SnippetGroup> find(const AppState& state, const QUuid& id)
{
    for (const SnippetGroup& g : state.groups()) {
        if (g.id == id)
            return g;
    }
    return std::nullopt;
}

bool update(AppState& state, const QUuid& id, const std::function<void(SnippetGroup&)>& change)
{
    QList<SnippetGroup> list = state.groups();
    for (SnippetGroup& g : list) {
        if (g.id != id)
            continue;
        const SnippetGroup before = g;
        change(g);
        if (g == before)
            return false;
        state.setGroups(list);
        return true;
    }
    return false;
}

bool addApp(AppState& state, const QUuid& id, const QString& typed)
{
    const QString app = Text::trimSpacesAndTabs(typed);
    if (app.isEmpty())
        return false;
    return update(state, id, [&](SnippetGroup& g) {
        if (!g.appList.contains(app))
            g.appList.append(app);
    });
}

void removeApp(AppState& state, const QUuid& id, const QString& bundleID)
{
    update(state, id, [&](SnippetGroup& g) { g.appList.removeAll(bundleID); });
}

int memberCount(const QList<Snippet>& snippets, const QUuid& id)
{
    int n = 0;
    for (const Snippet& s : snippets) {
        if (s.groupID == id)
            ++n;
    }
    return n;
}

std::optional<QString> prefixSentence(const QString& prefix)
{
    if (prefix.isEmpty())
        return std::nullopt;
    return QStringLiteral("Members expand on ") + prefix +
           QStringLiteral("trigger — the prefix is typed before each trigger.");
}

std::optional<QString> scopeSentence(AppScopeMode mode)
{
    switch (mode) {
    case AppScopeMode::all:
        return std::nullopt;
    case AppScopeMode::allExcept:
        return QStringLiteral("Snippets in this group expand everywhere except these apps (window classes):");
    case AppScopeMode::onlyIn:
        return QStringLiteral("Snippets in this group expand only in these apps (window classes):");
    }
    return std::nullopt;
}

QString scopeTitle(AppScopeMode mode)
{
    switch (mode) {
    case AppScopeMode::all:
        return QStringLiteral("Everywhere");
    case AppScopeMode::allExcept:
        return QStringLiteral("All apps except…");
    case AppScopeMode::onlyIn:
        return QStringLiteral("Only in…");
    }
    return {};
}

} // namespace GroupEdits
