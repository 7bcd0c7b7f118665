// Loading the plug-in as the simulator does, its lifecycle, fake plug-ins and messages, and the
// simulator root folder.
#include "host.h"
#include "platform.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <thread>

namespace hostsim {

Host& H() {
    // Never destroyed: a plug-in still loaded at exit may call in from its own destructors.
    static Host* host = new Host();
    static bool ready = false;
    if (!ready) {
        ready = true;
        Reset(); // loads the built-in tables
    }
    return *host;
}

namespace {

// Smallest value taken for a pointer when copying a message parameter as text; smaller values
// are integers stuffed into the pointer.
constexpr intptr_t kSmallestPointer = 4096;
constexpr size_t kMaxParamText = 1023;

PluginRec* FindPlugin(int id) {
    for (auto& p : H().plugins) {
        if (p->id == id) return p.get();
    }
    return nullptr;
}

void CopyField(char* out, const std::string& value) {
    if (out != nullptr) std::snprintf(out, 256, "%s", value.c_str());
}

bool MakeDirs(const std::string& path, std::string* error) {
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
    if (ec) {
        if (error != nullptr) *error = "cannot create " + path + ": " + ec.message();
        return false;
    }
    return true;
}

void Deliver(PluginRec* target, int from, int message, void* param) {
    Host& h = H();
    if (target->fake) {
        ReceivedMessage r;
        r.from = from;
        r.message = message;
        r.param = reinterpret_cast<intptr_t>(param);
        r.time = h.now;
        if (target->copy_string_params && r.param >= kSmallestPointer) {
            const char* text = static_cast<const char*>(param);
            r.text.assign(text, strnlen(text, kMaxParamText));
        }
        target->received.push_back(r);
        if (!h.sent_messages.empty() && h.sent_messages.back().param == r.param)
            h.sent_messages.back().text = r.text;
        return;
    }
    if (target->receive != nullptr) target->receive(from, message, param);
}

int CountThreads() {
    // A sanitizer runtime starts a helper thread along with the first thread the process makes;
    // make that happen now, or it would pass for the plug-in's leftover.
    static const bool helpers_started = [] {
        std::thread([] {}).join();
        return true;
    }();
    (void)helpers_started;
    return platform::CountThreads();
}

} // namespace

std::vector<std::string> HostWarnings() {
    return H().warnings;
}

std::vector<std::string> LateBoundSymbols() {
    return H().late_bound;
}

void ForgetPluginCallbacks() {
    Host& h = H();
    for (auto& d : h.datarefs) {
        if (d->plugin_owned && d->alive) {
            d->alive = false;
            d->ClearAccessors();
            auto it = h.dataref_by_name.find(d->name);
            if (it != h.dataref_by_name.end() && it->second == d.get()) h.dataref_by_name.erase(it);
        }
    }
    for (auto& l : h.loops) {
        if (l->registered) {
            l->registered = false;
            l->scheduled = false;
            l->unregistered_at = h.now;
        }
        l->cb = nullptr;
    }
    for (auto& w : h.windows) {
        if (w->alive) {
            w->alive = false;
            w->destroyed_at = h.now;
            w->destroyed_frame = h.frame;
        }
        w->draw = nullptr;
        w->key = nullptr;
        w->click = nullptr;
        w->right_click = nullptr;
        w->cursor = nullptr;
        w->wheel = nullptr;
    }
    h.keyboard_focus = nullptr;
    for (auto& m : h.menus) {
        if (m->owned_by_plugin) {
            m->alive = false;
            m->handler = nullptr;
        }
    }
    // Items the plug-in appended to the host's Plugins menu go with it.
    h.menus.front()->items.clear();
    for (auto& c : h.commands)
        c->handlers.clear();
    h.draw_callbacks.clear();
    h.key_sniffers.clear();
    h.error_callback = nullptr;
    DestroyAllWidgetsSilently();
}

void Reset() {
    UnloadPlugin();
    Host& h = H();
    h.system_path = "/";
    h.aircraft_path.clear();
    h.xplane_version = 11550;
    h.xplm_version = 301;
    h.host_id = xplm_Host_XPlane;
    h.screen_w = 1920;
    h.screen_h = 1080;
    h.mouse_x = 0;
    h.mouse_y = 0;
    h.frame_time = 1.0 / 60.0;
    h.now = 0;
    h.frame = 0;
    for (auto& d : h.datarefs) {
        d->alive = false;
        d->ClearAccessors();
        h.retired_datarefs.push_back(std::move(d));
    }
    h.datarefs.clear();
    h.dataref_by_name.clear();
    for (auto& c : h.commands) {
        c->known = false;
        c->handlers.clear();
        h.retired_commands.push_back(std::move(c));
    }
    h.commands.clear();
    h.command_by_name.clear();
    h.loops.clear();
    h.windows.clear();
    h.drawing_window = -1;
    h.z_counter = 0;
    h.keyboard_focus = nullptr;
    h.drawn_text.clear();
    h.drawn_boxes.clear();
    h.draw_callbacks.clear();
    h.command_log.clear();
    h.plugins.clear();
    h.loaded = nullptr;
    h.next_plugin_id = 1;
    h.sent_messages.clear();
    h.warnings.clear();
    h.late_bound.clear();
    h.widgets.clear();
    h.widget_focus = nullptr;
    h.error_callback = nullptr;
    h.hot_keys.clear();
    h.key_sniffers.clear();
    ResetMenus();
    ResetFeatures();
    ResetDebug();
    LoadBuiltinDatarefs();
    LoadBuiltinCommands();
}

std::string LibraryPath() {
    return platform::SelfPath();
}

bool CreateRoot(const std::string& root, std::string* error) {
    std::string base = platform::NativePath(root);
    while (base.size() > 1 && platform::IsSeparator(base.back()))
        base.pop_back();
    const std::string sep = platform::Separator();
    const std::string plugins = base + sep + "Resources" + sep + "plugins";
    if (!MakeDirs(plugins + sep + "DRAV", error)) return false;
    if (!platform::LinkSelf(plugins, error)) return false;
    SetSystemPath(platform::AbsolutePath(base));
    return true;
}

std::string SystemPath() {
    return H().system_path;
}

void SetSystemPath(const std::string& path) {
    std::string p = path.empty() ? platform::Separator() : platform::NativePath(path);
    if (!platform::IsSeparator(p.back())) p += platform::Separator();
    H().system_path = p;
}

void SetVersions(int xplane_version, int xplm_version, int host_id) {
    H().xplane_version = xplane_version;
    H().xplm_version = xplm_version;
    H().host_id = host_id;
}

bool LoadPlugin(const std::string& path, std::string* error) {
    Host& h = H();
    if (h.loaded != nullptr) {
        if (error != nullptr) *error = "a plug-in is already loaded";
        return false;
    }
    h.threads_at_load = CountThreads();
    void* handle = platform::OpenLibrary(platform::NativePath(path), error);
    if (handle == nullptr) return false;
    auto p = std::make_unique<PluginRec>();
    p->handle = handle;
    p->path = path;
    p->start =
        reinterpret_cast<int (*)(char*, char*, char*)>(platform::LibrarySymbol(handle, "XPluginStart"));
    p->stop = reinterpret_cast<void (*)()>(platform::LibrarySymbol(handle, "XPluginStop"));
    p->enable = reinterpret_cast<int (*)()>(platform::LibrarySymbol(handle, "XPluginEnable"));
    p->disable = reinterpret_cast<void (*)()>(platform::LibrarySymbol(handle, "XPluginDisable"));
    p->receive = reinterpret_cast<void (*)(XPLMPluginID, int, void*)>(
        platform::LibrarySymbol(handle, "XPluginReceiveMessage"));
    if (p->start == nullptr || p->stop == nullptr || p->enable == nullptr || p->disable == nullptr ||
        p->receive == nullptr) {
        if (error != nullptr) *error = "missing entry point in " + path;
        platform::CloseLibrary(handle);
        return false;
    }
    p->id = h.next_plugin_id++;
    PluginRec* raw = p.get();
    h.plugins.push_back(std::move(p));
    h.loaded = raw;
    char name[256] = {0}, signature[256] = {0}, description[256] = {0};
    const int ok = raw->start(name, signature, description);
    // The buffers are the host's: whatever the plug-in wrote, they end in a NUL.
    name[255] = signature[255] = description[255] = '\0';
    raw->name = name;
    raw->signature = signature;
    raw->description = description;
    if (ok == 0) {
        if (error != nullptr) *error = "XPluginStart returned 0";
        ForgetPluginCallbacks();
        platform::CloseLibrary(handle);
        raw->handle = nullptr;
        h.loaded = nullptr;
        return false;
    }
    return true;
}

bool IsPluginLoaded() {
    return H().loaded != nullptr;
}

bool EnablePlugin() {
    PluginRec* p = H().loaded;
    if (p == nullptr) return false;
    if (p->enabled) return true;
    p->enabled = p->enable() != 0;
    return p->enabled;
}

void DisablePlugin() {
    PluginRec* p = H().loaded;
    if (p == nullptr || !p->enabled) return;
    p->disable();
    p->enabled = false;
}

bool IsPluginEnabled() {
    return H().loaded != nullptr && H().loaded->enabled;
}

void UnloadPlugin() {
    Host& h = H();
    PluginRec* p = h.loaded;
    if (p == nullptr) return;
    DisablePlugin();
    p->stop();
    const int left = CountThreads() - h.threads_at_load;
    if (left > 0) {
        h.warnings.push_back(std::to_string(left) +
                             " more thread(s) running after XPluginStop than before loading " + p->path);
        // Said at once as well: such a thread usually crashes the process right after dlclose.
        std::fprintf(stderr, "[hostsim] warning: %s\n", h.warnings.back().c_str());
    }
    ForgetPluginCallbacks();
    platform::CloseLibrary(p->handle);
    p->handle = nullptr;
    p->start = nullptr;
    p->stop = nullptr;
    p->enable = nullptr;
    p->disable = nullptr;
    p->receive = nullptr;
    h.loaded = nullptr;
}

PluginIdentity Identity() {
    PluginIdentity out;
    PluginRec* p = H().loaded;
    if (p == nullptr) {
        // The last plug-in that was loaded, if any.
        for (auto& rec : H().plugins) {
            if (!rec->fake) p = rec.get();
        }
    }
    if (p == nullptr) return out;
    out.name = p->name;
    out.signature = p->signature;
    out.description = p->description;
    out.path = p->path;
    out.id = p->id;
    return out;
}

void SendMessage(int from, int message, intptr_t param) {
    PluginRec* p = H().loaded;
    if (p != nullptr && p->receive != nullptr) p->receive(from, message, reinterpret_cast<void*>(param));
}

void SetAircraft(const std::string& acf_path) {
    H().aircraft_path = acf_path;
}

void LoadAircraft(const std::string& acf_path) {
    SetAircraft(acf_path);
    SendMessage(XPLM_PLUGIN_XPLANE, XPLM_MSG_PLANE_LOADED, 0);
}

int InstallFakePlugin(const std::string& signature, const std::string& name, bool copy_string_params) {
    Host& h = H();
    auto p = std::make_unique<PluginRec>();
    p->id = h.next_plugin_id++;
    p->fake = true;
    p->enabled = true;
    p->copy_string_params = copy_string_params;
    p->signature = signature;
    p->name = name.empty() ? signature : name;
    const std::string sep = platform::Separator();
    p->path = h.system_path + "Resources" + sep + "plugins" + sep + p->name + ".xpl";
    const int id = p->id;
    h.plugins.push_back(std::move(p));
    return id;
}

std::vector<ReceivedMessage> FakePluginMessages(int fake_id) {
    PluginRec* p = FindPlugin(fake_id);
    return p != nullptr ? p->received : std::vector<ReceivedMessage>{};
}

std::vector<SentMessage> SentMessages() {
    return H().sent_messages;
}

} // namespace hostsim

