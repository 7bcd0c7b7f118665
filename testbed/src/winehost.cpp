#include "winehost.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

namespace qdtest {

namespace {
const char* const kWineServer = "/usr/lib/wine/wineserver";
} // namespace

int RunQuiet(std::vector<const char*> argv) {
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_RDWR);
        if (null >= 0) {
            ::dup2(null, 0);
            ::dup2(null, 1);
            ::dup2(null, 2);
        }
        ::execv(argv[0], const_cast<char* const*>(argv.data()));
        ::_exit(127);
    }
    int status = 0;
    if (pid > 0) ::waitpid(pid, &status, 0);
    return pid > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void StartWineServer(const char* prefix) {
    ::setenv("WINEPREFIX", prefix, 1);
    ::setenv("WINEDEBUG", "-all", 0);
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
    StopWineServer();
    RunQuiet({kWine64, "cmd", "/c", "exit"});
}

void StopWineServer() {
    RunQuiet({kWineServer, "-k"});
    RunQuiet({kWineServer, "-w"});
}

} // namespace qdtest
