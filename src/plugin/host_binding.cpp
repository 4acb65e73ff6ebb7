#include "plugin/host_binding.h"

HostBinding host;
