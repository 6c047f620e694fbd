#pragma once

#include "engine/ContentRenderer.h"
#include "model/Models.h"

#include <QString>

// Snippets whose text comes from elsewhere: a shell command, a model, a fill-in form.
// Each returns false when it declines (scripts disabled, no AI back end, nothing to ask):
// the engine then carries on as if no trigger had matched, so the buffer never goes out
// of step with the screen. Until installed, every producer declines.
class DetourProducers
{
public:
    virtual ~DetourProducers() = default;
    virtual bool runScriptExpansion(const Snippet& snippet, int backspaces, const QString& suffix) { return false; }
    virtual bool runAIExpansion(const Snippet& snippet, int backspaces, const QString& suffix) { return false; }
    // `plain` is the rendered text and `literals` where the clipboard's text sits in it (no
    // field can come from there); true when it holds fields and the form was presented.
    virtual bool presentFillIn(const QString& plain, const QList<ContentRenderer::LiteralRange>& literals,
                               int backspaces, const QString& suffix)
    {
        return false;
    }
};
