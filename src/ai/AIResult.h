#pragma once

#include "ai/AIServiceError.h"

#include <QString>

#include <optional>

// How one AI request ended: the reply's text (trimmed at both ends) or an error.
struct AIResult
{
    QString text;
    std::optional<AIServiceError> error;

    bool ok() const { return !error.has_value(); }

    static AIResult success(const QString& text) { return AIResult{text, std::nullopt}; }
    static AIResult failure(const AIServiceError& error) { return AIResult{QString(), error}; }
};
