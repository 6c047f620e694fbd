#pragma once

#include <QString>

// Every way an AI request can end without a reply, each with the fixed English text the
// HUD or the settings window shows. Some carry a detail that becomes part of that text.
class AIServiceError
{
  public:
    enum class Code
    {
        // The feature's back end is "off".
        backendOff,
        // OpenAI chosen, but no usable key is stored.
        openAIKeyMissing,
        // The on-device model cannot answer now; the detail is its status text.
        onDeviceUnavailable,
        // The OpenAI service answered with something other than a reply, or its address is
        // not one the key may be sent to; the detail says what.
        badResponse,
        // The OpenAI reply grew past the 2 MiB ceiling.
        responseTooLarge,
        // The local model server answered with an error, a reply of the wrong shape or one
        // too large; the detail says what.
        onDeviceFailed,
        // The connection failed; the detail is the network layer's own description.
        network,
        // No complete reply within the request's time limit.
        timedOut,
        // A reply with status 200 that is not JSON; the detail is the parser's description.
        invalidJSON,
    };

    static AIServiceError backendOff() { return AIServiceError(Code::backendOff); }
    static AIServiceError openAIKeyMissing() { return AIServiceError(Code::openAIKeyMissing); }
    static AIServiceError onDeviceUnavailable(const QString& status)
    {
        return AIServiceError(Code::onDeviceUnavailable, status);
    }
    static AIServiceError badResponse(const QString& detail)
    {
        return AIServiceError(Code::badResponse, detail);
    }
    static AIServiceError responseTooLarge() { return AIServiceError(Code::responseTooLarge); }
    static AIServiceError onDeviceFailed(const QString& detail)
    {
        return AIServiceError(Code::onDeviceFailed, detail);
    }
    static AIServiceError network(const QString& detail) { return AIServiceError(Code::network, detail); }
    static AIServiceError timedOut() { return AIServiceError(Code::timedOut); }
    static AIServiceError invalidJSON(const QString& detail)
    {
        return AIServiceError(Code::invalidJSON, detail);
    }

    Code code() const { return m_code; }
    const QString& detail() const { return m_detail; }
    // The user-facing text.
    QString description() const;

    bool operator==(const AIServiceError&) const = default;

  private:
    explicit AIServiceError(Code code, const QString& detail = {}) : m_code(code), m_detail(detail) {}

    Code m_code;
    QString m_detail;
};
