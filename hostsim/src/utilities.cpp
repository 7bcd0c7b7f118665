// Utilities: paths, versions, the host log, symbol lookup, commands and legacy key/button commands.
#include "host.h"
#include "platform.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

namespace hostsim {

namespace {

std::mutex g_debug_mutex;
std::string g_debug_log;

Command* LiveCommand(XPLMCommandRef ref) {
    // Only commands of the current table count; retired ones are ignored.
    for (auto& c : H().commands) {
        if (c.get() == ref) return c.get();
    }
    return nullptr;
}

Command* AddCommandObject(const std::string& name) {
    Host& h = H();
    auto it = h.command_by_name.find(name);
    if (it != h.command_by_name.end()) {
        it->second->known = true;
        return it->second;
    }
    auto c = std::make_unique<Command>();
    c->name = name;
    Command* raw = c.get();
    h.command_by_name[name] = raw;
    h.commands.push_back(std::move(c));
    return raw;
}

bool StoreCommands(const std::string& text) {
    Host& h = H();
    for (auto& c : h.commands)
        c->known = false;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        const size_t a = line.find_first_not_of(" \t\r");
        if (a == std::string::npos || line[a] == '#') continue;
        const size_t b = line.find_last_not_of(" \t\r");
        AddCommandObject(line.substr(a, b - a + 1));
    }
    return true;
}

void LogCommand(CommandKind kind, int number, const std::string& name) {
    Host& h = H();
    CommandEvent e;
    e.kind = kind;
    e.number = number;
    e.name = name;
    e.time = h.now;
    e.frame = h.frame;
    h.command_log.push_back(e);
}

void RunHandlers(Command* c, XPLMCommandPhase phase) {
    const auto handlers = c->handlers; // a handler may unregister itself
    for (const auto& handler : handlers) {
        if (handler.cb(c, phase, handler.refcon) == 0 && handler.before != 0) return;
    }
}

// Autopilot key strokes toggle the matching bits of autopilot_state, as writes to it do.
// Multi-bit modes (HNAV 0x300, VNAV 0xC00) switch off when any of their bits is set and
// otherwise switch to their engaged bit. Other otto keys only get logged.
void ApplyAutopilotKey(int key) {
    int bits = 0;
    int engaged = 0;
    switch (key) {
    case xplm_key_otto_atr:
        bits = 0x1;
        break;
    case xplm_key_otto_hdg:
        bits = 0x2;
        break;
    case xplm_key_otto_lev:
        bits = 0x4;
        break;
    case xplm_key_otto_asi:
        bits = 0x8;
        break;
    case xplm_key_otto_vvi:
        bits = 0x10;
        break;
    case xplm_key_otto_alt:
        bits = 0x20;
        break;
    case xplm_key_otto_hnav:
        bits = 0x300;
        engaged = 0x200;
        break;
    case xplm_key_otto_vnav:
        bits = 0xC00;
        engaged = 0x800;
        break;
    default:
        return;
    }
    if (engaged == 0) {
        ToggleAutopilotBits(bits);
        return;
    }
    Dataref* d = FindLiveDataref(kAutopilotState);
    if (d == nullptr || d->plugin_owned) return;
    d->i = (d->i & bits) != 0 ? (d->i & ~bits) : (d->i | engaged);
}

} // namespace

void AppendDebug(const char* text) {
    std::lock_guard<std::mutex> lock(g_debug_mutex);
    g_debug_log += text;
}

void ResetDebug() {
    std::lock_guard<std::mutex> lock(g_debug_mutex);
    g_debug_log.clear();
}

std::string DebugLog() {
    std::lock_guard<std::mutex> lock(g_debug_mutex);
    return g_debug_log;
}

void ClearDebugLog() {
    ResetDebug();
}

void LoadBuiltinCommands() {
    StoreCommands(EmbeddedCommands());
}

bool LoadCommandFile(const std::string& path, std::string* error) {
    std::ifstream f(path);
    if (!f) {
        if (error != nullptr) *error = "cannot read " + path;
        return false;
    }
    std::stringstream ss;
    ss << f.rdbuf();
    return StoreCommands(ss.str());
}

void RemoveCommand(const std::string& name) {
    auto it = H().command_by_name.find(name);
    if (it != H().command_by_name.end()) it->second->known = false;
}

void AddCommand(const std::string& name) {
    AddCommandObject(name);
}

void RemoveCommands(const std::string& prefix) {
    for (auto& c : H().commands) {
        if (c->name.compare(0, prefix.size(), prefix) == 0) c->known = false;
    }
}

std::vector<CommandEvent> CommandLog() {
    return H().command_log;
}
void ClearCommandLog() {
    H().command_log.clear();
}

const char* CommandKindName(CommandKind kind) {
    switch (kind) {
    case CommandKind::KeyStroke:
        return "key";
    case CommandKind::ButtonPress:
        return "button-press";
    case CommandKind::ButtonRelease:
        return "button-release";
    case CommandKind::Once:
        return "once";
    case CommandKind::Begin:
        return "begin";
    case CommandKind::End:
        return "end";
    }
    return "?";
}

} // namespace hostsim

using hostsim::Command;
using hostsim::CommandKind;
using hostsim::H;

void XPLMSimulateKeyPress(int, int) {}
void XPLMSpeakString(const char*) {}

void XPLMCommandKeyStroke(XPLMCommandKeyID inKey) {
    hostsim::LogCommand(CommandKind::KeyStroke, inKey, "");
    hostsim::ApplyAutopilotKey(inKey);
}

void XPLMCommandButtonPress(XPLMCommandButtonID inButton) {
    hostsim::LogCommand(CommandKind::ButtonPress, inButton, "");
}

