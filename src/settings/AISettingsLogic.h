#pragma once

#include "model/Models.h"

#include <QList>
#include <QString>

#include <optional>

// The rules of the AI card: what each block shows and how its buttons stand.
namespace AISettingsLogic {

const QList<AIBackend>& backends();
QString backendLabel(AIBackend backend);

// "A model server on this computer runs the model … " + the status sentence + ".".
QString onDeviceSubtitle(const QString& statusText);
QString writingSubtitle(const QString& rewriteKeys);
QString keySubtitle(const QString& model);

// Why an on-device server address is not taken; none when it is (an empty one clears it).
std::optional<QString> addressProblem(const QString& url);

constexpr int kMinSamples = 5;

struct ToneInput
{
    bool useToneProfile = false;
    AIBackend writingBackend = AIBackend::off;
    int samples = 0;
    bool hasProfile = false;
    bool ready = false;
    bool building = false;
};

struct ToneBlock
{
    bool shown = false;
    // The "No profile yet" sentence; empty when a profile is shown.
    QString emptyText;
    QString buttonTitle;
    bool prominent = false;
    bool enabled = false;
    qreal opacity = 1.0;
    // "from N samples"; empty without a profile.
    QString sampleCount;
    bool operator==(const ToneBlock&) const = default;
};

ToneBlock toneBlock(const ToneInput& in);

// "Save key" is only dimmed while nothing but spaces and tabs is typed; it stays clickable.
qreal saveKeyOpacity(const QString& typed);

// Why a key was not stored: one that no request could carry, or a file that could not be
// written in `dataFolder`.
QString keyRefusal(const QString& typed, const QString& dataFolder);

} // namespace AISettingsLogic
