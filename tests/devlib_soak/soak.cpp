// Plugs and unplugs emulated units many times through qddev.h while input flows and display
// writes queue, and checks that every plug and unplug is reported, input keeps arriving, no
// hidraw handle is left open and QDDev_Terminate stays short.
//
//   devlib_soak [--batches N] [--cycles M]   N processes of M plug cycles (default 25 x 40)
//
// umockdev's fd table fills after some tens of replugs, so each batch runs in a process of its
// own (the program starts itself with --child M under the umockdev preload).
#include "qddev.h"
#include "testbed.h"

#include <dirent.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr auto kBatchTimeout = 120s;      // a batch that takes longer has hung
constexpr double kTerminateLimitMs = 100; // far above the usual few ms: a regression, not noise

std::atomic<int> gAttached{0};
std::atomic<int> gRemoved{0};
std::atomic<int> gInputs{0};

bool OnConnect(tagQDDevHWType, uint16_t, tagEventToken token) {
    (token == QDEVT_Attached ? gAttached : gRemoved).fetch_add(1);
    return true;
}

bool OnInput(tagQDDevHWType, uint16_t, const void*) {
    gInputs.fetch_add(1);
    return true;
}

bool WaitFor(const std::atomic<int>& value, int at_least, std::chrono::milliseconds timeout = 5000ms) {
    const auto end = Clock::now() + timeout;
    while (value.load() < at_least) {
        if (Clock::now() > end) return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// Open file descriptors of this process, less the emulation's: it keeps a pty master and a
// socket of every node it ever made. The library's node handles (pty slaves under the
// emulation) and its eventfds are counted.
int OpenFds() {
    int n = 0;
    DIR* d = ::opendir("/proc/self/fd");
    if (d == nullptr) return -1;
    char link[512];
    while (dirent* e = ::readdir(d)) {
        const std::string path = std::string("/proc/self/fd/") + e->d_name;
        const ssize_t len = ::readlink(path.c_str(), link, sizeof link - 1);
        if (len <= 0) continue;
        link[len] = '\0';
        if (std::strncmp(link, "socket:", 7) != 0 && std::strcmp(link, "/dev/ptmx") != 0) ++n;
    }
    ::closedir(d);
    return n;
}

// One batch in this process; prints one result line, returns the exit code.
int RunBatch(int cycles) {
    qdtest::Testbed tb;
    qdtest::Unit& rsx = tb.plug(5); // stays plugged: displays written all along
    qdtest::Unit* moving[3] = {&tb.plug(2), &tb.plug(18), &tb.plug(7)};
    const int fds_before = OpenFds();
    if (QDDev_Init() != 0) {
        std::printf("batch: QDDev_Init failed\n");
        return 1;
    }
    QDDev_RegisterConnectCallback(OnConnect);
    QDDev_RegisterInputCallback(OnInput);

    std::atomic<bool> running{true};
    std::thread writer([&] {
        char text[8];
        for (int k = 0; running.load(); ++k) {
            std::snprintf(text, sizeof text, "1%02d.%02d", k % 100, k % 97);
            QDRSX_SetLDisplayText(0, text);
            QDPBX_SetIndicators(0, static_cast<unsigned char>(k));
            QDANP_SetIndColorValue(0, static_cast<unsigned char>(1 + k % 6),
                                   static_cast<unsigned char>(k % 8));
            std::this_thread::sleep_for(500us);
        }
    });
    std::thread input([&] {
        for (int k = 0; running.load(); ++k) {
            rsx.turn(1 + k % 2, 1);
            std::this_thread::sleep_for(1ms);
        }
    });

    int failures = 0;
    for (int c = 0; c < cycles; ++c) {
        qdtest::Unit& u = *moving[c % 3];
        const int removed = gRemoved.load(), attached = gAttached.load(), inputs = gInputs.load();
        u.unplug();
        if (!WaitFor(gRemoved, removed + 1)) {
            std::printf("batch: cycle %d: no removal reported\n", c);
            ++failures;
            break;
        }
        u.replug();
        if (!WaitFor(gAttached, attached + 1)) {
            std::printf("batch: cycle %d: no arrival reported\n", c);
            ++failures;
            break;
        }
        u.press(1);
        u.release(1);
        if (!WaitFor(gInputs, inputs + 2)) {
            std::printf("batch: cycle %d: input stopped arriving\n", c);
            ++failures;
            break;
        }
    }
    running.store(false);
    writer.join();
    input.join();
    const int fds_running = OpenFds();

    const auto t0 = Clock::now();
    QDDev_Terminate();
    const double terminate_ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
    std::this_thread::sleep_for(300ms); // writers left inside a send let go of their handles
    const int fds_after = OpenFds();
    if (fds_after != fds_before || fds_running <= fds_after) ++failures;
    if (gAttached.load() != cycles || gRemoved.load() != cycles) ++failures; // one event each, no more
    if (terminate_ms > kTerminateLimitMs) ++failures;
    std::printf("batch: cycles %d attached %d removed %d inputs %d fds before %d running %d after %d "
                "terminate-ms %.2f\n",
                cycles, gAttached.load(), gRemoved.load(), gInputs.load(), fds_before, fds_running, fds_after,
                terminate_ms);
    std::fflush(stdout);
    return failures == 0 ? 0 : 1;
}

// Runs one batch in a child process; false when it failed or hung.
bool RunChild(int cycles) {
    const pid_t pid = ::fork();
    if (pid < 0) return false;
    if (pid == 0) {
        std::string n = std::to_string(cycles);
        char* args[] = {const_cast<char*>("devlib_soak"), const_cast<char*>("--child"), n.data(), nullptr};
        ::execv("/proc/self/exe", args);
        ::_exit(127);
    }
    const auto end = Clock::now() + kBatchTimeout;
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (Clock::now() > end) {
            std::printf("batch: hung, killed\n");
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return false;
        }
        std::this_thread::sleep_for(10ms);
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace

int main(int argc, char** argv) {
    int batches = 25, cycles = 40;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--child") == 0) {
            if (!qdtest::Testbed::EnsurePreload(argv)) return 1;
            return RunBatch(std::atoi(argv[i + 1]));
        }
        if (std::strcmp(argv[i], "--batches") == 0) batches = std::atoi(argv[i + 1]);
        if (std::strcmp(argv[i], "--cycles") == 0) cycles = std::atoi(argv[i + 1]);
    }
    std::fflush(stdout);
    int passed = 0, failed = 0;
    const auto t0 = Clock::now();
    for (int b = 0; b < batches; ++b)
        (RunChild(cycles) ? passed : failed) += 1;
    std::printf("soak: %d plug cycles in %.0f s\n", batches * cycles,
                std::chrono::duration<double>(Clock::now() - t0).count());
    std::printf("soak: %d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
