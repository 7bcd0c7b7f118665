// Internal state of the simulator stand-in, shared by the SDK implementation files.
#pragma once

#include "hostsim.h"
#include "xplm_sdk.h"

#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

namespace hostsim {

// The simulator's own id; the loaded plug-in and fake plug-ins get ids from 1 on.
constexpr int kSimulatorId = 0;

// A dataref handle points at one of these. What reads and writes look at comes first, within
// one cache line, so that a read costs about what the simulator's does (a call through a handle).
struct alignas(64) Dataref {
    int types = 0;
    bool writable = true;
    bool alive = true;              // false: removed or unregistered; handles read 0 from then on
    bool plugin_owned = false;      // registered through XPLMRegisterDataAccessor
    bool toggles_autopilot = false; // autopilot_state: a write toggles the modes of the bits written
    // Storage of simulator (and shared) datarefs.
    int i = 0;
    float f = 0;
    double d = 0;
    // Accessors of plug-in datarefs, the readers first.
    XPLMGetDatai_f gi = nullptr;
    XPLMGetDataf_f gf = nullptr;
    void* read_ref = nullptr;
    XPLMGetDatavi_f gvi = nullptr;
    XPLMGetDatavf_f gvf = nullptr;
    XPLMGetDatad_f gd = nullptr;
    XPLMGetDatab_f gb = nullptr;
    XPLMSetDatai_f si = nullptr;
    XPLMSetDataf_f sf = nullptr;
    XPLMSetDatad_f sd = nullptr;
    XPLMSetDatavi_f svi = nullptr;
    XPLMSetDatavf_f svf = nullptr;
    XPLMSetDatab_f sb = nullptr;
    void* write_ref = nullptr;
    std::vector<int> vi;
    std::vector<float> vf;
    std::vector<uint8_t> b;
    std::string name;
    int owner = kSimulatorId;
    double registered_at = 0;
    double unregistered_at = -1;
    void ClearAccessors();
};

struct FlightLoop {
    XPLMFlightLoop_f cb = nullptr;
    void* refcon = nullptr;
    bool created = false; // XPLMCreateFlightLoop rather than the legacy registration
    bool registered = true;
    bool scheduled = false;
    double next_call = -1;
    int frames_left = 0;
    double last_call = 0; // time of the last call (registration time before the first)
    int calls = 0;
    float last_return = 0;
    double registered_at = 0;
    double unregistered_at = -1;
    float registered_interval = 0;
    int64_t cpu_ns = 0;      // thread CPU time spent in the callback, all calls
    int64_t last_cpu_ns = 0; // the same for the latest call
    int last_frame = -1;     // frame of the latest call
};

struct Window {
    int index = 0;
    int left = 0, top = 0, right = 0, bottom = 0;
    bool visible = false;
    bool alive = true;
    bool modern = false;
    XPLMDrawWindow_f draw = nullptr;
    XPLMHandleKey_f key = nullptr;
    XPLMHandleMouseClick_f click = nullptr;
    XPLMHandleMouseClick_f right_click = nullptr;
    XPLMHandleCursor_f cursor = nullptr;
    XPLMHandleMouseWheel_f wheel = nullptr;
    void* refcon = nullptr;
    std::string title;
    int decoration = 0;
    int layer = 0;
    double created_at = 0;
    int created_frame = 0;
    double destroyed_at = -1;
    int destroyed_frame = -1;
    long z = 0; // front-most has the largest
};

struct MenuItem {
    std::string name;
    void* item_ref = nullptr;
    int submenu = -1;
    bool enabled = true;
    int check = 0;
    bool separator = false;
    XPLMCommandRef command = nullptr;
};

struct Menu {
    int index = 0;
    std::string name;
    int parent = -1;
    int parent_item = -1;
    XPLMMenuHandler_f handler = nullptr;
    void* menu_ref = nullptr;
    bool alive = true;
    bool owned_by_plugin = true;
    std::vector<MenuItem> items;
};

struct CommandHandler {
    XPLMCommandCallback_f cb = nullptr;
    int before = 0;
    void* refcon = nullptr;
};

struct Command {
    std::string name;
    std::string description;
    bool known = true; // false once removed from the table: XPLMFindCommand no longer finds it
    std::vector<CommandHandler> handlers;
};

struct PluginRec {
    int id = 0;
    bool fake = false;
    bool enabled = false;
    bool copy_string_params = false;
    std::string name, signature, description, path;
    std::vector<ReceivedMessage> received;
    // Loaded plug-in only.
    void* handle = nullptr;
    int (*start)(char*, char*, char*) = nullptr;
    void (*stop)() = nullptr;
    int (*enable)() = nullptr;
    void (*disable)() = nullptr;
    void (*receive)(XPLMPluginID, int, void*) = nullptr;
};

struct Widget {
    XPWidgetID id = nullptr; // == this
    int left = 0, top = 0, right = 0, bottom = 0;
    bool visible = false;
    bool is_root = false;
    bool alive = true;
    int widget_class = -1;
    std::string descriptor;
    Widget* parent = nullptr;
    std::vector<Widget*> children;
    std::vector<XPWidgetFunc_t> callbacks; // first runs first (most recently added)
    std::map<int, intptr_t> properties;
    long z = 0;
};

struct Host {
    // Settings
    std::string system_path = "/";
    std::string aircraft_path; // the user's aircraft (.acf), "" for none
    int xplane_version = 11550;
    int xplm_version = 301;
    int host_id = xplm_Host_XPlane;
    int screen_w = 1920, screen_h = 1080;
    int mouse_x = 0, mouse_y = 0;
    bool interface_texture = true;
    // Where the mouse button went down: a window index or a widget (-1 / null for neither).
    int mouse_window = -1;
    XPWidgetID mouse_widget = nullptr;

