#pragma once

#include "model/Models.h"

#include <QString>

// What the settings pickers show for each back end, in the order of allAIBackends().
QString aiBackendLabel(AIBackend backend);