using hostsim::H;
using hostsim::PluginRec;

XPLMPluginID XPLMGetMyID(void) {
    return H().loaded != nullptr ? H().loaded->id : XPLM_NO_PLUGIN_ID;
}

int XPLMCountPlugins(void) {
    int n = 0;
    for (const auto& p : H().plugins) {
        if (p->fake || p.get() == H().loaded) ++n;
    }
    return n;
}

XPLMPluginID XPLMGetNthPlugin(int inIndex) {
    int n = 0;
    for (const auto& p : H().plugins) {
        if (!(p->fake || p.get() == H().loaded)) continue;
        if (n++ == inIndex) return p->id;
    }
    return XPLM_NO_PLUGIN_ID;
}

XPLMPluginID XPLMFindPluginByPath(const char* inPath) {
    if (inPath == nullptr) return XPLM_NO_PLUGIN_ID;
    for (const auto& p : H().plugins) {
        if ((p->fake || p.get() == H().loaded) && p->path == inPath) return p->id;
    }
    return XPLM_NO_PLUGIN_ID;
}

XPLMPluginID XPLMFindPluginBySignature(const char* inSignature) {
    if (inSignature == nullptr) return XPLM_NO_PLUGIN_ID;
    for (const auto& p : H().plugins) {
        if ((p->fake || p.get() == H().loaded) && p->signature == inSignature) return p->id;
    }
    return XPLM_NO_PLUGIN_ID;
}