    // Clock
    double frame_time = 1.0 / 60.0;
    double now = 0;
    int frame = 0;

    // Datarefs: objects live until Reset so stale handles never dangle.
    std::vector<std::unique_ptr<Dataref>> datarefs;
    // Datarefs and commands from before a Reset: code linked into a test may still hold their
    // handles, which must keep reading 0 rather than dangle.
    std::vector<std::unique_ptr<Dataref>> retired_datarefs;
    std::vector<std::unique_ptr<Command>> retired_commands;
    std::unordered_map<std::string, Dataref*> dataref_by_name;

    std::vector<std::unique_ptr<FlightLoop>> loops;
    bool in_flight_loop_pass = false;

    std::vector<std::unique_ptr<Window>> windows;
    int drawing_window = -1;
    long z_counter = 0;
    XPLMWindowID keyboard_focus = nullptr;
    std::vector<DrawnText> drawn_text;
    std::vector<DrawnBox> drawn_boxes;
    struct DrawCallback {
        XPLMDrawCallback_f cb;
        int phase;
        int before;
        void* refcon;
    };
    std::vector<DrawCallback> draw_callbacks;

    std::vector<std::unique_ptr<Menu>> menus; // [0] = the host's Plugins menu

    std::vector<std::unique_ptr<Command>> commands;
    std::unordered_map<std::string, Command*> command_by_name;
    std::vector<CommandEvent> command_log;

    std::vector<std::unique_ptr<PluginRec>> plugins;
    PluginRec* loaded = nullptr;
    int next_plugin_id = 1;
    std::vector<SentMessage> sent_messages;
    std::vector<std::string> warnings;
    std::vector<std::string> late_bound; // names XPLMFindSymbol found
    int threads_at_load = 0;

    std::vector<std::unique_ptr<Widget>> widgets;
    Widget* widget_focus = nullptr;

    std::map<std::string, bool> features;
    XPLMError_f error_callback = nullptr;
    std::vector<std::unique_ptr<int>> hot_keys;
    struct KeySniffer {
        XPLMKeySniffer_f cb;
        int before;
        void* refcon;
    };
    std::vector<KeySniffer> key_sniffers;
    int next_texture = 100;
};

Host& H();

// Debug-string log (guarded: the only state a plug-in thread might touch by mistake).
void AppendDebug(const char* text);
void ResetDebug();

// Set up the built-in tables (called by Reset).
void LoadBuiltinDatarefs();
void LoadBuiltinCommands();
void ResetMenus();
void ResetFeatures();

// Parts of a frame.
void RunFlightLoops();

// Removes everything that points into a plug-in that is being unloaded.
void ForgetPluginCallbacks();

// Widget helpers used by the test API and the draw pass.
void DestroyAllWidgetsSilently();
// Visible root widgets with their stacking order (larger z in front).
std::vector<std::pair<long, XPWidgetID>> VisibleRootWidgets();
// Sends xpMsg_Draw to a visible tree, parents before children.
void DrawWidgetTree(XPWidgetID root);
// The front-most visible widget of root's tree under (x, y); null when root is not under it.
XPWidgetID WidgetForMouse(XPWidgetID root, int x, int y);

// Dataref helpers.
Dataref* FindLiveDataref(const std::string& name);
bool ParseDatarefLine(const std::string& line, std::string* name, std::string* type, std::string* initial,
                      bool* writable);
bool MakeSimDataref(const std::string& name, const std::string& type, const std::string& initial,
                    bool writable, std::unique_ptr<Dataref>* out);

// The autopilot_state behaviour.
constexpr const char* kAutopilotState = "sim/cockpit/autopilot/autopilot_state";
void ToggleAutopilotBits(int bits);

const char* EmbeddedDatarefs();
const char* EmbeddedCommands();

} // namespace hostsim
