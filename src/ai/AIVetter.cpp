#include "ai/AIVetter.h"

#include "ai/OpenAIClient.h"
#include "model/AppState.h"
#include "model/AtomicFile.h"

#include <QFile>
#include <QStringDecoder>

namespace {

AIVetter* g_shared = nullptr;

// A key is a few hundred bytes at most; anything far larger is not one.
constexpr qint64 maxKeyFileBytes = 64 * 1024;

} // namespace

AIVetter::AIVetter(OpenAIClient& client, QObject* parent) : QObject(parent), m_client(client)
{
    m_hasKey = loadKey().has_value();
}

AIVetter::~AIVetter()
{
    if (g_shared == this)
        g_shared = nullptr;
}

AIVetter* AIVetter::shared()
{
    return g_shared;
}

void AIVetter::setShared(AIVetter* vetter)
{
    g_shared = vetter;
}

QString AIVetter::keyFilePath()
{
    return AppState::filePath(keyFileName());
}

void AIVetter::setHasKey(bool v)
{
    if (m_hasKey == v)
        return;
    m_hasKey = v;
    Q_EMIT hasKeyChanged(v);
}

void AIVetter::setIsVetting(bool v)
{
    if (m_isVetting == v)
        return;
    m_isVetting = v;
    Q_EMIT isVettingChanged(v);
}

void AIVetter::setLastError(const std::optional<QString>& v)
{
    if (m_lastError == v)
        return;
    m_lastError = v;
    Q_EMIT lastErrorChanged();
}

bool AIVetter::saveKey(const QString& key)
{
    const QString trimmed = key.trimmed();
    if (trimmed.isEmpty()) {
        removeKey();
        return false;
    }
    if (OpenAIClient::isUsableKey(trimmed)) {
        // Written 0600 from its first byte, never readable by anyone else in between.
        AtomicFile::write(keyFilePath(), trimmed.toUtf8());
    }
    const std::optional<QString> stored = loadKey();
    setHasKey(stored.has_value());
    return stored == trimmed;
}

void AIVetter::removeKey()
{
    QFile::remove(keyFilePath());
    setHasKey(loadKey().has_value());
}

std::optional<QString> AIVetter::loadKey()
{
    const QString path = keyFilePath();
    const std::optional<QByteArray> bytes = AtomicFile::read(path, maxKeyFileBytes);
    if (!bytes)
        return std::nullopt;
    AtomicFile::makePrivate(path);
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString key = QString(decoder.decode(*bytes)).trimmed();
    if (decoder.hasError() || !OpenAIClient::isUsableKey(key))
        return std::nullopt;
    return key;
}

AIReply* AIVetter::complete(const QString& key, const QString& system, const QString& user)
{
    return m_client.complete(key, system, user);
}

AIReply* AIVetter::chatCompletion(const QString& key, const QJsonObject& body)
{
    return m_client.chatCompletion(key, body);
}
