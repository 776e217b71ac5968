#include "tests/integration/live_rig.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

#include "app/live_services.h"
#include "platform/posix/user_environment.h"

namespace tallyvane::integration {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

LiveRig::LiveRig(const nlohmann::json& script, const std::string& codex) {
    home = (fs::temp_directory_path() / "tallyvane-it-XXXXXX").string();
    if (::mkdtemp(home.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    marker = "TALLYVANE_TEST_RIG=" + home;
    fs::create_directories(home + "/.local/bin");
    fs::create_symlink(codex, home + "/.local/bin/codex");
    nlohmann::json logged = script;
    logged["log"] = home + "/peer.log";
    std::ofstream(home + "/script.json") << logged.dump();

    // This process's environment, with HOME pointing here and the script named.
    std::vector<std::string> variables{"HOME=" + home, marker, "FAKE_CODEX_SCRIPT=" + home + "/script.json"};
    for (const auto& variable : currentEnvironment())
        if (!variable.starts_with("HOME=") && !variable.starts_with("CODEX_HOME=") && !variable.starts_with("FAKE_CODEX_SCRIPT="))
            variables.push_back(variable);
    ModelServices services = liveServices(loop, ProcessEnvironment{home, variables, static_cast<int>(::getpid())});
    services.clock = clock;
    model = UsageModel::create(std::move(services));
    model->onChange = [this] {
        if (model->error().value_or("") != (errors.empty() ? "" : errors.back())) errors.push_back(model->error().value_or(""));
    };
}

LiveRig::~LiveRig() {
    if (model && !model->stopped()) {
        model->stop();
        model->finishStopping(300ms);
    }
    // A killed group may take a moment to disappear; a leaked process stays.
    runUntil([&] { return survivors().empty(); }, 2s);
    for (pid_t pid : survivors()) {
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

std::string LiveRig::received() const {
    std::ifstream log(home + "/peer.log");
    std::string all;
    for (std::string line; std::getline(log, line);) {
        const nlohmann::json message = nlohmann::json::parse(line, nullptr, false);
        if (line.starts_with("#launch ")) all += all.empty() ? "" : " |";
        else if (message.is_object())  // else a line still being written
            all += " " + (message.contains("id") ? message["id"].dump() + ":" : "") + message.value("method", std::string("?"));
    }
    return all;
}

std::vector<pid_t> LiveRig::survivors() const {
    std::vector<pid_t> found;
    std::error_code error;
    for (const auto& item : fs::directory_iterator("/proc", error)) {
        const std::string name = item.path().filename();
        std::string stat, entry;
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::getline(std::ifstream(item.path() / "stat"), stat);
        if (stat.rfind(')') == std::string::npos || stat.compare(stat.rfind(')'), 4, ") Z ") == 0) continue;  // gone, or a zombie
        for (std::ifstream environment(item.path() / "environ"); std::getline(environment, entry, '\0');)
            if (entry == marker) found.push_back(static_cast<pid_t>(std::stol(name)));
    }
    return found;
}

bool processExists(pid_t pid) { return ::kill(pid, 0) == 0 || errno == EPERM; }

}  // namespace tallyvane::integration
