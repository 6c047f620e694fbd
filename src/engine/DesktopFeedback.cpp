#include "engine/DesktopFeedback.h"

#include "engine/ExpansionHUD.h"
#include "engine/SoundPlayer.h"

DesktopFeedback::DesktopFeedback(ExpansionHUD& hud, QObject* parent) : QObject(parent), m_hud(&hud) {}

void DesktopFeedback::showHud(const QString& message)
{
    // The first show creates the window, which costs far more than a keystroke may.
    QMetaObject::invokeMethod(
        this,
        [this, message] {
            if (m_hud)
                m_hud->show(message);
        },
        Qt::QueuedConnection);
}

void DesktopFeedback::playSound(const QString& name)
{
    SoundPlayer::play(name);
}
