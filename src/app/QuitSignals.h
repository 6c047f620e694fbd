#pragma once

#include <functional>

class QObject;

// TERM, INT and HUP end the event loop normally, so what is pending is written on the way
// out. When the display goes away (logout, a crashed X server) Qt ends the process from
// inside the event loop with exit(); `saveAtExit` still runs then.
namespace QuitSignals {

void install(QObject* context, std::function<void()> saveAtExit);
void uninstall();

} // namespace QuitSignals
