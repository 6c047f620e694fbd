#include "app/UpdaterController.h"

#include <QPointer>

namespace {
QPointer<UpdaterController> g_shared;
}

UpdaterController::UpdaterController(QObject* parent) : QObject(parent)
{
}

UpdaterController* UpdaterController::shared()
{
    return g_shared;
}

void UpdaterController::setShared(UpdaterController* controller)
{
    g_shared = controller;
}

void UpdaterController::checkForUpdates()
{
    if (!m_canCheck)
        return;
}
