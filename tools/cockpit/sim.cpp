#include "sim.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "sim_protocol.h"
#include "winehost.h"

namespace cockpit {

namespace {

class InProcessSim : public Sim {
  public:
    bool Start(const std::string& root, std::string* error) override {
        hostsim::Reset();
        return hostsim::CreateRoot(root, error);
    }
    bool LoadPlugin(const std::string& path, std::string* error) override {
        return hostsim::LoadPlugin(path, error);
    }
    bool EnablePlugin() override { return hostsim::EnablePlugin(); }
    void Identity(std::string* name, std::string* description) override {
        const hostsim::PluginIdentity id = hostsim::Identity();
        *name = id.name;
        *description = id.description;
    }
    void Stop() override {
        if (hostsim::IsPluginLoaded()) hostsim::UnloadPlugin();
        hostsim::Reset();
    }
    void SetAircraft(const std::string& acf_path) override { hostsim::SetAircraft(acf_path); }
    void LoadAircraft(const std::string& acf_path) override { hostsim::LoadAircraft(acf_path); }
    int InstallFakePlugin(const std::string& signature, const std::string& name) override {
        return hostsim::InstallFakePlugin(signature, name, false);
    }
    void SendMessage(int from, int message, intptr_t param) override {
        hostsim::SendMessage(from, message, param);
    }
    void RunFrames(int frames) override { hostsim::RunFrames(frames); }
    void RunSeconds(double seconds) override { hostsim::RunSeconds(seconds); }
    double Now() override { return hostsim::Now(); }
    int DatarefTypes(const std::string& name) override { return hostsim::DatarefTypes(name); }
    std::string DatarefText(const std::string& name) override { return hostsim::DatarefText(name); }
    std::vector<std::pair<std::string, std::string>> DatarefValues() override {
        std::vector<std::pair<std::string, std::string>> all;
        for (std::string& name : hostsim::DatarefNames()) {
            std::string value = hostsim::DatarefText(name);
            all.emplace_back(std::move(name), std::move(value));
        }
        return all;
    }
    bool SetInt(const std::string& name, int value) override { return hostsim::SetInt(name, value); }
    bool SetFloat(const std::string& name, float value) override { return hostsim::SetFloat(name, value); }
    bool SetDouble(const std::string& name, double value) override { return hostsim::SetDouble(name, value); }
    bool SetInts(const std::string& name, const std::vector<int>& values, int offset) override {
        return hostsim::SetInts(name, values, offset);
    }
    bool SetFloats(const std::string& name, const std::vector<float>& values, int offset) override {
        return hostsim::SetFloats(name, values, offset);
    }
    bool SetString(const std::string& name, const std::string& text) override {
        return hostsim::SetString(name, text);
    }
    std::vector<hostsim::CommandEvent> CommandsSince(size_t first) override {
        std::vector<hostsim::CommandEvent> log = hostsim::CommandLog();
        log.erase(log.begin(), log.begin() + static_cast<std::ptrdiff_t>(std::min(first, log.size())));
        return log;
    }
    std::string LogSince(size_t first) override {
        const std::string log = hostsim::DebugLog();
        return first < log.size() ? log.substr(first) : std::string();
    }
};

class RemoteSim : public Sim {
  public:
    explicit RemoteSim(const RemoteOptions& options) : options_(options) {}
    ~RemoteSim() override { Stop(); }

    bool Launch(std::string* error) {
        const bool wine = !options_.wine_prefix.empty();
        if (wine) qdtest::StartWineServer(options_.wine_prefix.c_str());
        int to_child[2], from_child[2];
        if (::pipe2(to_child, O_CLOEXEC) != 0) {
            *error = "cannot make a pipe";
            return false;
        }
        if (::pipe2(from_child, O_CLOEXEC) != 0) {
            ::close(to_child[0]);
            ::close(to_child[1]);
            *error = "cannot make a pipe";
            return false;
        }
        std::fflush(nullptr);
        pid_ = ::fork();
        if (pid_ == 0) {
            // A group of its own: a server that stops answering is ended with all it started.
            ::setpgid(0, 0);
            ::dup2(to_child[0], 0);
            ::dup2(from_child[1], 1);
            std::vector<const char*> args;
            if (wine) args.push_back(qdtest::kWine64);
            args.push_back(options_.program.c_str());
            args.push_back(nullptr);
            ::execv(args[0], const_cast<char* const*>(args.data()));
            std::fprintf(stderr, "cannot run %s\n", args[0]);
            ::_exit(127);
        }
        if (pid_ > 0) ::setpgid(pid_, pid_); // whichever of the two comes first
        ::close(to_child[0]);
        ::close(from_child[1]);
        to_ = to_child[1];
        from_ = from_child[0];
        if (pid_ < 0) {
            *error = "cannot start " + options_.program;
            Close();
            return false;
        }
        ::signal(SIGPIPE, SIG_IGN); // a server that ended shows as a write error
        return true;
    }

