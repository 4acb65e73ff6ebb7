// Keeps the host's MPG #1 encoder input where the board's wiring needs it.
#pragma once

// Compares the host's MPG #1 configuration with the board's and, when any field differs,
// writes all of them and raises alert 100.
void ForceMPGConfig();
