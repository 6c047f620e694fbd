#pragma once

#include "platform/PlatformServices.h"

#include <QByteArray>

// Builds the X11 set of platform services, wired together: the monitor knows the
// injector's connection and reports keyboard grabs to secure input, which in turn
// silences the monitor. Empty display name: $DISPLAY. Nothing connects before it is
// used; the typing connection opens with the first job, on the injector's thread.
std::unique_ptr<PlatformServices> createX11PlatformServices(const QByteArray& displayName = {});
