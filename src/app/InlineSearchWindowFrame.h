#pragma once

#include <QRect>

#include <optional>

// Where a window sits on the X desktop (root coordinates), or none when it is gone or no
// display is reachable. Places the panels on the screen of the window they were opened
// over. Main thread only; keeps one connection of its own.
std::optional<QRect> x11WindowFrame(quint64 window);
