// The module shell: the application object's start-up with its socket check, the module's base
// name, and the configuration dialog's template inside the built DLL.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>

#include "plugin_module.h"
#include "shell/config_dialog_id.h"
#include "shell/plugin_app.h"

namespace {
struct BoxCall {
    int count = 0;
    std::string text;
    std::string caption;
    UINT type = 0;
};
BoxCall box;

int WINAPI RecordBox(HWND, LPCSTR text, LPCSTR caption, UINT type) {
    ++box.count;
    box.text = text;
    box.caption = caption;
    box.type = type;
    return IDOK;
}
bool SocketsFail() { return false; }

TEST(PluginAppTest, FailedSocketStartUpShowsItsBoxAndRefusesTheLoad) {
    box = BoxCall();
    PluginApp app;
    EXPECT_FALSE(app.InitInstance(GetModuleHandleA(nullptr), SocketsFail, RecordBox));
    EXPECT_EQ(box.count, 1);
    EXPECT_EQ(box.text, "Sockets Init Failed");
    EXPECT_EQ(box.caption, "e2e_tests");
    EXPECT_EQ(box.type, static_cast<UINT>(MB_OK));
    app.ExitInstance();
}

TEST(PluginAppTest, WorkingSocketsLoadQuietly) {
    box = BoxCall();
    PluginApp app;
    EXPECT_TRUE(app.InitInstance(GetModuleHandleA(nullptr), StartWindowsSockets, RecordBox));
    EXPECT_EQ(box.count, 0);
    EXPECT_STREQ(app.Title(), "e2e_tests");
    app.ExitInstance();
}

TEST(PluginAppTest, ModuleBaseNameFollowsTheShellPathRules) {
    struct Case {
        const char* path;
        const char* name;
    };
    const Case cases[] = {
        {"C:\\Mach3\\PlugIns\\QUORVAN-9.dll", "QUORVAN-9"},
        {"C:\\Mach3\\PlugIns\\a.b.dll", "a.b"},
        {"C:\\Plug.Ins\\noextension", "noextension"},
        {"C:\\PlugIns\\pendant.v2 board", "pendant.v2 board"},  // a dot before a blank starts no extension
        {"QUORVAN-9.dll", "QUORVAN-9"},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(ModuleBaseNameOf(c.path), c.name) << c.path;
}

// The dialog template as the dialog manager reads it from the DLL.
TEST(ConfigDialogTemplateTest, ResourceMatchesTheDialogsLayout) {
    PluginModule plugin;
    ASSERT_TRUE(plugin.Load(ProgramDirectory() + "QUORVAN-9.dll")) << plugin.error();
    HRSRC found = FindResourceA(plugin.handle(), MAKEINTRESOURCEA(IDD_CONFIG_FORM), MAKEINTRESOURCEA(5) /* RT_DIALOG */);
    ASSERT_NE(found, nullptr);
    const DWORD size = SizeofResource(plugin.handle(), found);
    const unsigned char* data = static_cast<const unsigned char*>(LockResource(LoadResource(plugin.handle(), found)));
    ASSERT_NE(data, nullptr);
    const unsigned char* end = data + size;
    const unsigned char* p = data;
    auto word = [&] { uint16_t v; memcpy(&v, p, 2); p += 2; return v; };
    auto dword = [&] { uint32_t v; memcpy(&v, p, 4); p += 4; return v; };
    auto text = [&] {  // a resource id (0xFFFF, id) or a NUL-terminated UTF-16 text, as 8-bit
        std::string out;
        uint16_t c = word();
        if (c == 0xFFFF) return "#" + std::to_string(word());
        for (; c != 0; c = word()) out += static_cast<char>(c);
        return out;
    };
    auto align = [&] { p = data + ((p - data + 3) & ~3); };

    EXPECT_EQ(word(), 1);       // extended template
    EXPECT_EQ(word(), 0xFFFF);
    dword();                    // help id
    EXPECT_EQ(dword(), 0u);     // extended style
    EXPECT_EQ(dword(), 0x80C808CAu);
    const uint16_t items = word();
    EXPECT_EQ(items, 3);
    const int16_t x = word(), y = word(), cx = word(), cy = word();
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    EXPECT_EQ(cx, 279);
    EXPECT_EQ(cy, 97);
    EXPECT_EQ(text(), "");  // no menu
    EXPECT_EQ(text(), "");  // the standard dialog class
    EXPECT_EQ(text(), "QUORVAN-9 Configuration, Version XXXXXXX");
    EXPECT_EQ(word(), 8);      // point size
    EXPECT_EQ(word(), 400);    // weight
    EXPECT_EQ(*p++, 0);        // not italic
    EXPECT_EQ(*p++, 1);        // DEFAULT_CHARSET
    EXPECT_EQ(text(), "MS Shell Dlg");

    struct Item {
        uint32_t style;
        int16_t x, y, cx, cy;
        int32_t id;
        const char* windowClass;
        const char* text;
    };
    const Item want[] = {
        {0x50010001u, 107, 76, 50, 14, 1, "#128", "OK"},
        {0x48010000u, 221, 76, 50, 14, 2, "#128", "Cancel"},
        {0x50020001u, 81, 35, 106, 19, -1, "#130", "There is no configuration required for this plug-in"},
    };
    for (const Item& w : want) {
        SCOPED_TRACE(w.text);
        align();
        dword();  // help id
        EXPECT_EQ(dword(), 0u);
        EXPECT_EQ(dword(), w.style);
        EXPECT_EQ(static_cast<int16_t>(word()), w.x);
        EXPECT_EQ(static_cast<int16_t>(word()), w.y);
        EXPECT_EQ(static_cast<int16_t>(word()), w.cx);
        EXPECT_EQ(static_cast<int16_t>(word()), w.cy);
        EXPECT_EQ(static_cast<int32_t>(dword()), w.id);
        EXPECT_EQ(text(), w.windowClass);  // 0x80 button, 0x82 static
        EXPECT_EQ(text(), w.text);
        p += word();  // creation data
        ASSERT_LE(p, end);
    }
}
}  // namespace
