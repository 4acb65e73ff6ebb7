// Resource id of the configuration dialog, shared by the resource script and the code.
#pragma once
#define IDD_CONFIG_FORM 4000
