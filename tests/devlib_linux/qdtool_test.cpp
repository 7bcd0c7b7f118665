// qdtool as a user runs it, against emulated units served by this process.
#include "testbed.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <sys/wait.h>

#include <csignal>
#include <unistd.h>

#include <sstream>
#include <string>
#include <vector>

namespace qdtest {
namespace {

// Runs qdtool with the given arguments; the child inherits the preload and the
// testbed's directory, and its ioctls are answered by this process's emulation.
// Started without a shell: a sanitizer runtime in LD_PRELOAD does not suit /bin/sh.
struct Child {
    pid_t pid = -1;
    int out = -1; // the child's stdout and stderr
};

Child Spawn(const std::string& args) {
    std::vector<std::string> words = {QDTOOL_PATH};
    std::istringstream in(args);
    for (std::string w; in >> w;)
        words.push_back(w);
    std::vector<char*> argv;
    for (std::string& w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);
    int pipefd[2];
    if (::pipe(pipefd) != 0) return {};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(pipefd[1], 1);
        ::dup2(pipefd[1], 2);
        ::close(pipefd[0]);
        ::close(pipefd[1]);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(pipefd[1]);
    return {pid, pipefd[0]};
}

int Wait(Child& c) {
    if (c.out >= 0) ::close(c.out);
    int st = 0;
    ::waitpid(c.pid, &st, 0);
    return WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
}

// Reads the child's output until it contains want (true) or timeout/end (false).
bool ReadUntil(Child& c, std::string& out, const std::string& want, int timeout_ms = 5000) {
    while (out.find(want) == std::string::npos) {
        pollfd p{c.out, POLLIN, 0};
        if (::poll(&p, 1, timeout_ms) <= 0) return false;
        char buf[512];
        const ssize_t n = ::read(c.out, buf, sizeof buf);
        if (n <= 0) return false;
        out.append(buf, static_cast<size_t>(n));
    }
    return true;
}

std::string RunQdtool(const std::string& args, int* status) {
    Child c = Spawn(args);
    std::string out;
    ReadUntil(c, out, std::string(1, '\0'), 20000); // to the end of its output
    *status = Wait(c);
    return out;
}

class Qdtool : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!Testbed::Available()) GTEST_SKIP() << "needs umockdev-wrapper";
    }
    Testbed tb;
};

TEST_F(Qdtool, ListShowsEveryUnitWithModelIndexAndFirmware) {
    tb.plug(5, {.version = 0x0312, .serial = "RSX-7"});
    tb.plug(2);
    tb.plug(2);
    int status = -1;
    const std::string out = RunQdtool("list", &status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find("QDRSX        0"), std::string::npos) << out;
    EXPECT_NE(out.find("0312"), std::string::npos) << out;
    EXPECT_NE(out.find("RSX-7"), std::string::npos) << out;
    EXPECT_NE(out.find("QDPBX        1"), std::string::npos) << out;
    EXPECT_NE(out.find("3 units"), std::string::npos) << out;
}

TEST_F(Qdtool, WritesDisplaysLampsAndBrightness) {
    Unit& rsx = tb.plug(5);
    Unit& anp = tb.plug(18);
    int status = -1;
    RunQdtool("text RSX 0 R 118.25", &status);
    EXPECT_EQ(status, 0);
    RunQdtool("brightness qd-rsx 0 7", &status);
    EXPECT_EQ(status, 0);
    RunQdtool("lamps 18 0 6 6", &status);
    EXPECT_EQ(status, 0);
    ASSERT_TRUE(rsx.wait_outputs(2));
    EXPECT_EQ(rsx.feature(5), (std::vector<uint8_t>{5, 0x06, 0x06, 0xff, 0x5b, 0x6d, 0x00}));
    EXPECT_EQ(rsx.feature(6), (std::vector<uint8_t>{6, 7}));
    ASSERT_TRUE(anp.wait_outputs(1));
    EXPECT_EQ(anp.outputs().back().bytes, (std::vector<uint8_t>{2, 6, 100, 100, 1}));

    // Wrong model, display or index: a message and a failing exit status.
    const std::string bad = RunQdtool("text RSX 0 X 1", &status);
    EXPECT_NE(status, 0);
    EXPECT_NE(bad.find("no such display"), std::string::npos) << bad;
    RunQdtool("text RSX 3 L 1", &status);
    EXPECT_NE(status, 0);
    RunQdtool("lamps NOPE 0 1", &status);
    EXPECT_NE(status, 0);
}

TEST_F(Qdtool, MonitorPrintsDecodedRecordsUntilInterrupted) {
    Unit& rsx = tb.plug(5);
    Child c = Spawn("monitor");
    std::string out;
    ASSERT_TRUE(ReadUntil(c, out, "Ctrl-C")) << out;
    rsx.turn(2, -3);
    rsx.press(2);
    Unit& pbx = tb.plug(2);
    EXPECT_TRUE(ReadUntil(c, out, "right -3 switches 00")) << out;
    EXPECT_TRUE(ReadUntil(c, out, "left +0 right +0 switches 02")) << out;
    EXPECT_TRUE(ReadUntil(c, out, "QDPBX  0  attached")) << out;
    pbx.unplug();
    EXPECT_TRUE(ReadUntil(c, out, "QDPBX  0  removed")) << out;
    ::kill(c.pid, SIGINT);
    EXPECT_EQ(Wait(c), 0) << out;
}

} // namespace
} // namespace qdtest
