#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <optional>

// The parts of the chat-completions exchange that the OpenAI client and the local model
// server share: the request body, reading the answer out of a reply, the error detail.
namespace ChatCompletion {

// {"model": model, "messages": [{"role": "system", …}, {"role": "user", …}]}, nothing else.
QJsonObject requestBody(const QString& model, const QString& system, const QString& user);

struct Parsed
{
    // The first choice's message content, trimmed at both ends.
    std::optional<QString> content;
    // Set when the body is not JSON at all: the parser's description.
    std::optional<QString> jsonError;
};
// Reads a status-200 body. Neither member set: valid JSON of an unexpected shape.
Parsed parseReply(const QByteArray& body);

// "HTTP <status> <start of body>": at most the first 300 bytes, cut back to the last whole
// UTF-8 character; empty after the space when those bytes are not valid UTF-8.
QString httpErrorDetail(int status, const QByteArray& body);

// The longest prefix of at most `maxBytes` bytes that ends on a character boundary,
// decoded; empty when it is not valid UTF-8.
QString utf8Prefix(const QByteArray& bytes, int maxBytes);

} // namespace ChatCompletion
