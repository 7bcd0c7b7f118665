// qdtool as a user runs it, against emulated units served by this process.
#include "testbed.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <sstream>
#include <string>
#include <vector>

namespace qdtest {
namespace {

// Runs qdtool with the given arguments; the child inherits the preload and the
// testbed's directory, and its ioctls are answered by this process's emulation.
// Started without a shell: a sanitizer runtime in LD_PRELOAD does not suit /bin/sh.
std::string RunQdtool(const std::string& args, int* status) {
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
    std::string out;
    char buf[512];
    for (ssize_t n; (n = ::read(pipefd[0], buf, sizeof buf)) > 0;)
        out.append(buf, static_cast<size_t>(n));
    ::close(pipefd[0]);
    int st = 0;
    ::waitpid(pid, &st, 0);
    *status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
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

} // namespace
} // namespace qdtest
