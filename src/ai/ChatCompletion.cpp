#include "ai/ChatCompletion.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QStringDecoder>

namespace ChatCompletion {

QJsonObject requestBody(const QString& model, const QString& system, const QString& user)
{
    const QJsonArray messages{
        QJsonObject{{QStringLiteral("role"), QStringLiteral("system")}, {QStringLiteral("content"), system}},
        QJsonObject{{QStringLiteral("role"), QStringLiteral("user")}, {QStringLiteral("content"), user}},
    };
    return QJsonObject{{QStringLiteral("model"), model}, {QStringLiteral("messages"), messages}};
}

Parsed parseReply(const QByteArray& body)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError)
        return Parsed{std::nullopt, error.errorString()};
    const QJsonValue choices = doc.object().value(QLatin1String("choices"));
    if (!doc.isObject() || !choices.isArray() || choices.toArray().isEmpty())
        return {};
    const QJsonValue first = choices.toArray().first();
    const QJsonValue message = first.toObject().value(QLatin1String("message"));
    if (!first.isObject() || !message.isObject())
        return {};
    const QJsonValue content = message.toObject().value(QLatin1String("content"));
    if (!content.isString())
        return {};
    return Parsed{content.toString().trimmed(), std::nullopt};
}

QString utf8Prefix(const QByteArray& bytes, int maxBytes)
{
    QByteArray head = bytes.left(maxBytes);
    if (bytes.size() > maxBytes) {
        // Step back over the continuation bytes at the cut; if the character they belong
        // to needs more bytes than remain, it was split and goes as a whole.
        qsizetype i = head.size();
        int continuation = 0;
        while (i > 0 && continuation < 3 && (uchar(head.at(i - 1)) & 0xC0) == 0x80) {
            --i;
            ++continuation;
        }
        if (i > 0) {
            const uchar lead = uchar(head.at(i - 1));
            const int length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
            if (length > 1 && continuation + 1 < length)
                head.truncate(i - 1);
        }
    }
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(head);
    return decoder.hasError() ? QString() : text;
}

QString httpErrorDetail(int status, const QByteArray& body)
{
    return QStringLiteral("HTTP ") + QString::number(status) + QLatin1Char(' ') + utf8Prefix(body, 300);
}

} // namespace ChatCompletion
