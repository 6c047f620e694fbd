#include "app/InlineSearchController.h"

#include "engine/HotKey.h"

#include <QPointer>

namespace {
QPointer<InlineSearchController> g_shared;
}

InlineSearchController::InlineSearchController(HotKeyBackend* hotKeys, QObject* parent)
    : QObject(parent), m_hotKeys(hotKeys)
{
}

InlineSearchController::~InlineSearchController() = default;

InlineSearchController* InlineSearchController::shared()
{
    return g_shared;
}

void InlineSearchController::setShared(InlineSearchController* controller)
{
    g_shared = controller;
}

void InlineSearchController::registerHotKey()
{
    m_hotKey.reset();
    if (!m_hotKeys)
        return;
    QPointer<InlineSearchController> self(this);
    m_hotKey = HotKey::create(*m_hotKeys, Key::Space, Modifier::Control | Modifier::Alt, [self] {
        if (self)
            self->toggle();
    });
}

void InlineSearchController::toggle()
{
    show();
}

void InlineSearchController::show()
{
}
