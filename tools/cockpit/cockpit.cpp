#include "cockpit.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "hostsim.h"
#include "picture.h"
#include "sim.h"
#include "testbed.h"

namespace cockpit {

namespace {

constexpr int kSSM = 17, kECP = 14, kNDC = 13, kANP = 18;

std::string Trim(const std::string& s) {
    const size_t first = s.find_first_not_of(' ');
    if (first == std::string::npos) return "";
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

std::string Quote(const std::string& s) {
    return "\"" + s + "\"";
}

std::vector<std::string> SplitCommas(const std::string& s) {
    std::vector<std::string> parts;
    std::stringstream ss(s);
    std::string part;
    while (std::getline(ss, part, ','))
        parts.push_back(part);
    return parts;
}

bool SameNumbers(const std::vector<double>& a, const std::vector<double>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::fabs(a[i] - b[i]) > 1e-5 * std::max(1.0, std::fabs(b[i]))) return false;
    return true;
}

std::string LampList(const std::vector<int>& lamps) {
    if (lamps.empty()) return "-";
    std::string s;
    for (int n : lamps)
        s += (s.empty() ? "" : " ") + std::to_string(n);
    return s;
}

int EncoderCount(const qdtest::ModelLayout& m) {
    return m.nibble_encoders ? 6 : static_cast<int>(m.encoder_bytes.size());
}

int SelectorCount(int type) {
    return type == kSSM ? 3 : type == kNDC ? 2 : type == kECP ? 1 : 0;
}

const char* KindText(hostsim::CommandKind kind) {
    return hostsim::CommandKindName(kind);
}

} // namespace

Cockpit::Cockpit(const Options& options) : options_(options), out_(options.out) {}

Cockpit::~Cockpit() {
    TearDown();
}

#define OUT(...) std::fprintf(out_, __VA_ARGS__)

Result Cockpit::Run(const Scenario& scenario) {
    scenario_path_ = scenario.path;
    if (!SetUp(scenario)) {
        TearDown();
        return kScenarioError;
    }
    Result result = kPassed;
    for (const Step& step : scenario.steps) {
        OUT("%s:%d: %s\n", scenario_path_.c_str(), step.line, step.source.c_str());
        result = Execute(step);
        if (result == kPassed) result = CheckRefreshLog(step);
        if (result != kPassed) break;
    }
    if (result == kPassed) {
        Settle(0.2);
        PrintChanges();
        if (!scenario.steps.empty()) result = CheckRefreshLog(scenario.steps.back());
    }
    OUT("---- panel at the end ----\n");
    PrintPanel();
    if (result != kScenarioError) WritePictures("final");
    if (result == kPassed)
        OUT("scenario passed: %zu steps, %d expectations met\n", scenario.steps.size(), expectations_);
    else
        OUT("scenario FAILED\n");
    std::fflush(out_);
    TearDown();
    return result;
}

bool Cockpit::SetUp(const Scenario& scenario) {
    char tmpl[] = "/tmp/drav_cockpit_XXXXXX";
    if (::mkdtemp(tmpl) == nullptr) {
        OUT("cannot make a simulator folder in /tmp\n");
        return false;
    }
    root_ = tmpl;
    if (!options_.console) CaptureConsole();
    // The cockpit fills the simulator folder itself: the simulator side may be another program
    // that sees it under another name.
    const std::string plugin_folder = root_ + "/Resources/plugins/DRAV/";
    std::error_code ec;
    std::filesystem::create_directories(plugin_folder, ec);
    if (ec) {
        OUT("cannot set up the simulator folder: %s\n", ec.message().c_str());
        return false;
    }

    // The settings file: from the command line, else the scenario's file or block, else none.
    const std::string ini = plugin_folder + "DRAV.INI";
    const std::string file =
        !options_.settings_file.empty() ? options_.settings_file : scenario.settings_file;
    if (!file.empty()) {
        std::filesystem::copy_file(file, ini, std::filesystem::copy_options::overwrite_existing, ec);
        if (ec) {
            OUT("cannot use the settings file %s: %s\n", file.c_str(), ec.message().c_str());
            return false;
        }
    } else if (scenario.has_settings_text) {
        std::ofstream(ini, std::ios::binary) << scenario.settings_text;
    }
    // An aircraft profile from the command line: the plug-in's own profile of an aircraft named
    // after the file, which is the aircraft loaded at the start.
    std::string profile_aircraft;
    if (!options_.profile_file.empty()) {
        const std::filesystem::path profile(options_.profile_file);
        const std::string name = profile.stem().string();
        const std::string folder = plugin_folder + "aircraft/";
        std::filesystem::create_directories(folder, ec);
        std::filesystem::copy_file(profile, folder + name + ".ini",
                                   std::filesystem::copy_options::overwrite_existing, ec);
        if (ec) {
            OUT("cannot use the profile %s: %s\n", options_.profile_file.c_str(), ec.message().c_str());
            return false;
        }
        profile_aircraft = root_ + "/Aircraft/" + name + "/" + name + ".acf";
        OUT("aircraft %s with the profile %s\n", name.c_str(), options_.profile_file.c_str());
    }

    // The units come first: a simulator side in another process (and wine's device bus) must
    // start inside their environment.
    testbed_ = std::make_unique<qdtest::Testbed>();
    std::string error;
    std::vector<UnitRef> units = options_.has_units ? options_.units : scenario.units;
    if (!options_.has_units && !scenario.has_units) ParseUnitList("all", &units, &error);
    for (const UnitRef& ref : units)
        PlugNew(ref);

    // The plug-in checks that the refresh after an input skips only units that are up to date
    // (unless the caller said otherwise); a child inherits the setting.
    ::setenv("DRAV_CHECK_REFRESH", "1", 0);
    log_cursor_ = 0;
    if (options_.sim_server.empty()) {
        sim_ = MakeInProcessSim();
    } else {
        RemoteOptions remote;
        remote.program = options_.sim_server;
        remote.wine_prefix = options_.wine_prefix;
        remote.answer_timeout = options_.sim_timeout;
        sim_ = StartRemoteSim(remote, &error);
        if (sim_ == nullptr) {
            OUT("cannot start the simulator side %s: %s\n", options_.sim_server.c_str(), error.c_str());
            return false;
        }
    }
    if (options_.wait_for_bus) {
        for (const auto& u : units_)
            if (!WaitForBus(*u, 0)) break;
    }
    if (!sim_->Start(root_, &error)) {
        OUT("cannot set up the simulator folder: %s\n", error.c_str());
        return false;
    }
    if (!profile_aircraft.empty()) sim_->SetAircraft(profile_aircraft);
    sender_ = sim_->InstallFakePlugin("drav.cockpit.scenario", "Scenario");

    OUT("DRAV virtual cockpit: %zu unit%s, settings %s, scenario %s\n", units.size(),
        units.size() == 1 ? "" : "s",
        !file.empty()                ? file.c_str()
        : scenario.has_settings_text ? "(in the scenario)"
                                     : "(none)",
        scenario_path_.c_str());
    Snapshot();
    if (!sim_->LoadPlugin(options_.plugin_path, &error)) {
        OUT("cannot load %s: %s\n", options_.plugin_path.c_str(), error.c_str());
        return false;
    }
    if (!sim_->EnablePlugin()) {
        OUT("the plug-in did not enable%s%s\n", sim_->Broken().empty() ? "" : ": ", sim_->Broken().c_str());
        return false;
    }
    std::string name, description;
    sim_->Identity(&name, &description);
    OUT("[%7.2f s] loaded %s: %s\n", sim_->Now(), name.c_str(), description.c_str());
    const char* check = std::getenv("DRAV_CHECK_REFRESH");
    if (check != nullptr && std::strcmp(check, "1") == 0 &&
        sim_->LogSince(0).find("refresh after an input is checked") == std::string::npos)
        OUT("warning: the plug-in did not turn its refresh check on\n");
    // The first refresh, half a second after enabling, registers every unit.
    sim_->RunSeconds(0.6);
    Settle(0.3);
    OUT("---- panel ----\n");
    PrintPanel();
    PrintChanges();
    return sim_->Broken().empty();
}

void Cockpit::CaptureConsole() {
    const std::string path = root_ + "/console.txt";
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return;
    std::fflush(stdout);
    saved_stdout_ = ::dup(STDOUT_FILENO);
    FILE* out = saved_stdout_ >= 0 ? ::fdopen(::dup(saved_stdout_), "w") : nullptr;
    if (out != nullptr && ::dup2(fd, STDOUT_FILENO) >= 0) {
        std::setvbuf(out, nullptr, _IOLBF, 0);
        out_ = out;
    } else {
        if (out != nullptr) std::fclose(out);
        if (saved_stdout_ >= 0) ::close(saved_stdout_);
        saved_stdout_ = -1;
    }
    ::close(fd);
}

void Cockpit::RestoreConsole() {
    if (saved_stdout_ < 0) return;
    std::fflush(stdout);
    ::dup2(saved_stdout_, STDOUT_FILENO);
    ::close(saved_stdout_);
    saved_stdout_ = -1;
    std::fclose(out_);
    out_ = options_.out;
}

void Cockpit::TearDown() {
    if (sim_ != nullptr) sim_->Stop();
    sim_.reset();
    units_.clear();
    testbed_.reset();
    RestoreConsole();
    if (!root_.empty()) {
        if (options_.keep_root) {
            OUT("simulator folder kept: %s (console output in console.txt)\n", root_.c_str());
        } else {
            std::error_code ec;
            std::filesystem::remove_all(root_, ec);
        }
        root_.clear();
    }
}

Cockpit::Plugged* Cockpit::Find(const UnitRef& ref) {
    for (auto& p : units_)
        if (p->ref == ref) return p.get();
    return nullptr;
}

Cockpit::Plugged& Cockpit::PlugNew(const UnitRef& ref) {
    auto p = std::make_unique<Plugged>();
    p->ref = ref;
    p->unit = &testbed_->plug(ref.type);
    p->shown = qdtest::ReadFace(*p->unit);
    units_.push_back(std::move(p));
    return *units_.back();
}

Result Cockpit::Fail(const Step& step, const std::string& why) {
    OUT("%s:%d: %s\n", scenario_path_.c_str(), step.line, why.c_str());
    return kExpectationFailed;
}

Result Cockpit::SimBroken(const Step& step) {
    const Result failed = Fail(step, sim_->Broken());
    WritePictures("failed-line" + std::to_string(step.line));
    return failed;
}

Result Cockpit::CheckRefreshLog(const Step& step) {
    const std::string log = sim_->LogSince(log_cursor_);
    log_cursor_ += log.size();
    const size_t at = log.find("Refresh check:");
    if (at == std::string::npos) return kPassed;
    const Result failed =
        Fail(step, "the plug-in logged \"" + log.substr(at, log.find('\n', at) - at) + "\"");
    WritePictures("failed-line" + std::to_string(step.line));
    return failed;
}

Result Cockpit::ScenarioError(const Step& step, const std::string& why) {
    OUT("%s:%d: error: %s\n", scenario_path_.c_str(), step.line, why.c_str());
    return kScenarioError;
}

Result Cockpit::Execute(const Step& step) {
    const std::string unit_name = UnitName(step.unit);
    Plugged* p = nullptr;
    switch (step.op) {
    case Op::Plug:
    case Op::Unplug:
    case Op::Turn:
    case Op::Press:
    case Op::Release:
    case Op::Toggle:
    case Op::Lever:
    case Op::Selector:
        p = Find(step.unit);
        if (step.op == Op::Plug) {
            const int seen = p != nullptr ? p->unit->descriptor_reads() : 0;
            if (p != nullptr && p->unit->plugged())
                return ScenarioError(step, unit_name + " is plugged in already");
            if (p == nullptr) {
                if (step.unit.number > 1 && Find({step.unit.type, step.unit.number - 1}) == nullptr)
                    return ScenarioError(step, "plug " + UnitName({step.unit.type, step.unit.number - 1}) +
                                                   " first");
                PlugNew(step.unit).shown_plugged = false; // announced with the changes below
            } else {
                p->unit->replug();
                p->pressed.clear();
            }
            if (options_.wait_for_bus) WaitForBus(*Find(step.unit), seen);
            break;
        }
        if (p == nullptr) return ScenarioError(step, unit_name + " was never plugged in");
        if (!p->unit->plugged()) return ScenarioError(step, unit_name + " is unplugged");
        switch (step.op) {
        case Op::Unplug:
            p->unit->unplug();
            break;
        case Op::Turn:
            if (step.a > EncoderCount(p->unit->layout()))
                return ScenarioError(step, unit_name + " has " +
                                               std::to_string(EncoderCount(p->unit->layout())) + " encoders");
            p->unit->turn(step.a, step.b);
            break;
        case Op::Press:
        case Op::Release:
        case Op::Toggle: {
            const int switches = static_cast<int>(p->unit->layout().switch_bytes.size()) * 8;
            if (step.a > switches)
                return ScenarioError(step, unit_name + " has " + std::to_string(switches) + " switches");
            const bool down = step.op == Op::Press || (step.op == Op::Toggle && !p->pressed.count(step.a));
            if (down) {
                p->unit->press(step.a);
                p->pressed.insert(step.a);
            } else {
                p->unit->release(step.a);
                p->pressed.erase(step.a);
            }
            break;
        }
        case Op::Lever:
            if (step.a > static_cast<int>(p->unit->layout().lever_bytes.size()))
                return ScenarioError(step, unit_name + " has " +
                                               std::to_string(p->unit->layout().lever_bytes.size()) +
                                               " levers");
            p->unit->lever(step.a, static_cast<uint8_t>(step.b));
            break;
        case Op::Selector:
            if (step.a > SelectorCount(step.unit.type))
                return ScenarioError(step, unit_name + " has " +
                                               std::to_string(SelectorCount(step.unit.type)) + " selectors");
            p->unit->selector(step.a, step.b);
            break;
        default:
            break;
        }
        break;
    case Op::Set: {
        std::string why;
        if (!SetDataref(step, &why)) return ScenarioError(step, why);
        break;
    }
    case Op::WaitFrames:
        for (int i = 0; i < step.b && RunFramePaced(); ++i) {
        }
        break;
    case Op::WaitSeconds: {
        const double until = sim_->Now() + step.seconds;
        while (sim_->Now() < until - 1e-9 && RunFramePaced()) {
        }
        break;
    }
    case Op::Message:
        sim_->SendMessage(step.from_sim ? 0 : sender_, step.a, step.param);
        break;
    case Op::Aircraft:
        OUT("[%7.2f s] aircraft %s\n", sim_->Now(), step.name.c_str());
        sim_->LoadAircraft(step.name);
        break;
    case Op::Copy: {
        const std::string target = root_ + "/Resources/plugins/DRAV/" + step.text;
        std::error_code ec;
        std::filesystem::create_directories(std::filesystem::path(target).parent_path(), ec);
        std::filesystem::copy_file(step.name, target, std::filesystem::copy_options::overwrite_existing, ec);
        if (ec) return ScenarioError(step, "cannot copy " + step.name + ": " + ec.message());
        OUT("[%7.2f s] %s copied to %s\n", sim_->Now(), step.name.c_str(), step.text.c_str());
        break;
    }
    case Op::Show: {
        PrintChanges();
        OUT("---- panel ----\n");
        PrintPanel();
        char moment[16];
        std::snprintf(moment, sizeof moment, "%03d", ++shows_);
        WritePictures(moment);
        return kPassed;
    }
    default: {
        // An expectation: frames run until it holds or the time is up.
        std::string expected, actual;
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::duration<double>(options_.expect_timeout);
        for (;;) {
            expected.clear();
            actual.clear();
            if (Check(step, &expected, &actual)) break;
            if (expected.empty()) return ScenarioError(step, actual);
            if (!sim_->Broken().empty()) break;
            if (std::chrono::steady_clock::now() > deadline) {
                PrintChanges();
                const Result failed = Fail(step, "expected " + expected + ", got " + actual);
                WritePictures("failed-line" + std::to_string(step.line));
                return failed;
            }
            RunFramePaced();
        }
        if (!sim_->Broken().empty()) return SimBroken(step);
        ++expectations_;
        PrintChanges();
        return kPassed;
    }
    }
    Settle(step.op == Op::Plug || step.op == Op::Unplug ? options_.plug_settle : 0.15);
    PrintChanges();
    return sim_->Broken().empty() ? kPassed : SimBroken(step);
}

bool Cockpit::SetDataref(const Step& step, std::string* why) {
    const int types = sim_->DatarefTypes(step.name);
    if (types == 0) {
        *why = "no dataref " + step.name;
        return false;
    }
    bool ok = false;
    if (step.exact) { // quoted: a text for a byte array
        ok = (types & 32) && sim_->SetString(step.name, step.text);
    } else {
        std::vector<double> v;
        ParseNumberList(step.text, &v);
        const bool array = step.a >= 0 || v.size() > 1 || !(types & (1 | 2 | 4));
        const int offset = std::max(step.a, 0);
        if (array && (types & 8)) {
            ok = sim_->SetFloats(step.name, std::vector<float>(v.begin(), v.end()), offset);
        } else if (array && (types & 16)) {
            std::vector<int> ints;
            for (double d : v)
                ints.push_back(static_cast<int>(std::lround(d)));
            ok = sim_->SetInts(step.name, ints, offset);
        } else if (!array && (types & 2)) {
            ok = sim_->SetFloat(step.name, static_cast<float>(v[0]));
        } else if (!array && (types & 4)) {
            ok = sim_->SetDouble(step.name, v[0]);
        } else if (!array && (types & 1)) {
            ok = sim_->SetInt(step.name, static_cast<int>(std::lround(v[0])));
        }
    }
    if (!ok) *why = "cannot write " + step.text + " to " + step.name;
    return ok;
}

bool Cockpit::Check(const Step& step, std::string* expected, std::string* actual) {
    const std::string unit_name = UnitName(step.unit);
    Plugged* p = nullptr;
    if (step.op == Op::ExpectDisplay || step.op == Op::ExpectLamp || step.op == Op::ExpectLamps ||
        step.op == Op::ExpectColour) {
        p = Find(step.unit);
        if (p == nullptr) {
            *actual = unit_name + " was never plugged in";
            return false;
        }
    }
    switch (step.op) {
    case Op::ExpectDisplay: {
        const std::vector<std::string> names = qdtest::DisplayNames(step.unit.type);
        if (std::find(names.begin(), names.end(), step.name) == names.end()) {
            *actual = unit_name + " has no display \"" + step.name + "\"";
            for (size_t i = 0; i < names.size(); ++i)
                *actual += (i ? ", " : " (its displays: ") + names[i] + (i + 1 == names.size() ? ")" : "");
            return false;
        }
        const qdtest::Face face = qdtest::ReadFace(*p->unit);
        const qdtest::Face::Display* d = face.display(step.name);
        *expected = "display " + unit_name + " " + step.name + " " + Quote(step.text);
        *actual = d->received ? Quote(d->text) : "nothing (the display was never written)";
        return d->received && (step.exact ? d->text == step.text : Trim(d->text) == Trim(step.text));
    }
    case Op::ExpectLamp:
    case Op::ExpectLamps: {
        const int count = qdtest::LampCount(step.unit.type);
        int highest = step.a;
        for (int n : step.lamps)
            highest = std::max(highest, n);
        if (highest > count) {
            *actual = unit_name + " has " + std::to_string(count) + " lamps";
            return false;
        }
        const qdtest::Face face = qdtest::ReadFace(*p->unit);
        if (step.op == Op::ExpectLamp) {
            const bool lit = std::find(face.lamps.begin(), face.lamps.end(), step.a) != face.lamps.end();
            *expected = "lamp " + unit_name + " " + std::to_string(step.a) + (step.on ? " on" : " off");
            *actual = std::string(lit ? "on" : "off") + " (lit: " + LampList(face.lamps) + ")";
            return lit == step.on;
        }
        *expected = "lamps " + unit_name + " " + LampList(step.lamps);
        *actual = LampList(face.lamps);
        return face.lamps == step.lamps;
    }
    case Op::ExpectColour: {
        if (step.unit.type != kANP) {
            *actual = "only QD-ANP lamps have colours";
            return false;
        }
        const auto c = qdtest::ReadFace(*p->unit).colours[static_cast<size_t>(step.a - 1)];
        auto rgb = [](int r, int g, int b) {
            return std::to_string(r) + "/" + std::to_string(g) + "/" + std::to_string(b);
        };
        *expected = "colour " + unit_name + " " + std::to_string(step.a) + " " +
                    rgb(step.lamps[0], step.lamps[1], step.lamps[2]);
        *actual = c[0] < 0 ? "nothing (the lamp was never set)" : rgb(c[0], c[1], c[2]);
        return c[0] == step.lamps[0] && c[1] == step.lamps[1] && c[2] == step.lamps[2];
    }
    case Op::ExpectDataref: {
        if (sim_->DatarefTypes(step.name) == 0) {
            *actual = "no dataref " + step.name;
            return false;
        }
        std::string value = sim_->DatarefText(step.name);
        std::string label = step.name;
        if (step.a >= 0) {
            const std::vector<std::string> parts = SplitCommas(value);
            if (static_cast<size_t>(step.a) >= parts.size()) {
                *actual = step.name + " has " + std::to_string(parts.size()) + " elements";
                return false;
            }
            value = parts[static_cast<size_t>(step.a)];
            label += "[" + std::to_string(step.a) + "]";
        }
        *expected = "dataref " + label + " = " + (step.exact ? Quote(step.text) : step.text);
        *actual = step.exact ? Quote(value) : value;
        if (step.exact) return value == step.text;
        std::vector<double> want, have;
        ParseNumberList(step.text, &want);
        return ParseNumberList(value, &have) && SameNumbers(have, want);
    }
    case Op::ExpectCommand:
    case Op::ExpectKey:
    case Op::ExpectButton: {
        const std::vector<hostsim::CommandEvent> log = sim_->CommandsSince(command_cursor_);
        auto matches = [&](const hostsim::CommandEvent& e) {
            if (step.op == Op::ExpectCommand)
                return (e.kind == hostsim::CommandKind::Once || e.kind == hostsim::CommandKind::Begin) &&
                       e.name == step.name;
            if (step.op == Op::ExpectKey)
                return e.kind == hostsim::CommandKind::KeyStroke && e.number == step.a;
            return e.kind == hostsim::CommandKind::ButtonPress && e.number == step.a;
        };
        for (size_t i = 0; i < log.size(); ++i) {
            if (matches(log[i])) {
                command_cursor_ += i + 1;
                return true;
            }
        }
        *expected = step.op == Op::ExpectCommand ? "command " + step.name
                    : step.op == Op::ExpectKey   ? "key " + std::to_string(step.a)
                                                 : "button " + std::to_string(step.a);
        if (log.empty()) {
            *actual = "no command";
        } else {
            actual->clear();
            for (const hostsim::CommandEvent& e : log) {
                *actual += (actual->empty() ? "" : ", ") + std::string(KindText(e.kind)) + " " +
                           (e.name.empty() ? std::to_string(e.number) : e.name);
            }
        }
        return false;
    }
    default:
        return true;
    }
}

bool Cockpit::RunFramePaced() {
    sim_->RunFrames(1);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return sim_->Broken().empty();
}

bool Cockpit::WaitForBus(const Plugged& p, int seen) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (p.unit->descriptor_reads() == seen) {
        if (std::chrono::steady_clock::now() > deadline) {
            OUT("the simulator's device bus has not taken in %s\n", UnitName(p.ref).c_str());
            return false;
        }
        if (sim_ != nullptr && !sim_->Broken().empty()) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

void Cockpit::Settle(double wall_seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(wall_seconds);
    while (std::chrono::steady_clock::now() < deadline && RunFramePaced()) {
    }
}

void Cockpit::PrintPanel() {
    for (auto& p : units_) {
        const bool plugged = p->unit->plugged();
        p->shown = qdtest::ReadFace(*p->unit);
        p->shown_plugged = plugged;
        const std::string face = qdtest::FormatFace(p->shown);
        OUT("  %-8s %s\n", UnitName(p->ref).c_str(),
            !plugged       ? "(unplugged)"
            : face.empty() ? "(controls only)"
                           : face.c_str());
    }
}

void Cockpit::WritePictures(const std::string& moment) {
    if (options_.pictures_dir.empty()) return;
    std::error_code ec;
    std::filesystem::create_directories(options_.pictures_dir, ec);
    std::vector<UnitView> views;
    for (const auto& p : units_) {
        UnitView v;
        const qdtest::ModelLayout* layout = qdtest::LayoutOf(p->ref.type);
        v.label = std::string(layout != nullptr ? layout->name : "?") + " " + std::to_string(p->ref.number);
        v.type = p->ref.type;
        v.plugged = p->unit->plugged();
        v.face = qdtest::ReadFace(*p->unit);
        v.controls = qdtest::ReadControls(*p->unit);
        views.push_back(std::move(v));
    }
    auto write = [&](const Picture* picture, const std::string& name) {
        const std::string path = (std::filesystem::path(options_.pictures_dir) / name).string();
        std::string error;
        if (picture != nullptr && picture->WritePng(path, &error))
            OUT("picture: %s\n", path.c_str());
        else
            OUT("cannot write the picture %s: %s\n", path.c_str(), error.c_str());
    };
    write(DrawPanel(views).get(), "panel-" + moment + ".png");
    if (!options_.unit_pictures) return;
    for (const UnitView& v : views) {
        std::string name = v.label;
        std::replace(name.begin(), name.end(), ' ', '-');
        write(DrawUnit(v).get(), name + "-" + moment + ".png");
    }
}

void Cockpit::Snapshot() {
    values_.clear();
    for (auto& [name, value] : sim_->DatarefValues())
        values_[name] = std::move(value);
}

void Cockpit::PrintChanges() {
    const double now = sim_->Now();
    // Commands first: they carry the time they were issued, before the changes they caused.
    for (const hostsim::CommandEvent& e : sim_->CommandsSince(commands_printed_)) {
        ++commands_printed_;
        if (e.name.empty())
            OUT("[%7.2f s] %s %d\n", e.time, KindText(e.kind), e.number);
        else
            OUT("[%7.2f s] command %s (%s)\n", e.time, e.name.c_str(), KindText(e.kind));
    }
    for (auto& p : units_) {
        const bool plugged = p->unit->plugged();
        if (plugged != p->shown_plugged) {
            OUT("[%7.2f s] %-8s %s\n", now, UnitName(p->ref).c_str(), plugged ? "plugged in" : "unplugged");
            p->shown_plugged = plugged;
        }
        const qdtest::Face face = qdtest::ReadFace(*p->unit);
        if (plugged && !(face == p->shown)) {
            OUT("[%7.2f s] %-8s %s\n", now, UnitName(p->ref).c_str(), qdtest::FormatFace(face).c_str());
        }
        p->shown = face;
    }
    for (auto& [name, value] : sim_->DatarefValues()) {
        auto it = values_.find(name);
        if (it == values_.end()) {
            values_.emplace(std::move(name), std::move(value));
        } else if (it->second != value) {
            OUT("[%7.2f s] %s: %s -> %s\n", now, name.c_str(), it->second.c_str(), value.c_str());
            it->second = std::move(value);
        }
    }
    std::fflush(out_);
}

} // namespace cockpit
