// xphost: runs a plug-in in the simulator stand-in and prints what it did.
//
//   xphost [--root DIR] [--ini FILE] [--seconds S | --frames N] [--frame-time S]
//          [--message FROM:NUM:PARAM@SECOND]... [--remove-dataref NAME]... [--fake-plugin SIGNATURE]...
//          [--menu PATH@SECOND]... [--click X,Y@SECOND]... [--screen WxH] [--screenshot FILE]
//          PLUGIN.xpl
//
// --menu picks a menu item ("Plugins/Quandel/Assign Functions"), --click clicks the mouse at a
// screen point, --screenshot saves a picture of the last frame (PNG) before the plug-in goes.
#include "XPLMPlugin.h"
#include "hostsim.h"

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct TimedMessage {
    int from = 0;
    int message = 0;
    intptr_t param = 0;
    double at = 0;
    bool sent = false;
};

// A menu pick (path) or a click (x, y) at a simulated time.
struct TimedInput {
    std::string menu;
    int x = 0, y = 0;
    double at = 0;
    bool done = false;
};

struct Options {
    std::string root = "xphost-root";
    std::string ini;
    std::string plugin;
    double seconds = 5.0;
    int frames = -1;
    double frame_time = 1.0 / 60.0;
    std::vector<TimedMessage> messages;
    std::vector<std::string> removed;
    std::vector<std::string> fakes;
    std::vector<TimedInput> inputs;
    std::string screenshot;
    int screen_w = 0, screen_h = 0;
};

void Usage() {
    std::fprintf(
        stderr, "usage: xphost [--root DIR] [--ini FILE] [--seconds S | --frames N] [--frame-time S]\n"
                "              [--message FROM:NUM:PARAM@SECOND]... [--remove-dataref NAME]...\n"
                "              [--fake-plugin SIGNATURE]... [--menu PATH@SECOND]... [--click X,Y@SECOND]...\n"
                "              [--screen WxH] [--screenshot FILE] PLUGIN.xpl\n");
}

bool ParseLong(const std::string& text, long long* out) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(text.c_str(), &end, 0);
    if (errno != 0 || *end != '\0') return false;
    *out = v;
    return true;
}

bool ParseDouble(const std::string& text, double* out) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(text.c_str(), &end);
    if (errno != 0 || *end != '\0') return false;
    *out = v;
    return true;
}

// FROM:NUM:PARAM@SECOND; NUM may be hexadecimal (0x8888888E) and above INT_MAX.
bool ParseMessage(const std::string& text, TimedMessage* out) {
    const size_t c1 = text.find(':');
    const size_t c2 = c1 == std::string::npos ? c1 : text.find(':', c1 + 1);
    const size_t at = text.find('@');
    if (c1 == std::string::npos || c2 == std::string::npos || at == std::string::npos || at < c2)
        return false;
    long long from = 0, num = 0, param = 0;
    if (!ParseLong(text.substr(0, c1), &from) || !ParseLong(text.substr(c1 + 1, c2 - c1 - 1), &num) ||
        !ParseLong(text.substr(c2 + 1, at - c2 - 1), &param) || !ParseDouble(text.substr(at + 1), &out->at)) {
        return false;
    }
    if (num < INT32_MIN || num > static_cast<long long>(UINT32_MAX)) return false;
    out->from = static_cast<int>(from);
    out->message = static_cast<int>(static_cast<uint32_t>(num));
    out->param = static_cast<intptr_t>(param);
    return out->at >= 0;
}