void XPLMGetPluginInfo(XPLMPluginID inPlugin, char* outName, char* outFilePath, char* outSignature,
                       char* outDescription) {
    PluginRec* p = hostsim::FindPlugin(inPlugin);
    if (p == nullptr) return;
    hostsim::CopyField(outName, p->name);
    hostsim::CopyField(outFilePath, p->path);
    hostsim::CopyField(outSignature, p->signature);
    hostsim::CopyField(outDescription, p->description);
}

int XPLMIsPluginEnabled(XPLMPluginID inPluginID) {
    PluginRec* p = hostsim::FindPlugin(inPluginID);
    return (p != nullptr && p->enabled) ? 1 : 0;
}

int XPLMEnablePlugin(XPLMPluginID inPluginID) {
    PluginRec* p = hostsim::FindPlugin(inPluginID);
    if (p == nullptr) return 0;
    if (p == H().loaded) return hostsim::EnablePlugin() ? 1 : 0;
    p->enabled = p->fake;
    return p->enabled ? 1 : 0;
}

void XPLMDisablePlugin(XPLMPluginID inPluginID) {
    PluginRec* p = hostsim::FindPlugin(inPluginID);
    if (p == nullptr) return;
    if (p == H().loaded) {
        hostsim::DisablePlugin();
    } else {
        p->enabled = false;
    }
}

