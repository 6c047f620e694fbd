#pragma once

#include <QString>

// Where Quenvil keeps its files. Everything follows XDG_DATA_HOME and XDG_CONFIG_HOME, so a
// test or a user can point the whole application at other folders.
namespace Paths {

// $XDG_DATA_HOME (default ~/.local/share): the counterpart of Application Support.
QString dataHome();
// $XDG_CONFIG_HOME/Quenvil (default ~/.config/Quenvil).
QString configDir();
// $XDG_CONFIG_HOME (default ~/.config).
QString configHome();

} // namespace Paths
