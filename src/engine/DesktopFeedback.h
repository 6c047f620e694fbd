#pragma once

#include "engine/ExpansionFeedback.h"

#include <QObject>
#include <QPointer>

class ExpansionHUD;

// The typing engine's confirmations on the desktop: the HUD and the chosen sound. Called
// inside the keystroke callback, so both only queue their work for the event loop.
class DesktopFeedback : public QObject, public ExpansionFeedback
{
    Q_OBJECT

  public:
    explicit DesktopFeedback(ExpansionHUD& hud, QObject* parent = nullptr);

    void showHud(const QString& message) override;
    void playSound(const QString& name) override;

  private:
    QPointer<ExpansionHUD> m_hud;
};
