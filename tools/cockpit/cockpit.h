// The virtual cockpit: the built plug-in in the simulator stand-in, emulated units on the hidraw
// path, and a scenario played against them while the units' faces, the simulator values that
// changed and the commands issued are printed.
#pragma once

#include <cstdio>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "face.h"
#include "scenario.h"

namespace qdtest {
class Testbed;
class Unit;
} // namespace qdtest

namespace cockpit {

class Sim;

struct Options {
    std::string plugin_path;   // DRAV.xpl
    std::string settings_file; // overrides the scenario's settings when not empty
    std::string profile_file;  // an aircraft profile: the aircraft loaded at the start uses it
    bool has_units = false;    // units given on the command line override the scenario's
    std::vector<UnitRef> units;
    double expect_timeout = 3.0; // wall seconds an expectation may take to come true
    bool keep_root = false;      // leave the simulator folder (settings, log) in place
    // Show what the plug-in and the device library write to standard output (the simulator's
    // console) among the cockpit's lines; otherwise it goes to console.txt in the simulator folder.
    bool console = false;
    // Pictures of the panel at every "show", at the end and at a failed expectation; empty = none.
    std::string pictures_dir;
    bool unit_pictures = false; // one picture per unit as well
    // The simulator side as a child process (sim_server) instead of in this process; with a wine
    // prefix it is a Windows program run under wine.
    std::string sim_server;
    std::string wine_prefix;
    double sim_timeout = 30; // wall seconds the simulator side may take to answer
    // Wall seconds the simulator runs after a plug or unplug: wine's device bus misses arrivals
    // and removals that come close together.
    double plug_settle = 0.15;
    // Before the plug-in starts and after each plug, wait until the simulator's device bus has
    // taken the units in (read their descriptors): wine's does so a while after they appear.
    bool wait_for_bus = false;
    FILE* out = stdout;
};

enum Result { kPassed = 0, kExpectationFailed = 1, kScenarioError = 2 };

class Cockpit {
  public:
    explicit Cockpit(const Options& options);
    ~Cockpit();
    Cockpit(const Cockpit&) = delete;
    Cockpit& operator=(const Cockpit&) = delete;

    Result Run(const Scenario& scenario);

  private:
    struct Plugged {
        UnitRef ref;
        qdtest::Unit* unit = nullptr;
        qdtest::Face shown; // the face printed last
        bool shown_plugged = true;
        std::set<int> pressed; // switches held down, for "toggle"
    };

    bool SetUp(const Scenario& scenario);
    void TearDown();
    Result Execute(const Step& step);
    Result Fail(const Step& step, const std::string& why);
    Result ScenarioError(const Step& step, const std::string& why);
    Result SimBroken(const Step& step); // the simulator side died or stopped answering
    // Fails the step when the plug-in logged a "Refresh check:" line since the last step: the
    // refresh after an input skipped a unit that was not up to date.
    Result CheckRefreshLog(const Step& step);

    Plugged* Find(const UnitRef& ref);
    Plugged& PlugNew(const UnitRef& ref);
    bool SetDataref(const Step& step, std::string* why);

    // Expectations: true when it holds; *actual describes what was there.
    bool Check(const Step& step, std::string* expected, std::string* actual);

    // Runs frames for a while of wall time so that the units' threads and reports progress.
    void Settle(double wall_seconds);
    // Waits (20 s at most) until the unit's descriptor was read more often than `seen` times;
    // false when it was not.
    bool WaitForBus(const Plugged& p, int seen);
    bool RunFramePaced(); // false once the simulator side is broken
    void PrintPanel();
    void PrintChanges();
    void Snapshot();
    // Writes the panel's picture (and the units' when asked) named after the moment.
    void WritePictures(const std::string& moment);

    void CaptureConsole();
    void RestoreConsole();

    Options options_;
    FILE* out_ = nullptr;
    int saved_stdout_ = -1;
    std::string scenario_path_;
    std::string root_;
    std::unique_ptr<qdtest::Testbed> testbed_;
    std::unique_ptr<Sim> sim_;
    std::vector<std::unique_ptr<Plugged>> units_;
    std::map<std::string, std::string> values_; // dataref values printed last
    size_t commands_printed_ = 0;
    size_t command_cursor_ = 0; // "expect command" looks from here on
    size_t log_cursor_ = 0;     // the simulator's log was read up to here
    int sender_ = 0;            // the fake plug-in that sends add-on messages
    int expectations_ = 0;
    int shows_ = 0;
};

} // namespace cockpit