void XPLMCommandButtonRelease(XPLMCommandButtonID inButton) {
    hostsim::LogCommand(CommandKind::ButtonRelease, inButton, "");
}

const char* XPLMGetVirtualKeyDescription(char) {
    return "";
}
void XPLMReloadScenery(void) {}

void XPLMGetSystemPath(char* outSystemPath) {
    if (outSystemPath != nullptr) std::snprintf(outSystemPath, 512, "%s", H().system_path.c_str());
}

void XPLMGetPrefsPath(char* outPrefsPath) {
    if (outPrefsPath != nullptr) {
        const char* sep = hostsim::platform::Separator();
        std::snprintf(outPrefsPath, 512, "%sOutput%spreferences%sSet X-Plane.prf", H().system_path.c_str(),
                      sep, sep);
    }
}

const char* XPLMGetDirectorySeparator(void) {
    return hostsim::platform::Separator();
}

char* XPLMExtractFileAndPath(char* inFullPath) {
    if (inFullPath == nullptr) return nullptr;
    char* slash = nullptr;
    for (char* c = inFullPath; *c != '\0'; ++c) {
        if (hostsim::platform::IsSeparator(*c)) slash = c;
    }
    if (slash == nullptr) return inFullPath;
    *slash = '\0';
    return slash + 1;
}

int XPLMGetDirectoryContents(const char*, int, char* outFileNames, int inFileNameBufSize, char**, int,
                             int* outTotalFiles, int* outReturnedFiles) {
    if (outFileNames != nullptr && inFileNameBufSize > 0) outFileNames[0] = '\0';
    if (outTotalFiles != nullptr) *outTotalFiles = 0;
    if (outReturnedFiles != nullptr) *outReturnedFiles = 0;
    return 1;
}

int XPLMInitialized(void) {
    return 1;
}

void XPLMGetVersions(int* outXPlaneVersion, int* outXPLMVersion, XPLMHostApplicationID* outHostID) {
    if (outXPlaneVersion != nullptr) *outXPlaneVersion = H().xplane_version;
    if (outXPLMVersion != nullptr) *outXPLMVersion = H().xplm_version;
    if (outHostID != nullptr) *outHostID = H().host_id;
}

XPLMLanguageCode XPLMGetLanguage(void) {
    return xplm_Language_English;
}

// Only host API functions are found, as in the simulator: our own exported XPLM* names.
void* XPLMFindSymbol(const char* inString) {
    if (inString == nullptr || std::strncmp(inString, "XPLM", 4) != 0) return nullptr;
    void* found = hostsim::platform::SelfSymbol(inString);
    // Only this instance records: a plug-in that loaded a second copy of the library shows none.
    if (found != nullptr) H().late_bound.emplace_back(inString);
    return found;
}

void XPLMSetErrorCallback(XPLMError_f inCallback) {
    H().error_callback = inCallback;
}

void XPLMDebugString(const char* inString) {
    if (inString != nullptr) hostsim::AppendDebug(inString);
}

int XPLMLoadDataFile(XPLMDataFileType, const char*) {
    return 0;
}
int XPLMSaveDataFile(XPLMDataFileType, const char*) {
    return 0;
}

XPLMCommandRef XPLMFindCommand(const char* inName) {
    if (inName == nullptr) return nullptr;
    auto it = H().command_by_name.find(inName);
    return (it != H().command_by_name.end() && it->second->known) ? it->second : nullptr;
}

void XPLMCommandBegin(XPLMCommandRef inCommand) {
    Command* c = hostsim::LiveCommand(inCommand);
    if (c == nullptr) return;
    hostsim::LogCommand(CommandKind::Begin, 0, c->name);
    hostsim::RunHandlers(c, xplm_CommandBegin);
}

void XPLMCommandEnd(XPLMCommandRef inCommand) {
    Command* c = hostsim::LiveCommand(inCommand);
    if (c == nullptr) return;
    hostsim::LogCommand(CommandKind::End, 0, c->name);
    hostsim::RunHandlers(c, xplm_CommandEnd);
}

void XPLMCommandOnce(XPLMCommandRef inCommand) {
    Command* c = hostsim::LiveCommand(inCommand);
    if (c == nullptr) return;
    hostsim::LogCommand(CommandKind::Once, 0, c->name);
    hostsim::RunHandlers(c, xplm_CommandBegin);
    hostsim::RunHandlers(c, xplm_CommandEnd);
}

XPLMCommandRef XPLMCreateCommand(const char* inName, const char* inDescription) {
    if (inName == nullptr || inName[0] == '\0') return nullptr;
    Command* c = hostsim::AddCommandObject(inName);
    if (inDescription != nullptr && c->description.empty()) c->description = inDescription;
    return c;
}

void XPLMRegisterCommandHandler(XPLMCommandRef inComand, XPLMCommandCallback_f inHandler, int inBefore,
                                void* inRefcon) {
    Command* c = hostsim::LiveCommand(inComand);
    if (c == nullptr || inHandler == nullptr) return;
    c->handlers.push_back({inHandler, inBefore, inRefcon});
}

void XPLMUnregisterCommandHandler(XPLMCommandRef inComand, XPLMCommandCallback_f inHandler, int inBefore,
                                  void* inRefcon) {
    Command* c = hostsim::LiveCommand(inComand);
    if (c == nullptr) return;
    for (auto it = c->handlers.begin(); it != c->handlers.end(); ++it) {
        if (it->cb == inHandler && it->before == inBefore && it->refcon == inRefcon) {
            c->handlers.erase(it);
            return;
        }
    }
}
