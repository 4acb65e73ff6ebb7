// Placeholder until the dialog lands.
#include "shell/config_dialog.h"

#include "diag/log.h"

void myConfig(ProfileDocument* /*document*/) { LogMsg(LOG_INFO, "myConfig()"); }
