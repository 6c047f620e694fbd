#include "app/QuickCaptureController.h"

#include "engine/HotKey.h"

#include <QPointer>

namespace {
QPointer<QuickCaptureController> g_shared;
}

QuickCaptureController::QuickCaptureController(HotKeyBackend* hotKeys, QObject* parent)
    : QObject(parent), m_hotKeys(hotKeys)
{
}

QuickCaptureController::~QuickCaptureController() = default;

QuickCaptureController* QuickCaptureController::shared()
{
    return g_shared;
}

void QuickCaptureController::setShared(QuickCaptureController* controller)
{
    g_shared = controller;
}

void QuickCaptureController::registerHotKey()
{
    m_hotKey.reset();
    if (!m_hotKeys)
        return;
    QPointer<QuickCaptureController> self(this);
    m_hotKey = HotKey::create(*m_hotKeys, Key::N, Modifier::Control | Modifier::Alt, [self] {
        if (self)
            self->present();
    });
}

void QuickCaptureController::present()
{
}
