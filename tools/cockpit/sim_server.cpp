// sim_server: the simulator stand-in with the plug-in loaded, driven by the virtual cockpit over
// its standard input and output (protocol: sim_protocol.h). The emulated units are the cockpit's;
// this process reaches them as any program does, so it runs in the cockpit's environment.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "XPLMUtilities.h"
#include "hostsim.h"
#include "sim_protocol.h"

namespace {

using cockpit::FormatNumber;
using Fields = std::vector<std::string>;

// A path the cockpit names the Unix way, in the simulator's own form: where the stand-in took
// its folder to a drive (a Windows build under wine: "/tmp/x" is "Z:\tmp\x"), so do the others.
std::string SimPath(const std::string& path) {
    const std::string system = hostsim::SystemPath();
    if (system.rfind("Z:", 0) != 0 || path.empty() || path[0] != '/') return path;
    std::string native = "Z:" + path;
    std::replace(native.begin(), native.end(), '/', '\\');
    return native;
}

void Answer(const Fields& fields) {
    // What the plug-in printed goes out first, so that an answer never sits inside its text.
    std::fflush(stdout);
    const std::string line = cockpit::kSimMark + cockpit::JoinFields(fields) + "\n";
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
}

void Ok(Fields fields = {}) {
    fields.insert(fields.begin(), "ok");
    Answer(fields);
}

void Flag(bool ok) {
    Ok({ok ? "1" : "0"});
}

// One request; false for "quit".
bool Serve(const Fields& f) {
    const std::string& cmd = f[0];
    auto arg = [&](size_t i) -> const std::string& {
        static const std::string none;
        return i < f.size() ? f[i] : none;
    };
    auto number = [&](size_t i) { return std::atof(arg(i).c_str()); };
    auto integer = [&](size_t i) { return std::atoi(arg(i).c_str()); };
    if (cmd == "start") {
        hostsim::Reset();
        std::string error;
        if (hostsim::CreateRoot(arg(1), &error))
            Ok();
        else
            Answer({"err", error});
    } else if (cmd == "load") {
        std::string error;
        if (hostsim::LoadPlugin(arg(1), &error))
            Ok();
        else
            Answer({"err", error});
    } else if (cmd == "enable") {
        Flag(hostsim::EnablePlugin());
    } else if (cmd == "identity") {
        const hostsim::PluginIdentity id = hostsim::Identity();
        Ok({id.name, id.description});
    } else if (cmd == "set-aircraft") {
        hostsim::SetAircraft(SimPath(arg(1)));
        Ok();
    } else if (cmd == "load-aircraft") {
        hostsim::LoadAircraft(SimPath(arg(1)));
        Ok();
    } else if (cmd == "fake") {
        Ok({std::to_string(hostsim::InstallFakePlugin(arg(1), arg(2), false))});
    } else if (cmd == "message") {
        hostsim::SendMessage(integer(1), integer(2), static_cast<intptr_t>(std::atoll(arg(3).c_str())));
        Ok();
    } else if (cmd == "frames" || cmd == "seconds" || cmd == "now") {
        if (cmd == "frames") hostsim::RunFrames(integer(1));
        if (cmd == "seconds") hostsim::RunSeconds(number(1));
        Ok({FormatNumber(hostsim::Now())});
    } else if (cmd == "types") {
        Ok({std::to_string(hostsim::DatarefTypes(arg(1)))});
    } else if (cmd == "text") {
        Ok({hostsim::DatarefText(arg(1))});
    } else if (cmd == "values") {
        Fields all;
        for (const std::string& name : hostsim::DatarefNames()) {
            all.push_back(name);
            all.push_back(hostsim::DatarefText(name));
        }
        Ok(std::move(all));
    } else if (cmd == "set-int") {
        Flag(hostsim::SetInt(arg(1), integer(2)));
    } else if (cmd == "set-float") {
        Flag(hostsim::SetFloat(arg(1), static_cast<float>(number(2))));
    } else if (cmd == "set-double") {
        Flag(hostsim::SetDouble(arg(1), number(2)));
    } else if (cmd == "set-string") {
        Flag(hostsim::SetString(arg(1), arg(2)));
    } else if (cmd == "set-ints" || cmd == "set-floats") {
        std::vector<int> ints;
        std::vector<float> floats;
        for (size_t i = 3; i < f.size(); ++i) {
            ints.push_back(integer(i));
            floats.push_back(static_cast<float>(number(i)));
        }
        Flag(cmd == "set-ints" ? hostsim::SetInts(arg(1), ints, integer(2))
                               : hostsim::SetFloats(arg(1), floats, integer(2)));
    } else if (cmd == "commands") {
        const std::vector<hostsim::CommandEvent> log = hostsim::CommandLog();
        Fields events;
        for (size_t i = static_cast<size_t>(std::max(std::atoll(arg(1).c_str()), 0LL)); i < log.size(); ++i) {
            events.push_back(std::to_string(static_cast<int>(log[i].kind)));
            events.push_back(std::to_string(log[i].number));
            events.push_back(FormatNumber(log[i].time));
            events.push_back(log[i].name);
        }
        Ok(std::move(events));
    } else if (cmd == "log") {
        const std::string log = hostsim::DebugLog();
        const size_t first = static_cast<size_t>(std::max(std::atoll(arg(1).c_str()), 0LL));
        Ok({first < log.size() ? log.substr(first) : std::string()});
    } else if (cmd == "quit") {
        if (hostsim::IsPluginLoaded()) hostsim::UnloadPlugin();
        hostsim::Reset();
        Ok();
        return false;
    } else {
        Answer({"err", "unknown request " + cmd});
    }
    return true;
}

} // namespace

// For the cockpit's own tests, DRAV_SIM_FAULT = "WORD crashes|hangs|logs": at the first request
// that starts with WORD the server crashes, stops answering (and ends a while later), or writes
// a refresh check's line to the simulator's log as the plug-in would.
void InjectFault(const std::string& request) {
    static const char* fault = std::getenv("DRAV_SIM_FAULT");
    if (fault == nullptr) return;
    const std::string spec = fault;
    const size_t space = spec.find(' ');
    if (space == std::string::npos || request != spec.substr(0, space)) return;
    if (spec.substr(space + 1) == "crashes") std::abort();
    if (spec.substr(space + 1) == "logs") {
        XPLMDebugString("DRAV: Refresh check: QDRSX unit 1 was skipped but its refresh changed it\n");
        fault = nullptr;
        return;
    }
    std::this_thread::sleep_for(std::chrono::seconds(30));
    std::exit(0);
}

int main() {
    std::string line;
    char chunk[4096];
    while (std::fgets(chunk, sizeof chunk, stdin) != nullptr) {
        line += chunk;
        if (line.back() != '\n') continue;
        line.pop_back();
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const Fields request = cockpit::SplitFields(line);
        InjectFault(request[0]);
        const bool more = Serve(request);
        line.clear();
        if (!more) return 0;
    }
    // The cockpit went away without a quit: leave as the simulator would.
    if (hostsim::IsPluginLoaded()) hostsim::UnloadPlugin();
    return 0;
}
