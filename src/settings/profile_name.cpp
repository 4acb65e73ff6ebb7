#include "settings/profile_name.h"

#include <memory>
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
    try {
        ProfileName = name;
        std::unique_ptr<ProfileDocument> document(new ProfileDocument());
        titles.titleSuffix = myProfileInit(name, document.get());
        // The same text on every call stays in the same buffer, so a host that kept the pointer
        // from an earlier call still reads the title.
        const std::string title = std::string(PlatformModuleBaseName()) + titles.titleSuffix;
        if (titles.PluginTitle != title) titles.PluginTitle = title;
    } catch (...) {
        // Out of memory: the host still gets a valid text, the title of the last call.
    }
    return &titles.PluginTitle[0];
}
