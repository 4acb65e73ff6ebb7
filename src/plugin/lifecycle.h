// The bodies behind the host's entry points.
#pragma once
#include <cstdint>

void myInitControl();
int32_t myPostInitControl();
void myCleanUp();
void myProbe();
void myPurge(int16_t value);
