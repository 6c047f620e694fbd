#include "engine/SoundPlayer.h"

#include "platform/SoundOutput.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <atomic>

namespace {

std::atomic<SoundOutput*> g_output{nullptr};

struct Sound
{
    const char* name;
    const char* eventId;
};

// Each name gets an event of the freedesktop theme that sounds roughly alike: short and
// soft for the light ones, low for the dull ones. Every id is distinct and present in
// sound-theme-freedesktop, so any installed theme's variant plays.
constexpr Sound kSounds[] = {
    {"Basso", "dialog-error"},
    {"Blow", "dialog-warning"},
    {"Bottle", "message-new-instant"},
    {"Frog", "phone-outgoing-busy"},
    {"Funk", "suspend-error"},
    {"Glass", "complete"},
    {"Hero", "service-login"},
    {"Morse", "window-attention"},
    {"Ping", "bell"},
    {"Pop", "message"},
    {"Purr", "device-added"},
    {"Sosumi", "dialog-information"},
    {"Submarine", "network-connectivity-established"},
    {"Tink", "audio-volume-change"},
};

} // namespace

namespace SoundPlayer {

const QStringList& soundNames()
{
    static const QStringList names = [] {
        QStringList list;
        for (const Sound& s : kSounds)
            list.append(QString::fromLatin1(s.name));
        return list;
    }();
    return names;
}

QString eventId(const QString& name)
{
    for (const Sound& s : kSounds)
        if (name == QLatin1String(s.name))
            return QString::fromLatin1(s.eventId);
    return {};
}

void setOutput(SoundOutput* output)
{
    g_output.store(output);
}

void play(const QString& name)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return;
    QMetaObject::invokeMethod(
        app,
        [name] {
            const QString id = eventId(name);
            if (SoundOutput* output = g_output.load(); output && !id.isEmpty())
                output->playEvent(id);
        },
        Qt::QueuedConnection);
}

} // namespace SoundPlayer
