// qdwinebed: owns emulated units on the Linux side and runs a Windows test program under wine
// as its child, so that wine's HID stack (winebus over udev and hidraw) sees the units.
//
//   qdwinebed <wine prefix> <program.exe> [args...]
//
// The program drives the units through lines on its standard output that start with "@qd "
// (see remote_bed.h); each gets one answer line on its standard input. Every other line is
// passed on. The exit status is the program's.
#include "testbed.h"
#include "winehost.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr char kCommandMark[] = "@qd ";
// Pause after each plug and unplug (see unplug-all).
constexpr auto kSettle = std::chrono::milliseconds(250);

std::string Hex(const std::vector<uint8_t>& bytes) {
    std::string out;
    char b[3];
    for (uint8_t v : bytes) {
        std::snprintf(b, sizeof b, "%02x", v);
        out += b;
    }
    return out.empty() ? "-" : out;
}

std::vector<uint8_t> Unhex(const std::string& text) {
    std::vector<uint8_t> out;
    for (size_t i = 0; i + 1 < text.size(); i += 2)
        out.push_back(static_cast<uint8_t>(std::strtoul(text.substr(i, 2).c_str(), nullptr, 16)));
    return out;
}

class Bed {
  public:
    // One command line (without the mark); the answer is "ok [words]" or "err <why>".
    std::string Execute(const std::string& line) {
        std::istringstream in(line);
        std::string cmd;
        in >> cmd;
        if (cmd == "plug") {
            int type = 0, no_ids = 0;
            unsigned version = 0x0100;
            std::string serial;
            in >> type >> std::hex >> version >> std::dec >> no_ids >> serial;
            if (!qdtest::LayoutOf(type)) return "err no such model";
            qdtest::PlugOptions opt;
            opt.version = static_cast<uint16_t>(version);
            opt.no_report_ids = no_ids != 0;
            if (serial != "-") opt.serial = serial;
            tb_.plug(type, opt);
            std::this_thread::sleep_for(kSettle);
            return "ok " + std::to_string(tb_.units().size() - 1);
        }
        if (cmd == "foreign") {
            unsigned vendor = 0, product = 0;
            in >> std::hex >> vendor >> product;
            tb_.plug_foreign(static_cast<uint16_t>(vendor), static_cast<uint16_t>(product));
            return "ok";
        }
        if (cmd == "unplug-all") {
            // One at a time: wine's bus misses arrivals and removals that come close together.
            for (const auto& u : tb_.units()) {
                if (!u->plugged()) continue;
                u->unplug();
                std::this_thread::sleep_for(kSettle);
            }
            return "ok";
        }
        size_t index = 0;
        in >> index;
        if (index >= tb_.units().size()) return "err no such unit";
        qdtest::Unit& u = *tb_.units()[index];
        int a = 0, b = 0;
        if (cmd == "turn") {
            in >> a >> b;
            u.turn(a, b);
        } else if (cmd == "press") {
            in >> a;
            u.press(a);
        } else if (cmd == "release") {
            in >> a;
            u.release(a);
        } else if (cmd == "lever") {
            in >> a >> b;
            u.lever(a, static_cast<uint8_t>(b));
        } else if (cmd == "raw") {
            std::string hex;
            in >> hex;
            u.send_raw(Unhex(hex));
        } else if (cmd == "outputs") {
            std::string out = "ok";
            for (const qdtest::Sent& s : u.outputs())
                out += std::string(s.kind == qdtest::Sent::Feature ? " F" : " O") + Hex(s.bytes);
            return out;
        } else if (cmd == "wait-outputs") {
            in >> a >> b;
            return u.wait_outputs(static_cast<size_t>(a), std::chrono::milliseconds(b)) ? "ok 1" : "ok 0";
        } else if (cmd == "clear") {
            u.clear_outputs();
        } else if (cmd == "feature") {
            in >> a;
            return "ok " + Hex(u.feature(static_cast<uint8_t>(a)));
        } else if (cmd == "feature-gets") {
            return "ok " + std::to_string(u.feature_gets());
        } else if (cmd == "stall") {
            u.stall();
        } else if (cmd == "unstall") {
            u.unstall();
        } else if (cmd == "fail-sends") {
            in >> a;
            u.fail_sends(a != 0);
        } else if (cmd == "fail-reads") {
            in >> a;
            u.fail_feature_reads(a != 0);
        } else if (cmd == "unplug") {
            u.unplug();
        } else if (cmd == "replug") {
            u.replug();
        } else {
            return "err unknown command " + cmd;
        }
        return "ok";
    }

  private:
    qdtest::Testbed tb_;
};

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: qdwinebed <wine prefix> <program.exe> [args...]\n");
        return 2;
    }
    if (!qdtest::Testbed::EnsurePreload(argv)) return 2;
    ::signal(SIGPIPE, SIG_IGN);
    ::setenv("QDWINEBED", "1", 1); // tells the program its units are here

    // The units and their udev view come first; wine's bus then starts inside them.
    Bed bed;
    qdtest::StartWineServer(argv[1]);

    int to_child[2], from_child[2];
    if (::pipe(to_child) != 0 || ::pipe(from_child) != 0) return 2;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(to_child[0], 0);
        ::dup2(from_child[1], 1);
        ::close(to_child[0]);
        ::close(to_child[1]);
        ::close(from_child[0]);
        ::close(from_child[1]);
        std::vector<char*> args = {const_cast<char*>(qdtest::kWine64)};
        for (int i = 2; i < argc; ++i)
            args.push_back(argv[i]);
        args.push_back(nullptr);
        ::execv(qdtest::kWine64, args.data());
        ::_exit(127);
    }
    ::close(to_child[0]);
    ::close(from_child[1]);

    std::string pending;
    char buf[4096];
    int status = 0;
    bool exited = false;
    while (true) {
        pollfd p{from_child[0], POLLIN, 0};
        const int r = ::poll(&p, 1, 200);
        ssize_t n = 0;
        if (r > 0) {
            n = ::read(from_child[0], buf, sizeof buf);
            if (n > 0) pending.append(buf, static_cast<size_t>(n));
        }
        size_t eol;
        while ((eol = pending.find('\n')) != std::string::npos) {
            std::string line = pending.substr(0, eol);
            pending.erase(0, eol + 1);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (line.rfind(kCommandMark, 0) == 0) {
                const std::string answer = bed.Execute(line.substr(sizeof kCommandMark - 1)) + "\n";
                if (::write(to_child[1], answer.data(), answer.size()) < 0) break;
            } else {
                std::fprintf(stdout, "%s\n", line.c_str());
                std::fflush(stdout);
            }
        }
        if (r > 0 && n <= 0) break; // end of the program's output
        if (!exited && ::waitpid(pid, &status, WNOHANG) == pid) exited = true;
        if (exited && r == 0) break;
    }
    if (!pending.empty()) std::fprintf(stdout, "%s\n", pending.c_str());
    if (!exited) ::waitpid(pid, &status, 0);
    ::close(to_child[1]);
    ::close(from_child[0]);
    qdtest::StopWineServer();
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}