bool ParseArgs(int argc, char** argv, Options* o) {
    for (int k = 1; k < argc; ++k) {
        const std::string a = argv[k];
        auto next = [&](std::string* v) {
            if (k + 1 >= argc) return false;
            *v = argv[++k];
            return true;
        };
        std::string v;
        if (a == "--root") {
            if (!next(&o->root)) return false;
        } else if (a == "--ini") {
            if (!next(&o->ini)) return false;
        } else if (a == "--seconds") {
            if (!next(&v) || !ParseDouble(v, &o->seconds) || o->seconds < 0) return false;
            o->frames = -1;
        } else if (a == "--frames") {
            long long n = 0;
            if (!next(&v) || !ParseLong(v, &n) || n < 0 || n > 100000000) return false;
            o->frames = static_cast<int>(n);
        } else if (a == "--frame-time") {
            if (!next(&v) || !ParseDouble(v, &o->frame_time) || o->frame_time <= 0) return false;
        } else if (a == "--message") {
            TimedMessage m;
            if (!next(&v) || !ParseMessage(v, &m)) return false;
            o->messages.push_back(m);
        } else if (a == "--remove-dataref") {
            if (!next(&v)) return false;
            o->removed.push_back(v);
        } else if (a == "--fake-plugin") {
            if (!next(&v)) return false;
            o->fakes.push_back(v);
        } else if (a == "--menu" || a == "--click") {
            TimedInput in;
            const size_t at = next(&v) ? v.rfind('@') : std::string::npos;
            if (at == std::string::npos || !ParseDouble(v.substr(at + 1), &in.at)) return false;
            const std::string what = v.substr(0, at);
            if (a == "--menu") {
                in.menu = what;
            } else if (std::sscanf(what.c_str(), "%d,%d", &in.x, &in.y) != 2) {
                return false;
            }
            o->inputs.push_back(in);
        } else if (a == "--screen") {
            if (!next(&v) || std::sscanf(v.c_str(), "%dx%d", &o->screen_w, &o->screen_h) != 2 ||
                o->screen_w <= 0 || o->screen_h <= 0 || o->screen_w > 8192 || o->screen_h > 8192)
                return false;
        } else if (a == "--screenshot") {
            if (!next(&o->screenshot)) return false;
        } else if (a == "-h" || a == "--help") {
            return false;
        } else if (!a.empty() && a[0] == '-') {
            return false;
        } else if (o->plugin.empty()) {
            o->plugin = a;
        } else {
            return false;
        }
    }
    return !o->plugin.empty();
}

