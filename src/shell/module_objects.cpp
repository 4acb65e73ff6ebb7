// The module's static objects, defined in one place so they are built in this order when the
// module loads and destroyed in the reverse order when it unloads.
#include <string>

#include "hostlink/dispatch_holder.h"
#include "settings/profile_document.h"
#include "shell/plugin_app.h"

DispatchHolder HostDocumentDispatch;
DispatchHolder HostControlDispatch;
std::string ProfileName;
PluginApp thePluginApp;
