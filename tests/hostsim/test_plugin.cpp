// A tiny plug-in for the stand-in's own tests: it uses the SDK the way the real plug-in does
// (entry points, a dataref, a menu, a window, flight loops, messages) and binds the command
// functions late, through XPLMFindSymbol in <root>/Resources/plugins/XPLM_64.so.
#include "xplm_sdk.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <pthread.h>
#include <unistd.h>

namespace {

int g_counter = 0;
int g_menu_picks = 0;
intptr_t g_last_item = 0;
int g_clicks = 0;
int g_messages = 0;
int g_last_message = 0;
int g_loop_calls = 0;
XPLMWindowID g_window = nullptr;
XPLMDataRef g_counter_ref = nullptr;

int GetCounter(void*) {
    return g_counter;
}
void SetCounter(void*, int v) {
    g_counter = v;
}
int GetMenuPicks(void*) {
    return g_menu_picks;
}
int GetLastItem(void*) {
    return static_cast<int>(g_last_item);
}
int GetClicks(void*) {
    return g_clicks;
}
int GetMessages(void*) {
    return g_messages;
}
int GetLastMessage(void*) {
    return g_last_message;
}
int GetLoopCalls(void*) {
    return g_loop_calls;
}

void RegisterInt(const char* name, XPLMGetDatai_f get, XPLMSetDatai_f set) {
    XPLMRegisterDataAccessor(name, xplmType_Int, set != nullptr ? 1 : 0, get, set, nullptr, nullptr, nullptr,
                             nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
}

void MenuHandler(void*, void* item) {
    g_menu_picks++;
    g_last_item = reinterpret_cast<intptr_t>(item);
}

void Draw(XPLMWindowID w, void*) {
    int l = 0, t = 0, r = 0, b = 0;
    XPLMGetWindowGeometry(w, &l, &t, &r, &b);
    XPLMDrawTranslucentDarkBox(l, t, r, b);
    float white[3] = {1.0f, 1.0f, 1.0f};
    XPLMDrawString(white, l + 5, t - 20, "test banner", nullptr, xplmFont_Basic);
}

void Key(XPLMWindowID, char, XPLMKeyFlags, char, void*, int) {}

int Click(XPLMWindowID, int, int, XPLMMouseStatus, void*) {
    g_clicks++;
    return 1;
}

float Loop(float, float, int, void*) {
    g_loop_calls++;
    return -1.0f;
}

// Late binding, as the plug-in does it on Linux.
void RunLateBoundCommand() {
    char path[512];
    XPLMGetSystemPath(path);
    char lib[600];
    std::snprintf(lib, sizeof(lib), "%sResources/plugins/XPLM_64.so", path);
    void* handle = dlopen(lib, RTLD_NOW | RTLD_GLOBAL);
    if (handle == nullptr) {
        XPLMDebugString("test plugin: no XPLM_64.so\n");
        return;
    }
    auto find_symbol = reinterpret_cast<void* (*)(const char*)>(dlsym(handle, "XPLMFindSymbol"));
    if (find_symbol == nullptr) return;
    auto find_command = reinterpret_cast<XPLMCommandRef (*)(const char*)>(find_symbol("XPLMFindCommand"));
    auto command_once = reinterpret_cast<void (*)(XPLMCommandRef)>(find_symbol("XPLMCommandOnce"));
    if (find_command == nullptr || command_once == nullptr) return;
    XPLMCommandRef cmd = find_command("sim/starters/engage_starter_1");
    if (cmd != nullptr) command_once(cmd);
    // The library stays loaded, as in the plug-in.
}

} // namespace

PLUGIN_API int XPluginStart(char* name, char* signature, char* description) {
    std::strcpy(name, "HostTest");
    std::strcpy(signature, "hostsim.tests.plugin");
    std::strcpy(description, "Stand-in test plug-in.");
    RegisterInt("hosttest/counter", GetCounter, SetCounter);
    RegisterInt("hosttest/menu_picks", GetMenuPicks, nullptr);
    RegisterInt("hosttest/last_item", GetLastItem, nullptr);
    RegisterInt("hosttest/clicks", GetClicks, nullptr);
    RegisterInt("hosttest/messages", GetMessages, nullptr);
    RegisterInt("hosttest/last_message", GetLastMessage, nullptr);
    RegisterInt("hosttest/loop_calls", GetLoopCalls, nullptr);
    g_counter_ref = XPLMFindDataRef("hosttest/counter");
    XPLMMenuID plugins = XPLMFindPluginsMenu();
    const int item = XPLMAppendMenuItem(plugins, "HostTest", nullptr, 0);
    XPLMMenuID menu = XPLMCreateMenu("HostTest", plugins, item, MenuHandler, nullptr);
    XPLMAppendMenuItem(menu, "Do It", reinterpret_cast<void*>(intptr_t{7}), 0);
    g_window = XPLMCreateWindow(600, 730, 1000, 680, 1, Draw, Key, Click, nullptr);
    XPLMDebugString("test plugin started\n");
    return 1;
}

PLUGIN_API int XPluginEnable(void) {
    XPLMRegisterFlightLoopCallback(Loop, -1.0f, nullptr);
    RunLateBoundCommand();
    const XPLMPluginID other = XPLMFindPluginBySignature("xplanesdk.examples.RefInspector");
    if (other != XPLM_NO_PLUGIN_ID) {
        XPLMSendMessageToPlugin(other, 0x01000000, const_cast<char*>("hosttest/counter"));
    }
    return 1;
}

PLUGIN_API void XPluginDisable(void) {
    XPLMUnregisterFlightLoopCallback(Loop, nullptr);
}

PLUGIN_API void XPluginStop(void) {
    if (g_window != nullptr) XPLMDestroyWindow(g_window);
    XPLMUnregisterDataAccessor(g_counter_ref);
}

// Test message: leave a thread running past XPluginStop. It runs pause() in the C library, not
// in this plug-in's code, so unloading the plug-in does not pull the code from under it.
constexpr int kMsgStartStrayThread = 0x7F000001;

PLUGIN_API void XPluginReceiveMessage(XPLMPluginID, int message, void*) {
    g_messages++;
    g_last_message = message;
    if (message == kMsgStartStrayThread) {
        pthread_t thread;
        auto entry = reinterpret_cast<void* (*)(void*)>(reinterpret_cast<void*>(&pause));
        if (pthread_create(&thread, nullptr, entry, nullptr) == 0) pthread_detach(thread);
    }
}
