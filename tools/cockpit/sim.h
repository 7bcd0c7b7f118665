// The simulator side of the virtual cockpit: the stand-in with the plug-in loaded, either in the
// cockpit's own process or in a child process (the sim server, possibly a Windows build under
// wine) reached over the line protocol of sim_protocol.h. The units always stay with the cockpit.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "hostsim.h"

namespace cockpit {

class Sim {
  public:
    virtual ~Sim() = default;

    // A fresh simulator whose folder is root, a folder the cockpit made and fills itself.
    virtual bool Start(const std::string& root, std::string* error) = 0;
    virtual bool LoadPlugin(const std::string& path, std::string* error) = 0;
    virtual bool EnablePlugin() = 0;
    virtual void Identity(std::string* name, std::string* description) = 0;
    // Unloads the plug-in and ends the simulator.
    virtual void Stop() = 0;

    virtual void SetAircraft(const std::string& acf_path) = 0;
    virtual void LoadAircraft(const std::string& acf_path) = 0;
    virtual int InstallFakePlugin(const std::string& signature, const std::string& name) = 0;
    virtual void SendMessage(int from, int message, intptr_t param) = 0;

    virtual void RunFrames(int frames) = 0;
    virtual void RunSeconds(double seconds) = 0;
    virtual double Now() = 0;

    virtual int DatarefTypes(const std::string& name) = 0;
    virtual std::string DatarefText(const std::string& name) = 0;
    // Every dataref with its value as text, in table order.
    virtual std::vector<std::pair<std::string, std::string>> DatarefValues() = 0;
    virtual bool SetInt(const std::string& name, int value) = 0;
    virtual bool SetFloat(const std::string& name, float value) = 0;
    virtual bool SetDouble(const std::string& name, double value) = 0;
    virtual bool SetInts(const std::string& name, const std::vector<int>& values, int offset) = 0;
    virtual bool SetFloats(const std::string& name, const std::vector<float>& values, int offset) = 0;
    virtual bool SetString(const std::string& name, const std::string& text) = 0;

    // The commands, key strokes and buttons issued, from the first-th on.
    virtual std::vector<hostsim::CommandEvent> CommandsSince(size_t first) = 0;
    // The simulator's log (every XPLMDebugString text) from byte `first` on.
    virtual std::string LogSince(size_t first) = 0;

    // Why the simulator side stopped working (it ended or stopped answering); empty while it
    // works. Once broken, every call returns at once with an empty result.
    virtual std::string Broken() const { return {}; }
};

// The stand-in linked into this process.
std::unique_ptr<Sim> MakeInProcessSim();

struct RemoteOptions {
    std::string program;        // the sim server
    std::string wine_prefix;    // run the program under wine64 with this prefix; empty: natively
    double answer_timeout = 30; // seconds an answer may take
};
// Starts the sim server as a child. With wine, the wineserver is started afresh first, so that it
// runs inside this process's environment (the emulated units must be plugged before).
std::unique_ptr<Sim> StartRemoteSim(const RemoteOptions& options, std::string* error);

} // namespace cockpit