    bool Start(const std::string& root, std::string* error) override { return Ask({"start", root}, error); }
    bool LoadPlugin(const std::string& path, std::string* error) override {
        return Ask({"load", path}, error);
    }
    bool EnablePlugin() override { return AskInt({"enable"}) == 1; }
    void Identity(std::string* name, std::string* description) override {
        std::vector<std::string> answer;
        if (Call({"identity"}, &answer) && answer.size() >= 2) {
            *name = answer[0];
            *description = answer[1];
        }
    }
    void Stop() override {
        if (pid_ <= 0) return;
        if (broken_.empty()) Call({"quit"}, nullptr);
        // Whatever it still prints is console output; then it must end.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        int status = 0;
        while (::waitpid(pid_, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                ::kill(-pid_, SIGKILL);
                ::waitpid(pid_, &status, 0);
                break;
            }
            if (ReadSome(50) < 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        for (int i = 0; i < 1024 && ReadSome(0) > 0; ++i) {
        }
        // Its last words: whole lines, then what it left without a line end.
        size_t eol;
        while ((eol = pending_.find('\n')) != std::string::npos) {
            PassOn(pending_.substr(0, eol));
            pending_.erase(0, eol + 1);
        }
        if (!pending_.empty()) PassOn(pending_);
        pending_.clear();
        pid_ = -1;
        Close();
        if (!options_.wine_prefix.empty()) qdtest::StopWineServer();
        if (broken_.empty()) broken_ = "the simulator side was stopped";
    }

    void SetAircraft(const std::string& acf_path) override { Call({"set-aircraft", acf_path}, nullptr); }
    void LoadAircraft(const std::string& acf_path) override { Call({"load-aircraft", acf_path}, nullptr); }
    int InstallFakePlugin(const std::string& signature, const std::string& name) override {
        return AskInt({"fake", signature, name});
    }
    void SendMessage(int from, int message, intptr_t param) override {
        Call({"message", std::to_string(from), std::to_string(message), std::to_string(param)}, nullptr);
    }
    void RunFrames(int frames) override { AskNow({"frames", std::to_string(frames)}); }
    void RunSeconds(double seconds) override { AskNow({"seconds", FormatNumber(seconds)}); }
    double Now() override { return AskNow({"now"}); }
    int DatarefTypes(const std::string& name) override { return AskInt({"types", name}); }
    std::string DatarefText(const std::string& name) override {
        std::vector<std::string> answer;
        return Call({"text", name}, &answer) && !answer.empty() ? answer[0] : std::string();
    }
    std::vector<std::pair<std::string, std::string>> DatarefValues() override {
        std::vector<std::pair<std::string, std::string>> all;
        std::vector<std::string> answer;
        if (!Call({"values"}, &answer)) return all;
        for (size_t i = 0; i + 1 < answer.size(); i += 2)
            all.emplace_back(std::move(answer[i]), std::move(answer[i + 1]));
        return all;
    }
    bool SetInt(const std::string& name, int value) override {
        return AskInt({"set-int", name, std::to_string(value)}) == 1;
    }
    bool SetFloat(const std::string& name, float value) override {
        return AskInt({"set-float", name, FormatNumber(value)}) == 1;
    }
    bool SetDouble(const std::string& name, double value) override {
        return AskInt({"set-double", name, FormatNumber(value)}) == 1;
    }
    bool SetInts(const std::string& name, const std::vector<int>& values, int offset) override {
        std::vector<std::string> request = {"set-ints", name, std::to_string(offset)};
        for (int v : values)
            request.push_back(std::to_string(v));
        return AskInt(request) == 1;
    }
    bool SetFloats(const std::string& name, const std::vector<float>& values, int offset) override {
        std::vector<std::string> request = {"set-floats", name, std::to_string(offset)};
        for (float v : values)
            request.push_back(FormatNumber(v));
        return AskInt(request) == 1;
    }
    bool SetString(const std::string& name, const std::string& text) override {
        return AskInt({"set-string", name, text}) == 1;
    }
    std::vector<hostsim::CommandEvent> CommandsSince(size_t first) override {
        std::vector<hostsim::CommandEvent> events;
        std::vector<std::string> answer;
        if (!Call({"commands", std::to_string(first)}, &answer)) return events;
        for (size_t i = 0; i + 3 < answer.size(); i += 4) {
            hostsim::CommandEvent e;
            e.kind = static_cast<hostsim::CommandKind>(std::atoi(answer[i].c_str()));
            e.number = std::atoi(answer[i + 1].c_str());
            e.time = std::atof(answer[i + 2].c_str());
            e.name = std::move(answer[i + 3]);
            events.push_back(std::move(e));
        }
        return events;
    }
    std::string LogSince(size_t first) override {
        std::vector<std::string> answer;
        if (!Call({"log", std::to_string(first)}, &answer) || answer.empty()) return {};
        return answer[0];
    }

    std::string Broken() const override { return broken_; }

  private:
    // Sends a request and waits for its answer. True for "ok" with its fields in *answer; false for
    // "err" (the reason as the only field) and when the server is broken.
    bool Call(const std::vector<std::string>& request, std::vector<std::string>* answer) {
        if (!broken_.empty()) return false;
        const std::string line = JoinFields(request) + "\n";
        size_t sent = 0;
        while (sent < line.size()) {
            const ssize_t n = ::write(to_, line.data() + sent, line.size() - sent);
            if (n <= 0) return Fail("the simulator side stopped reading (" + Ended() + ")");
            sent += static_cast<size_t>(n);
        }
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::duration<double>(options_.answer_timeout);
        for (;;) {
            size_t eol;
            while ((eol = pending_.find('\n')) != std::string::npos) {
                std::string text = pending_.substr(0, eol);
                pending_.erase(0, eol + 1);
                if (!text.empty() && text.back() == '\r') text.pop_back();
                const size_t mark = text.find(kSimMark);
                if (mark == std::string::npos) {
                    PassOn(text);
                    continue;
                }
                if (mark > 0) PassOn(text.substr(0, mark));
                std::vector<std::string> fields = SplitFields(text.substr(mark + sizeof kSimMark - 1));
                const bool ok = !fields.empty() && fields[0] == "ok";
                if (answer != nullptr)
                    answer->assign(fields.begin() + (fields.empty() ? 0 : 1), fields.end());
                return ok;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                ::kill(-pid_, SIGKILL);
                return Fail("the simulator side did not answer \"" + request[0] + "\" within " +
                            FormatNumber(options_.answer_timeout) + " s");
            }
            if (ReadSome(static_cast<int>(std::min<long long>(left.count(), 1000))) < 0)
                return Fail("the simulator side ended (" + Ended() + ")");
        }
    }

    bool Ask(const std::vector<std::string>& request, std::string* error) {
        std::vector<std::string> answer;
        if (Call(request, &answer)) return true;
        if (error != nullptr) *error = !broken_.empty() ? broken_ : answer.empty() ? "failed" : answer[0];
        return false;
    }
    int AskInt(const std::vector<std::string>& request) {
        std::vector<std::string> answer;
        return Call(request, &answer) && !answer.empty() ? std::atoi(answer[0].c_str()) : 0;
    }
    double AskNow(const std::vector<std::string>& request) {
        std::vector<std::string> answer;
        if (Call(request, &answer) && !answer.empty()) now_ = std::atof(answer[0].c_str());
        return now_;
    }

    // Reads what the server wrote within timeout_ms: the bytes read, 0 for none, -1 at the end
    // of its output.
    ssize_t ReadSome(int timeout_ms) {
        if (from_ < 0) return -1;
        pollfd p{from_, POLLIN, 0};
        const int r = ::poll(&p, 1, timeout_ms);
        if (r <= 0) return 0;
        char buf[8192];
        const ssize_t n = ::read(from_, buf, sizeof buf);
        if (n <= 0) return -1;
        pending_.append(buf, static_cast<size_t>(n));
        return n;
    }

    // A console line of the plug-in's: to the cockpit's standard output, which is console.txt
    // unless the console is shown.
    static void PassOn(std::string text) {
        if (!text.empty() && text.back() == '\r') text.pop_back(); // wine's text mode
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    }

    // How the server ended, once it has (waits a moment for it).
    std::string Ended() {
        int status = 0;
        pid_t r = 0;
        for (int i = 0; i < 20 && (r = ::waitpid(pid_, &status, WNOHANG)) == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (r != pid_) return "it closed its output";
        reaped_ = true;
        if (WIFSIGNALED(status)) return "killed by signal " + std::to_string(WTERMSIG(status));
        return "exit status " + std::to_string(WEXITSTATUS(status));
    }

    bool Fail(const std::string& why) {
        broken_ = why;
        return false;
    }

    void Close() {
        if (to_ >= 0) ::close(to_);
        if (from_ >= 0) ::close(from_);
        to_ = from_ = -1;
    }

    RemoteOptions options_;
    pid_t pid_ = -1;
    bool reaped_ = false;
    int to_ = -1, from_ = -1;
    std::string pending_;
    std::string broken_;
    double now_ = 0;
};

} // namespace

std::unique_ptr<Sim> MakeInProcessSim() {
    return std::make_unique<InProcessSim>();
}

std::unique_ptr<Sim> StartRemoteSim(const RemoteOptions& options, std::string* error) {
    auto sim = std::make_unique<RemoteSim>(options);
    if (!sim->Launch(error)) return nullptr;
    return sim;
}

} // namespace cockpit
