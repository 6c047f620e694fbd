#include "FakeFrontApp.h"

bool FakeFrontApp::activate(quint64 window, quint32)
{
    activations << window;
    if (!m_windows.contains(window))
        return false;
    if (!deferActivation)
        bringToFront(window);
    return true;
}

void FakeFrontApp::addWindow(quint64 window, const QString& appKey, bool own)
{
    m_windows.insert(window, Window{appKey, own});
}

void FakeFrontApp::bringToFront(quint64 window)
{
    const Window w = m_windows.value(window);
    m_window = window;
    m_appKey = w.appKey;
    m_own = w.own;
    emit frontChanged(m_appKey);
}
