#pragma once

#include <QtGlobal>

// Whether a compositing manager runs on the X screen Qt uses: only then can a window be
// see-through or fade. A compositor can start or stop at any time, so this asks the X
// server each time (one round trip on Qt's own connection). False off X11.
class X11CompositorProbe
{
  public:
    X11CompositorProbe();
    bool isCompositing() const;

  private:
    int m_screen = 0;
    mutable quint32 m_selection = 0;
};
