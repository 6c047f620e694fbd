#pragma once

#include "library/SnippetImport.h"

#include <QStringList>

// A parse outcome as short lines a table can state: "trigger=content" for loose snippets,
// "Group/trigger=content" for grouped ones ("$" after the trigger marks a shell snippet),
// "skipped:N", or just "!unrecognized" / "!malformed".
inline QStringList describe(const SnippetImport::Outcome& outcome)
{
    if (!outcome.ok())
        return {*outcome.error == SnippetImport::ImportError::unrecognized ? QStringLiteral("!unrecognized")
                                                                           : QStringLiteral("!malformed")};
    const auto line = [](const Snippet& s) {
        return s.trigger + (s.kind == SnippetKind::shell ? QStringLiteral("$") : QString()) + QLatin1Char('=') +
               s.content;
    };
    QStringList out;
    for (const Snippet& s : outcome.result.snippets)
        out << line(s);
    for (const SnippetImport::ImportedGroup& g : outcome.result.groups) {
        for (const Snippet& s : g.snippets)
            out << g.name + QLatin1Char('/') + line(s);
    }
    if (outcome.result.skipped != 0)
        out << QStringLiteral("skipped:%1").arg(outcome.result.skipped);
    return out;
}
