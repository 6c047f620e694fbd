#include "settings/AISettingsLogic.h"

#include "ai/OnDeviceModel.h"
#include "ai/OpenAIClient.h"
#include "model/Text.h"

namespace AISettingsLogic {

const QList<AIBackend>& backends()
{
    static const QList<AIBackend> all{AIBackend::off, AIBackend::onDevice, AIBackend::openAI};
    return all;
}

QString backendLabel(AIBackend backend)
{
    switch (backend) {
    case AIBackend::off:
        return QStringLiteral("Off");
    case AIBackend::onDevice:
        return QStringLiteral("On-device");
    case AIBackend::openAI:
        return QStringLiteral("OpenAI");
    }
    return {};
}

QString onDeviceSubtitle(const QString& statusText)
{
    return QStringLiteral("A model server on this computer runs the model \u2014 free, offline, and nothing ever "
                          "leaves your machine. ") +
           statusText + QStringLiteral(".");
}

QString writingSubtitle(const QString& rewriteKeys)
{
    return QStringLiteral("The {ai:\u2026} placeholder and the \u201CRewrite selection with AI\u201D hotkey (") +
           rewriteKeys +
           QStringLiteral("). Only the snippet's prompt or your selected text is used \u2014 never your keystroke "
                          "history \u2014 and only when you trigger it.");
}

QString keySubtitle(const QString& model)
{
    return QStringLiteral("Required for any feature set to OpenAI (") + model +
           QStringLiteral("). Only candidate strings, prompts, or selected text are sent \u2014 never your "
                          "keystrokes. Stored only on this computer.");
}

std::optional<QString> addressProblem(const QString& url)
{
    const QString trimmed = url.trimmed();
    if (trimmed.isEmpty() || OnDeviceModel::endpointFor(trimmed, QString()))
        return std::nullopt;
    return QStringLiteral("Not saved: the model server must run on this computer. Use an http address on "
                          "localhost or 127.0.0.1, such as http://127.0.0.1:11434.");
}

ToneBlock toneBlock(const ToneInput& in)
{
    ToneBlock b;
    b.shown = in.useToneProfile && in.writingBackend != AIBackend::off;
    if (!in.hasProfile) {
        b.emptyText = QStringLiteral("No profile yet \u2014 keep typing. ") + QString::number(in.samples) +
                      QLatin1Char('/') + QString::number(kMinSamples) +
                      QStringLiteral(" writing samples gathered (all on-device).");
    } else {
        b.sampleCount = QStringLiteral("from ") + QString::number(in.samples) + QStringLiteral(" samples");
    }
    if (in.building)
        b.buttonTitle = QStringLiteral("Building\u2026");
    else
        b.buttonTitle = in.hasProfile ? QStringLiteral("Refresh profile") : QStringLiteral("Build profile");
    b.prominent = !in.hasProfile;
    const bool blocked = in.samples < kMinSamples || !in.ready || in.building;
    b.enabled = !blocked;
    b.opacity = blocked ? 0.4 : 1.0;
    return b;
}

qreal saveKeyOpacity(const QString& typed)
{
    return Text::trimSpacesAndTabs(typed).isEmpty() ? 0.4 : 1.0;
}

QString keyRefusal(const QString& typed, const QString& dataFolder)
{
    if (!OpenAIClient::isUsableKey(typed.trimmed()))
        return QStringLiteral("Not saved: a key is one line of plain ASCII letters, digits and signs, without "
                              "control characters.");
    return QStringLiteral("Not saved: the key file could not be written in ") + dataFolder + QStringLiteral(".");
}

} // namespace AISettingsLogic
