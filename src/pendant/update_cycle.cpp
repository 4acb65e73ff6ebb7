// Placeholder until the update cycle lands.
#include "pendant/update_cycle.h"

#include "pendant/plugin_state.h"

PluginState pluginState;

void myUpdate() {}
