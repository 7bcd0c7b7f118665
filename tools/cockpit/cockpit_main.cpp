// cockpit: plays a scenario against the built plug-in with emulated units, no simulator and no
// hardware needed. Exit status: 0 passed, 1 an expectation failed, 2 the scenario or set-up is wrong.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "cockpit.h"
#include "picture.h"
#include "scenario.h"
#include "testbed.h"

#ifndef DRAV_XPL_PATH
#error "DRAV_XPL_PATH must name the built plug-in"
#endif

namespace {

void Usage() {
    std::fprintf(
        stderr,
        "usage: cockpit [--ini FILE] [--profile FILE] [--units LIST] [--plugin DRAV.xpl]\n"
        "               [--timeout SECONDS] [--keep] [--console] [--pictures DIR [--unit-pictures]]\n"
        "               [--sim-server PROGRAM [--wine PREFIX] [--sim-timeout S]] SCENARIO\n"
        "  --ini FILE      settings file to use instead of the scenario's\n"
        "  --profile FILE  an aircraft profile (NAME.ini): aircraft NAME is loaded with it\n"
        "  --units LIST    units plugged in at the start instead of the scenario's, e.g.\n"
        "                  RSX,PBX,PBX (two push-button panels), all, or none\n"
        "  --plugin PATH   the plug-in binary (default: the one this build made)\n"
        "  --timeout S     how long an expectation may take to come true (default 3)\n"
        "  --keep          keep the simulator folder (DRAV.INI, DRAVLog.txt) afterwards\n"
        "  --console       show the simulator console (what the plug-in prints) among the lines\n"
        "  --pictures DIR  write the panel's picture at every show step (panel-001.png, ...), at the\n"
        "                  end (panel-final.png) and when an expectation fails (panel-failed-lineN.png)\n"
        "  --unit-pictures with --pictures: one picture per unit as well (QD-RSX-1-final.png, ...)\n"
        "  --sim-server P  run the simulator and the plug-in in program P (sim_server), a child process\n"
        "  --wine PREFIX   with --sim-server: P is the Windows sim_server.exe, run under wine with that\n"
        "                  prefix; --plugin then names the Windows DRAV.xpl\n"
        "  --sim-timeout S with --sim-server: how long it may take to answer (default 30)\n");
}

} // namespace

int main(int argc, char** argv) {
    cockpit::Options options;
    options.plugin_path = DRAV_XPL_PATH;
    std::string scenario_path;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        const char* v = nullptr;
        if (std::strcmp(arg, "--ini") == 0 && (v = value())) {
            options.settings_file = v;
        } else if (std::strcmp(arg, "--profile") == 0 && (v = value())) {
            options.profile_file = v;
        } else if (std::strcmp(arg, "--units") == 0 && (v = value())) {
            std::string error;
            if (!cockpit::ParseUnitList(v, &options.units, &error)) {
                std::fprintf(stderr, "cockpit: --units: %s\n", error.c_str());
                return cockpit::kScenarioError;
            }
            options.has_units = true;
        } else if (std::strcmp(arg, "--plugin") == 0 && (v = value())) {
            options.plugin_path = v;
        } else if (std::strcmp(arg, "--timeout") == 0 && (v = value())) {
            options.expect_timeout = std::atof(v);
        } else if (std::strcmp(arg, "--console") == 0) {
            options.console = true;
        } else if (std::strcmp(arg, "--pictures") == 0 && (v = value())) {
            options.pictures_dir = v;
        } else if (std::strcmp(arg, "--unit-pictures") == 0) {
            options.unit_pictures = true;
        } else if (std::strcmp(arg, "--sim-server") == 0 && (v = value())) {
            options.sim_server = v;
        } else if (std::strcmp(arg, "--sim-timeout") == 0 && (v = value())) {
            options.sim_timeout = std::atof(v);
        } else if (std::strcmp(arg, "--wine") == 0 && (v = value())) {
            options.wine_prefix = v;
        } else if (std::strcmp(arg, "--keep") == 0) {
            options.keep_root = true;
        } else if (arg[0] != '-' && scenario_path.empty()) {
            scenario_path = arg;
        } else {
            Usage();
            return cockpit::kScenarioError;
        }
    }
    if (scenario_path.empty()) {
        Usage();
        return cockpit::kScenarioError;
    }
    if (!options.wine_prefix.empty()) {
        if (options.sim_server.empty() || options.plugin_path == DRAV_XPL_PATH) {
            std::fprintf(stderr, "cockpit: --wine needs --sim-server and --plugin (the Windows builds)\n");
            return cockpit::kScenarioError;
        }
        // Wine's device bus misses arrivals and removals that come close together.
        options.plug_settle = 0.3;
        options.wait_for_bus = true;
    }
    cockpit::Scenario scenario;
    std::string error;
    if (!cockpit::LoadScenario(scenario_path, &scenario, &error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return cockpit::kScenarioError;
    }
    // The emulated units live at the kernel interface: the program runs under umockdev's preload.
    if (!qdtest::Testbed::EnsurePreload(argv)) {
        std::fprintf(stderr, "cockpit: needs umockdev (apt-get install umockdev libumockdev-dev)\n");
        return cockpit::kScenarioError;
    }
    int result = cockpit::kScenarioError;
    {
        cockpit::Cockpit cockpit(options);
        result = cockpit.Run(scenario);
    }
    cockpit::ReleaseDrawingCaches();
    return result;
}