bool CopyFile(const std::string& from, const std::string& to) {
    std::ifstream in(from, std::ios::binary);
    if (!in) return false;
    std::ofstream out(to, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out << in.rdbuf();
    return static_cast<bool>(out);
}

std::string TypeNames(int types) {
    static const struct {
        int bit;
        const char* name;
    } names[] = {{1, "int"}, {2, "float"}, {4, "double"}, {8, "float[]"}, {16, "int[]"}, {32, "data"}};
    std::string out;
    for (const auto& n : names) {
        if ((types & n.bit) == 0) continue;
        if (!out.empty()) out += "|";
        out += n.name;
    }
    return out.empty() ? "unknown" : out;
}

// Prints what changed since the last call, so the output follows the simulated time.
class Reporter {
  public:
    void Report() {
        PrintDebug();
        PrintWindows();
        PrintDatarefs();
        PrintFlightLoops();
        PrintMessages();
        PrintCommands();
    }

    void PrintMenus() {
        for (const auto& m : hostsim::Menus()) {
            if (!m.owned_by_plugin && m.items.empty()) continue;
            for (const auto& item : m.items) {
                if (item.separator) {
                    std::printf("[menu] %s: ----\n", m.path.c_str());
                } else if (item.submenu >= 0) {
                    std::printf("[menu] %s: \"%s\" (sub-menu)\n", m.path.c_str(), item.name.c_str());
                } else {
                    std::printf("[menu] %s: \"%s\" (item ref %" PRIdPTR ")\n", m.path.c_str(),
                                item.name.c_str(), reinterpret_cast<intptr_t>(item.item_ref));
                }
            }
        }
    }

  private:
    void PrintDebug() {
        const std::string log = hostsim::DebugLog();
        if (log.size() <= debug_done_) return;
        std::string fresh = log.substr(debug_done_);
        debug_done_ = log.size();
        size_t start = 0;
        while (start < fresh.size()) {
            size_t end = fresh.find('\n', start);
            if (end == std::string::npos) end = fresh.size();
            std::printf("[debug] %s\n", fresh.substr(start, end - start).c_str());
            start = end + 1;
        }
    }

    void PrintWindows() {
        const auto windows = hostsim::Windows();
        for (const auto& w : windows) {
            if (w.index >= static_cast<int>(window_alive_.size())) {
                std::printf(
                    "[window] #%d created at %.3f s (frame %d): left %d top %d right %d bottom %d, %s\n",
                    w.index, w.created_at, w.created_frame, w.left, w.top, w.right, w.bottom,
                    w.visible ? "visible" : "hidden");
                window_alive_.push_back(true);
            }
            if (!w.alive && window_alive_[static_cast<size_t>(w.index)]) {
                std::printf("[window] #%d destroyed at %.3f s (frame %d)\n", w.index, w.destroyed_at,
                            w.destroyed_frame);
                window_alive_[static_cast<size_t>(w.index)] = false;
            }
        }
    }

    void PrintDatarefs() {
        const auto refs = hostsim::PluginDatarefs();
        for (size_t k = 0; k < refs.size(); ++k) {
            const auto& r = refs[k];
            if (k >= dataref_registered_.size()) {
                std::printf("[dataref] registered \"%s\" %s%s at %.3f s\n", r.name.c_str(),
                            TypeNames(r.types).c_str(), r.writable ? " writable" : "", r.registered_at);
                dataref_registered_.push_back(true);
            }
            if (!r.registered && dataref_registered_[k]) {
                std::printf("[dataref] unregistered \"%s\" at %.3f s\n", r.name.c_str(), r.unregistered_at);
                dataref_registered_[k] = false;
            }
        }
    }

    void PrintFlightLoops() {
        const auto loops = hostsim::FlightLoops();
        for (size_t k = 0; k < loops.size(); ++k) {
            const auto& l = loops[k];
            const std::string name = !l.symbol.empty() ? l.symbol : !l.where.empty() ? l.where : "callback";
            if (k >= loop_registered_.size()) {
                std::printf("[flightloop] #%zu %s registered at %.3f s, interval %g\n", k, name.c_str(),
                            l.registered_at, static_cast<double>(l.registered_interval));
                loop_registered_.push_back(true);
            }
            if (!l.registered && loop_registered_[k]) {
                std::printf("[flightloop] #%zu unregistered at %.3f s after %d calls\n", k, l.unregistered_at,
                            l.calls);
                loop_registered_[k] = false;
            }
        }
    }

    void PrintMessages() {
        const auto sent = hostsim::SentMessages();
        for (size_t k = messages_done_; k < sent.size(); ++k) {
            const auto& m = sent[k];
            char signature[256] = "";
            if (m.to >= 0) XPLMGetPluginInfo(m.to, nullptr, nullptr, signature, nullptr);
            std::printf("[message] sent to %d%s%s%s: 0x%08X", m.to, signature[0] != '\0' ? " (" : "",
                        signature, signature[0] != '\0' ? ")" : "", static_cast<unsigned>(m.message));
            if (!m.text.empty()) {
                std::printf(" \"%s\"", m.text.c_str());
            } else {
                std::printf(" param %" PRIdPTR, m.param);
            }
            std::printf(" at %.3f s\n", m.time);
        }
        messages_done_ = sent.size();
    }

    void PrintCommands() {
        const auto log = hostsim::CommandLog();
        for (size_t k = commands_done_; k < log.size(); ++k) {
            const auto& c = log[k];
            if (c.name.empty()) {
                std::printf("[command] %s %d at %.3f s\n", hostsim::CommandKindName(c.kind), c.number,
                            c.time);
            } else {
                std::printf("[command] %s \"%s\" at %.3f s\n", hostsim::CommandKindName(c.kind),
                            c.name.c_str(), c.time);
            }
        }
        commands_done_ = log.size();
    }

    size_t debug_done_ = 0;
    size_t messages_done_ = 0;
    size_t commands_done_ = 0;
    std::vector<bool> window_alive_;
    std::vector<bool> dataref_registered_;
    std::vector<bool> loop_registered_;
};

void SendDueMessages(std::vector<TimedMessage>* messages) {
    for (auto& m : *messages) {
        if (m.sent || hostsim::Now() + 1e-9 < m.at) continue;
        m.sent = true;
        std::printf("[host] message from %d: 0x%08X param %" PRIdPTR " at %.3f s\n", m.from,
                    static_cast<unsigned>(m.message), m.param, hostsim::Now());
        hostsim::SendMessage(m.from, m.message, m.param);
    }
}

} // namespace

void DoDueInputs(std::vector<TimedInput>* inputs) {
    for (auto& in : *inputs) {
        if (in.done || in.at > hostsim::Now() + 1e-9) continue;
        in.done = true;
        if (!in.menu.empty()) {
            const bool ok = hostsim::PickMenuItem(in.menu);
            std::printf("[host] menu \"%s\"%s\n", in.menu.c_str(), ok ? "" : " (no such item)");
        } else {
            const bool taken = hostsim::Click(in.x, in.y);
            std::printf("[host] click %d,%d%s\n", in.x, in.y, taken ? "" : " (not taken)");
        }
    }
}