void XPLMReloadPlugins(void) {}

void XPLMSendMessageToPlugin(XPLMPluginID inPlugin, int inMessage, void* inParam) {
    hostsim::Host& h = H();
    const int from = XPLMGetMyID();
    hostsim::SentMessage s;
    s.to = inPlugin;
    s.message = inMessage;
    s.param = reinterpret_cast<intptr_t>(inParam);
    s.time = h.now;
    h.sent_messages.push_back(s);
    if (inPlugin == XPLM_NO_PLUGIN_ID) {
        const size_t count = h.plugins.size();
        for (size_t k = 0; k < count; ++k) {
            PluginRec* p = h.plugins[k].get();
            if (p->enabled && (p->fake || p == h.loaded)) hostsim::Deliver(p, from, inMessage, inParam);
        }
        return;
    }
    PluginRec* p = hostsim::FindPlugin(inPlugin);
    if (p != nullptr && p->enabled && (p->fake || p == h.loaded))
        hostsim::Deliver(p, from, inMessage, inParam);
}

// Features the host knows, with their default state.
void hostsim::ResetFeatures() {
    H().features = {{"XPLM_WANTS_REFLECTIONS", false},
                    {"XPLM_USE_NATIVE_PATHS", false},
                    {"XPLM_USE_NATIVE_WIDGET_WINDOWS", false},
                    {"XPLM_WANTS_DATAREF_NOTIFICATIONS", false}};
}

int XPLMHasFeature(const char* inFeature) {
    return (inFeature != nullptr && H().features.count(inFeature) != 0) ? 1 : 0;
}

int XPLMIsFeatureEnabled(const char* inFeature) {
    if (inFeature == nullptr) return 0;
    auto it = H().features.find(inFeature);
    return (it != H().features.end() && it->second) ? 1 : 0;
}

void XPLMEnableFeature(const char* inFeature, int inEnable) {
    if (inFeature == nullptr) return;
    auto it = H().features.find(inFeature);
    if (it != H().features.end()) it->second = inEnable != 0;
}

void XPLMEnumerateFeatures(XPLMFeatureEnumerator_f inEnumerator, void* inRef) {
    if (inEnumerator == nullptr) return;
    for (const auto& [name, enabled] : H().features)
        inEnumerator(name.c_str(), inRef);
}
