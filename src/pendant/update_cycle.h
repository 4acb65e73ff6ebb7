// The update tick: re-entrancy guard, first-tick actions, EStop tracking and recovery,
// port sampling with its vote and change filter, and hand-over to the pendant controller.
#pragma once
#include <cstdint>

void myUpdate();
void DoMyUpdate(bool first);
void UpdateIsRunning();
int32_t ReadStablePortByte(uint16_t address);
void ReportUnplugged(int32_t raw);
