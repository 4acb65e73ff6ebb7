// Host notifications: every code is logged under its label; the configuration
// notification re-forces the MPG #1 configuration.
#pragma once
#include <cstdint>

constexpr int32_t EX_CONFIG = 11;

void myNotify(int32_t code);
