#include "tests/integration/live_rig.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/posix/posix_child_launcher.h"
#include "platform/posix/user_environment.h"
#include "app/live_services.h"
#include "tests/integration/process_table.h"

namespace tallyvane::integration {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class RecordedChild final : public ChildProcess {
public:
    RecordedChild(std::shared_ptr<ChildProcess> real, RecordingLauncher& log) : real_(std::move(real)), log_(log) {}
    int pid() const override { return real_->pid(); }
    bool write(std::string_view bytes) override {
        log_.written.emplace_back(bytes);
        const bool ok = real_->write(bytes);
        if (!ok) ++log_.failedWrites;
        return ok;
    }
    void closeInput() override { real_->closeInput(); }
    void stopOutput() override { real_->stopOutput(); }
    void terminate() override { real_->terminate(); }
    void kill() override { real_->kill(); }
    bool waitForExit(std::chrono::milliseconds limit) override { return real_->waitForExit(limit); }
    bool hasExited() const override { return real_->hasExited(); }

private:
    std::shared_ptr<ChildProcess> real_;
    RecordingLauncher& log_;  // the launcher outlives the model and so its children's handles
};

std::string makeTemporaryHome() {
    std::string pattern = (fs::temp_directory_path() / "tallyvane-it-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    return pattern;
}

// This process's environment for the child, with HOME pointing at the rig and no CODEX_HOME.
std::vector<std::string> childVariables(const std::string& home, const std::vector<std::string>& extra) {
    std::vector<std::string> variables;
    for (const auto& variable : currentEnvironment()) {
        if (variable.rfind("HOME=", 0) == 0 || variable.rfind("CODEX_HOME=", 0) == 0 ||
            variable.rfind("FAKE_CODEX_SCRIPT=", 0) == 0)
            continue;
        variables.push_back(variable);
    }
    variables.push_back("HOME=" + home);
    variables.insert(variables.end(), extra.begin(), extra.end());
    return variables;
}

}  // namespace

std::shared_ptr<ChildProcess> RecordingLauncher::launch(const LaunchRequest& request, ChildEvents events) {
    if (!real_) real_ = std::make_shared<PosixChildLauncher>();
    requests.push_back(request);
    auto child = real_->launch(request, std::move(events));
    if (!child) return nullptr;
    return std::make_shared<RecordedChild>(std::move(child), *this);
}

std::string LiveRig::fakeCodexPath() { return FAKE_CODEX_PATH; }

LiveRig::LiveRig(const std::string& codex, const nlohmann::json& script) : home(makeTemporaryHome()) {
    logPath = home + "/peer.log";
    marker = "TALLYVANE_TEST_RIG=" + home;
    fs::create_directories(home + "/.local/bin");
    fs::create_symlink(codex, home + "/.local/bin/codex");

    std::vector<std::string> extra{marker};
    if (!script.is_null()) {
        nlohmann::json withLog = script;
        withLog["log"] = logPath;
        std::ofstream(home + "/script.json") << withLog.dump();
        extra.push_back("FAKE_CODEX_SCRIPT=" + home + "/script.json");
    }

    ModelServices services =
        liveServices(loop, ProcessEnvironment{home, childVariables(home, extra), static_cast<int>(::getpid())});
    services.clock = clock;
    services.launcher = launcher;
    model = UsageModel::create(std::move(services));
    model->onChange = [this] {
        errors.push_back(model->error().value_or(""));
        tokenErrors.push_back(model->tokenError().value_or(""));
    };
}

LiveRig::~LiveRig() {
    if (model && !model->stopped()) stopAndFinish();
    // A killed group may take a moment to disappear; a leaked process stays.
    std::vector<pid_t> left = survivors();
    for (int i = 0; i < 100 && !left.empty(); ++i) {
        std::this_thread::sleep_for(20ms);
        left = survivors();
    }
    for (pid_t pid : left) {
        ADD_FAILURE() << "process " << pid << " outlived the model";
        ::kill(pid, SIGKILL);
    }
    std::error_code ignored;
    fs::remove_all(home, ignored);
}

bool LiveRig::runUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    // Some conditions (the peer's log, /proc) change without any event on the loop.
    auto poll = loop->scheduleRepeating(10ms, 0ms, [] {});
    return loop->runUntil(done, limit);
}

void LiveRig::stopAndFinish() {
    model->stop();
    model->finishStopping(300ms);
}

std::vector<std::vector<std::string>> LiveRig::receivedPerLaunch() const {
    std::vector<std::vector<std::string>> launches;
    std::ifstream log(logPath);
    for (std::string line; std::getline(log, line);) {
        if (line.rfind("#launch ", 0) == 0)
            launches.emplace_back();
        else if (!launches.empty())
            launches.back().push_back(line);
    }
    return launches;
}

std::size_t LiveRig::receivedCount(std::size_t launch) const {
    const auto launches = receivedPerLaunch();
    return launches.size() > launch ? launches[launch].size() : 0;
}

std::vector<pid_t> LiveRig::survivors() const { return processesWithEnvironmentEntry(marker); }

nlohmann::json LiveRig::status() const {
    std::ifstream file(statusPath());
    nlohmann::json parsed = nlohmann::json::parse(file, nullptr, false);
    return parsed.is_object() ? parsed : nlohmann::json::object();
}

}  // namespace tallyvane::integration
