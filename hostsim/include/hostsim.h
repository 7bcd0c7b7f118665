// Test API of the simulator stand-in (libxphost.so). The library implements the SDK subset the
// plug-in uses and loads a plug-in binary the way the simulator does; tests and the xphost runner
// drive it through the functions below. Everything runs on the calling thread (the "main thread"
// of the simulated host); nothing here is thread-safe except the debug-string log.
//
// Typical use:
//   hostsim::Reset();
//   hostsim::CreateRoot("/tmp/x");                 // <root>/Resources/plugins/DRAV/ + XPLM_64.so
//   hostsim::RemoveDataref("sim/cockpit/autopilot/heading_mag");   // optional, before loading
//   std::string err;
//   hostsim::LoadPlugin("build/DRAV/lin_x64/DRAV.xpl", &err);    // dlopen + XPluginStart
//   hostsim::EnablePlugin();
//   hostsim::RunSeconds(2.0);
//   int v = hostsim::GetInt("drav/autopilot/heading_hold");
//   hostsim::UnloadPlugin();                         // Disable, Stop, dlclose
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace hostsim {

// ---------------------------------------------------------------------------------------------
// Simulator setup

// Puts everything back as a freshly started simulator: unloads a loaded plug-in, reloads the
// built-in dataref and command tables, clears every log, window, menu, widget, flight loop and fake
// plug-in, sets the clock to 0 and versions/paths/screen to their defaults.
void Reset();

// Creates <root>/Resources/plugins/DRAV/, makes <root>/Resources/plugins/XPLM_64.so (and
// XPWidgets_64.so) symlinks to this very library, and makes root the system path. Returns false
// (with a reason in *error) when a folder or link cannot be made. On Windows the link is
// XPLM_64.dll, a hard link to this library (a copy across volumes), and a Unix-style root
// ("/tmp/x") means wine's drive Z: ("Z:\tmp\x").
bool CreateRoot(const std::string& root, std::string* error = nullptr);
// The system path as XPLMGetSystemPath reports it (always with a trailing separator: '/', on
// Windows '\\').
std::string SystemPath();
void SetSystemPath(const std::string& path);
// Path of this library on disk (what XPLM_64.so points at; on Windows XPLM_64.dll itself).
std::string LibraryPath();

// What XPLMGetVersions reports. Defaults: 11550, 301, xplm_Host_XPlane (1).
void SetVersions(int xplane_version, int xplm_version, int host_id);
// What XPLMGetScreenSize reports (default 1920 x 1080) and XPLMGetMouseLocation (default 0, 0).
void SetScreenSize(int width, int height);
void SetMouseLocation(int x, int y);

// ---------------------------------------------------------------------------------------------
// Simulator datarefs and commands

// Replaces the simulator's own datarefs with those of a data file (format: see
// hostsim/data/datarefs.txt). The built-in table is that file, compiled in. Returns false and keeps
// the current table when the file cannot be read or has a bad line (reason in *error).
bool LoadDatarefFile(const std::string& path, std::string* error = nullptr);
// Removes a simulator dataref: XPLMFindDataRef returns NULL for it from now on (do it before
// loading the plug-in; handles found earlier read 0).
void RemoveDataref(const std::string& name);
// Removes every simulator dataref whose name starts with prefix, e.g. "x737/" for a simulator
// without the x737 add-on.
void RemoveDatarefs(const std::string& prefix);
// Adds (or replaces) a simulator dataref. type: "int", "float", "double", "int[N]", "float[N]",
// "byte[N]"; initial as in the data file ("0", "1,2,3", text for byte arrays). False on a bad type.
bool AddDataref(const std::string& name, const std::string& type, const std::string& initial = "0",
                bool writable = true);

// Replaces the known command names (one per line, '#' comments). Built-in: hostsim/data/commands.txt.
bool LoadCommandFile(const std::string& path, std::string* error = nullptr);
void RemoveCommand(const std::string& name);
void RemoveCommands(const std::string& prefix); // e.g. "x737/"
void AddCommand(const std::string& name);

// ---------------------------------------------------------------------------------------------
// Reading and writing datarefs by name. Works for simulator datarefs and for datarefs registered
// by the plug-in (those go through its accessors, as when another plug-in reads or writes them).
// Setters on simulator datarefs store the value as it is (no simulator behaviour such as the
// autopilot_state toggle; use the SDK functions for that). Missing names read 0 / empty.

bool HasDataref(const std::string& name);
int GetInt(const std::string& name);
float GetFloat(const std::string& name);
double GetDouble(const std::string& name);
std::vector<int> GetInts(const std::string& name);
std::vector<float> GetFloats(const std::string& name);
std::vector<uint8_t> GetBytes(const std::string& name);
// A byte array read as text up to its first NUL.
std::string GetString(const std::string& name);
// Setters return false when the name is unknown or does not offer that type.
bool SetInt(const std::string& name, int value);
bool SetFloat(const std::string& name, float value);
bool SetDouble(const std::string& name, double value);
bool SetInts(const std::string& name, const std::vector<int>& values, int offset = 0);
bool SetFloats(const std::string& name, const std::vector<float>& values, int offset = 0);
bool SetBytes(const std::string& name, const std::vector<uint8_t>& values, int offset = 0);
bool SetString(const std::string& name, const std::string& text);

// Every living dataref, the simulator's and the plug-in's, in table order.
std::vector<std::string> DatarefNames();
// The XPLMDataTypeID bits a dataref offers; 0 when the name is unknown.
int DatarefTypes(const std::string& name);
// A dataref's value as text, for printing and comparing: numbers in their shortest exact form,
// arrays as a comma list, byte arrays as text up to the first NUL. Empty when the name is unknown.
std::string DatarefText(const std::string& name);

// Datarefs registered with XPLMRegisterDataAccessor, in registration order.
struct RegisteredDataref {
    std::string name;
    int types = 0; // XPLMDataTypeID bits
    bool writable = false;
    bool registered = true; // false once unregistered
    double registered_at = 0;
    double unregistered_at = -1;
};
std::vector<RegisteredDataref> PluginDatarefs();

// ---------------------------------------------------------------------------------------------
// The plug-in

struct PluginIdentity {
    std::string name, signature, description, path;
    int id = -1;
};

// dlopen(path, RTLD_NOW | RTLD_LOCAL) (LoadLibraryA on Windows, where a Unix-style path means
// wine's drive Z:), finds the five entry points and calls XPluginStart.
// False (reason in *error) when loading fails, an entry point is missing, or XPluginStart returns 0
// (then the library is closed again, as the simulator does).
bool LoadPlugin(const std::string& path, std::string* error = nullptr);
bool IsPluginLoaded();
// XPluginEnable; returns its result. The plug-in counts as enabled only when it returned 1.
bool EnablePlugin();
void DisablePlugin();
bool IsPluginEnabled();
// XPluginDisable (when enabled), XPluginStop, dlclose. Harmless when nothing is loaded.
void UnloadPlugin();
PluginIdentity Identity();
// XPluginReceiveMessage of the loaded plug-in (from: sender id; 0 = the simulator).
void SendMessage(int from, int message, intptr_t param);

// The user's aircraft as XPLMGetNthAircraftModel(0) reports it: a full .acf path ("" for none;
// the name is its last part). LoadAircraft also sends the plane-loaded message (102, aircraft 0).
void SetAircraft(const std::string& acf_path);
void LoadAircraft(const std::string& acf_path);

// Fake plug-ins: a recording stand-in for another plug-in, found by XPLMFindPluginBySignature and
// receiving XPLMSendMessageToPlugin. With copy_string_params the parameter of every message is read
// as a NUL-terminated text (at most 1023 characters) when it arrives.
int InstallFakePlugin(const std::string& signature, const std::string& name = "",
                      bool copy_string_params = true);
struct ReceivedMessage {
    int from = 0;
    int message = 0;
    intptr_t param = 0;
    std::string text; // the parameter as text, when copy_string_params
    double time = 0;
};
std::vector<ReceivedMessage> FakePluginMessages(int fake_id);
// Every XPLMSendMessageToPlugin call the plug-in made (to = target id, -1 broadcast); text as above
// when the target is a fake plug-in that copies strings.
struct SentMessage {
    int to = 0;
    int message = 0;
    intptr_t param = 0;
    std::string text;
    double time = 0;
};
std::vector<SentMessage> SentMessages();

// ---------------------------------------------------------------------------------------------
// The simulated clock. Each frame: the clock advances by the frame time, due flight loops run,
// then every visible window is drawn.

void SetFrameTime(double seconds); // default 1/60 s
double FrameTime();
void RunFrames(int frames);
// Runs whole frames until at least `seconds` more simulated time has passed.
void RunSeconds(double seconds);
double Now();     // simulated seconds since Reset
int FrameCount(); // frames run since Reset (= XPLMGetCycleNumber)

struct FlightLoopInfo {
    void* callback = nullptr;
    void* refcon = nullptr;
    std::string symbol; // callback's symbol name when the loader knows it, else empty
    bool registered = true;
    bool scheduled = false; // false after the callback returned 0 (or registered with 0)
    double next_call = -1;  // simulated time of the next call when scheduled by seconds
    int frames_left = 0;    // when scheduled by frames
    int calls = 0;
    float last_return = 0;
    double registered_at = 0;
    double unregistered_at = -1;
    float registered_interval = 0; // the interval given at registration
    std::string where;             // "file+0xoffset" of the callback, for callbacks without a symbol
    // CPU time of the simulator's thread inside the callback (CLOCK_THREAD_CPUTIME_ID, so time
    // the thread was not running does not count): all calls, and the latest call (made in frame
    // last_frame, -1 before the first).
    double cpu_seconds = 0;
    double last_cpu_seconds = 0;
    int last_frame = -1;
};
// Every flight loop ever registered, in registration order.
std::vector<FlightLoopInfo> FlightLoops();

// ---------------------------------------------------------------------------------------------
// Commands the plug-in issued

enum class CommandKind { KeyStroke, ButtonPress, ButtonRelease, Once, Begin, End };
struct CommandEvent {
    CommandKind kind = CommandKind::Once;
    int number = 0;   // key or button number for the legacy kinds
    std::string name; // command path for Once/Begin/End
    double time = 0;
    int frame = 0;
};
std::vector<CommandEvent> CommandLog();
void ClearCommandLog();
const char* CommandKindName(CommandKind kind); // "key", "button-press", ... for printing

// ---------------------------------------------------------------------------------------------
// The host log: every XPLMDebugString text, concatenated

std::string DebugLog();
void ClearDebugLog();

// What the host noticed about the plug-in's conduct, one line each (also printed to stderr at
// once). So far: more threads running after XPluginStop than before the plug-in was loaded, which
// usually means a plug-in thread outlives it (the simulator unloads the library right after, so
// such a thread crashes it); threads the test itself started meanwhile count too. Cleared by Reset.
std::vector<std::string> HostWarnings();

// Every name XPLMFindSymbol found, in call order (repeats included), since Reset. A plug-in that
// loaded the host library by path and got another instance of it leaves this empty.
std::vector<std::string> LateBoundSymbols();

// ---------------------------------------------------------------------------------------------
// Menus

struct MenuItemInfo {
    std::string name;
    void* item_ref = nullptr;
    int submenu = -1; // index into Menus() of the menu attached to this item
    bool enabled = true;
    int check = 0; // XPLMMenuCheck
    bool separator = false;
};
struct MenuInfo {
    std::string name;
    std::string path; // e.g. "Plugins/Quandel"; the host's Plugins menu is "Plugins"
    int parent = -1;  // index into Menus(), -1 for the menu bar
    bool alive = true;
    bool owned_by_plugin = true; // false for the host's own Plugins menu
    std::vector<MenuItemInfo> items;
};
// The host's Plugins menu first, then every menu the plug-in created, in creation order.
std::vector<MenuInfo> Menus();
// Calls the handler of the item at a path of names, e.g. "Plugins/Quandel/Assign Functions", with
// the menu's and the item's references. False when no such item or its menu has no handler.
bool PickMenuItem(const std::string& path);

// ---------------------------------------------------------------------------------------------
// Windows. A window is named by its creation index (0 = first window ever created).

struct WindowInfo {
    int index = 0;
    int left = 0, top = 0, right = 0, bottom = 0;
    bool visible = false;
    bool alive = true;
    bool modern = false; // created with XPLMCreateWindowEx and a newer struct size
    double created_at = 0;
    int created_frame = 0;
    double destroyed_at = -1;
    int destroyed_frame = -1;
};
std::vector<WindowInfo> Windows();
// Calls the window's click callback (status: 1 down, 2 drag, 3 up); returns what it returned
// (false also for a dead window or no callback).
bool ClickWindow(int index, int x, int y, int status);
// Calls the window's key callback. False for a dead window or no callback.
bool KeyWindow(int index, char key, int flags, char vkey, bool losing_focus = false);
// Runs a draw pass now (frames do this too): windows and visible widget trees, back to front.
void DrawWindows();

// The user's mouse and keyboard. The button going down (status 1) picks the front-most visible
// window or widget tree under (x, y); drag (2) and up (3) go to the same target. A window gets its
// click callback; a widget gets xpMsg_MouseDown / Drag / Up with an XPMouseState_t, sent up the
// chain from the front-most widget under the mouse. Also moves the mouse (XPLMGetMouseLocation).
// Returns whether the target took it.
bool Mouse(int x, int y, int status);
// Down and up at one point; a press from (x1, y1) dragged to (x2, y2) and released there.
bool Click(int x, int y);
bool Drag(int x1, int y1, int x2, int y2);
// Press and release of a key, delivered to the window with the keyboard focus. False without one.
bool PressKey(char key, int flags, char vkey);

// Whether the host offers its general interface texture (XPLMGetTexture); default true. Without
// it, drawing code takes its flat look.
void SetInterfaceTexture(bool available);

// Draws a frame with real OpenGL (offscreen Mesa through EGL) at the screen size and saves it as
// a PNG. Windows, widgets, elements and text (a built-in 8 x 12 font) are drawn in a simple look.
// False with a reason when no offscreen context can be made or the file cannot be written.
bool Screenshot(const std::string& path, std::string* error = nullptr);

// What XPLMDrawString / XPLMDrawNumber / XPLMDrawTranslucentDarkBox drew in the last draw pass.
struct DrawnText {
    int window = -1; // window being drawn, -1 outside a window's draw callback
    std::string text;
    int x = 0, y = 0;
    float rgb[3] = {0, 0, 0};
    int font = 0;
};
struct DrawnBox {
    int window = -1;
    int left = 0, top = 0, right = 0, bottom = 0;
};
std::vector<DrawnText> LastDrawnText();
std::vector<DrawnBox> LastDrawnBoxes();

// ---------------------------------------------------------------------------------------------
// Widgets (XPWidgets)

struct WidgetInfo {
    void* id = nullptr;
    std::string descriptor;
    int left = 0, top = 0, right = 0, bottom = 0;
    bool visible = false; // its own flag (XPIsWidgetVisible also looks at the parents)
    bool is_root = false;
    int widget_class = -1; // -1 for custom widgets
    void* parent = nullptr;
};
// Living widgets, in creation order.
std::vector<WidgetInfo> Widgets();

} // namespace hostsim
