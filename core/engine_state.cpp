#include "engine_state.h"

EngineState g_engine = {kSourceNone, false, false, false, false, false, false, false, {0, 0}, "untitled", "", {}, 0, {}};