int main(int argc, char** argv) {
    Options o;
    if (!ParseArgs(argc, argv, &o)) {
        Usage();
        return 2;
    }
    hostsim::Reset();
    hostsim::SetFrameTime(o.frame_time);
    if (o.screen_w > 0) hostsim::SetScreenSize(o.screen_w, o.screen_h);
    // The stand-in has no interface texture to draw from: pictures show the flat look.
    if (!o.screenshot.empty()) hostsim::SetInterfaceTexture(false);
    std::string error;
    if (!hostsim::CreateRoot(o.root, &error)) {
        std::fprintf(stderr, "xphost: %s\n", error.c_str());
        return 1;
    }
    std::printf("[host] root %s\n", hostsim::SystemPath().c_str());
    if (!o.ini.empty()) {
        const std::string target = hostsim::SystemPath() + "Resources/plugins/DRAV/DRAV.INI";
        if (!CopyFile(o.ini, target)) {
            std::fprintf(stderr, "xphost: cannot copy %s to %s\n", o.ini.c_str(), target.c_str());
            return 1;
        }
        std::printf("[host] settings file %s\n", target.c_str());
    }
    for (const auto& name : o.removed) {
        hostsim::RemoveDataref(name);
        std::printf("[host] removed dataref \"%s\"\n", name.c_str());
    }
    for (const auto& sig : o.fakes) {
        const int id = hostsim::InstallFakePlugin(sig);
        std::printf("[host] fake plug-in %d \"%s\"\n", id, sig.c_str());
    }

    Reporter report;
    std::printf("[host] loading %s\n", o.plugin.c_str());
    const bool loaded = hostsim::LoadPlugin(o.plugin, &error);
    report.Report();
    if (!loaded) {
        std::printf("[host] load failed: %s\n", error.c_str());
        return 1;
    }
    const hostsim::PluginIdentity id = hostsim::Identity();
    std::printf("[plugin] id %d name \"%s\" signature \"%s\" description \"%s\"\n", id.id, id.name.c_str(),
                id.signature.c_str(), id.description.c_str());
    report.PrintMenus();

    const bool enabled = hostsim::EnablePlugin();
    std::printf("[host] XPluginEnable returned %d\n", enabled ? 1 : 0);
    // The plug-in binds newer functions late, through the host library in the root's plugins
    // folder: found only when that library is this very instance.
    std::printf("[host] XPLMFindSymbol found %zu functions\n", hostsim::LateBoundSymbols().size());
    report.Report();

    const double end = o.frames >= 0 ? o.frames * hostsim::FrameTime() : o.seconds;
    const int frames = o.frames >= 0 ? o.frames : static_cast<int>(o.seconds / hostsim::FrameTime() + 0.5);
    SendDueMessages(&o.messages);
    for (int k = 0; k < frames; ++k) {
        hostsim::RunFrames(1);
        SendDueMessages(&o.messages);
        DoDueInputs(&o.inputs);
        report.Report();
    }
    std::printf("[host] ran %d frames, %.3f s (asked %.3f s)\n", hostsim::FrameCount(), hostsim::Now(), end);
    for (const auto& t : hostsim::LastDrawnText()) {
        std::printf("[draw] window #%d text \"%s\" at %d,%d colour %.2f %.2f %.2f\n", t.window,
                    t.text.c_str(), t.x, t.y, t.rgb[0], t.rgb[1], t.rgb[2]);
    }

    if (!o.screenshot.empty()) {
        if (hostsim::Screenshot(o.screenshot, &error))
            std::printf("[host] screenshot %s\n", o.screenshot.c_str());
        else
            std::printf("[host] screenshot failed: %s\n", error.c_str());
    }

    hostsim::DisablePlugin();
    std::printf("[host] XPluginDisable\n");
    report.Report();
    hostsim::UnloadPlugin();
    std::printf("[host] XPluginStop, unloaded\n");
    report.Report();
    for (const auto& w : hostsim::HostWarnings())
        std::printf("[host] warning: %s\n", w.c_str());
    return 0;
}
