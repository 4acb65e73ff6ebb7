#include "settings/profile_name.h"

#include <string>

#include "diag/log.h"
#include "platform/platform.h"
#include "settings/profile_document.h"

namespace {
// Built on the first call and kept until the module unloads; the title's characters are what
// SetProName hands back.
struct TitleTexts {
    std::string titleSuffix;
    std::string PluginTitle;
};

TitleTexts& Titles() {
    static TitleTexts texts;
    return texts;
}
}  // namespace

const char* myProfileInit(const char* /*name*/, ProfileDocument* document) {
    LogMsg(LOG_DEBUG, "myProfileInit()");
    const int32_t current = LogGetLevel();
    const int32_t stored = document->ReadInt("QUORVAN9", "DebugLevel", current);
    if (stored != current) LogSetLevel(stored);
    return " Quorvan Devices Inc.";
}

char* myProName(const char* name) {
    TitleTexts& titles = Titles();
    ProfileName = name;
    ProfileDocument* document = new ProfileDocument();
    titles.titleSuffix = myProfileInit(name, document);
    titles.PluginTitle = std::string(PlatformModuleBaseName()) + titles.titleSuffix;
    delete document;
    return &titles.PluginTitle[0];
}
