#pragma once

#include <QJsonObject>
#include <QObject>
#include <QString>

#include <optional>

class AIReply;
class OpenAIClient;

// The user's OpenAI key and the OpenAI side of the AI features: the key file in the data
// folder, whether a key is stored, and the requests that use it. Main thread only.
class AIVetter : public QObject
{
    Q_OBJECT

  public:
    static QString keyFileName() { return QStringLiteral("openai_api_key"); }
    static QString keyFilePath();

    explicit AIVetter(OpenAIClient& client, QObject* parent = nullptr);
    ~AIVetter() override;

    static AIVetter* shared();
    static void setShared(AIVetter* vetter);

    OpenAIClient& client() const { return m_client; }

    // Whether a usable key is stored, as last seen by creation, saveKey or removeKey.
    bool hasKey() const { return m_hasKey; }
    // A batch vetting request is under way, and the text of the last one that failed.
    bool isVetting() const { return m_isVetting; }
    void setIsVetting(bool v);
    std::optional<QString> lastError() const { return m_lastError; }
    void setLastError(const std::optional<QString>& v);

    // Stores the key without surrounding white space; blank removes the stored key. A key
    // that could not be used in a request (control characters, non-ASCII) is not stored
    // and the file stays as it was. True when this key is now the stored one.
    bool saveKey(const QString& key);
    void removeKey();
    // Reads the file afresh: the trimmed key, or none when the file is missing,
    // unreadable, blank or holds something that is not a usable key. Puts the file back to
    // owner-only access if someone widened it.
    static std::optional<QString> loadKey();

    AIReply* complete(const QString& key, const QString& system, const QString& user);
    AIReply* chatCompletion(const QString& key, const QJsonObject& body);

  Q_SIGNALS:
    void hasKeyChanged(bool);
    void isVettingChanged(bool);
    void lastErrorChanged();

  private:
    void setHasKey(bool v);

    OpenAIClient& m_client;
    bool m_hasKey = false;
    bool m_isVetting = false;
    std::optional<QString> m_lastError;
};
