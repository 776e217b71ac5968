// The model headless on the real seams (event loop, child launcher, I/O queue, file system), with
// the scripted peer as its child in a temporary HOME, measured from inside.
//   client_probe flood BYTES [junk|object]
//       the peer writes BYTES of 200-byte lines (not JSON, or JSON notifications the model
//       ignores) before its quota answer; prints the worst gap between 100 ms heartbeats on the
//       main loop and the resident memory during the flood
//   client_probe idle
//       polls like the headless program until SIGTERM or SIGINT (idle.sh measures it from outside)
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include <nlohmann/json.hpp>

#include "app/live_services.h"
#include "model/usage_model.h"
#include "platform/posix/event_loop.h"
#include "platform/posix/user_environment.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using namespace tallyvane;
using Steady = std::chrono::steady_clock;

double residentMiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
    return 0;
}

// A HOME whose ~/.local/bin/codex is the scripted peer; removed with the probe.
struct ProbeHome {
    explicit ProbeHome(const nlohmann::json& script) {
        std::string pattern = (fs::temp_directory_path() / "tallyvane-probe-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        path = pattern;
        fs::create_directories(path + "/.local/bin");
        fs::create_symlink(FAKE_CODEX_PATH, path + "/.local/bin/codex");
        std::ofstream(path + "/script.json") << script.dump();
    }
    ~ProbeHome() {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }

    ModelServices services(std::shared_ptr<MainLoop> loop) const {
        std::vector<std::string> variables;
        for (const auto& variable : currentEnvironment())
            if (variable.rfind("HOME=", 0) != 0) variables.push_back(variable);
        variables.push_back("HOME=" + path);
        variables.push_back("FAKE_CODEX_SCRIPT=" + path + "/script.json");
        return liveServices(std::move(loop), ProcessEnvironment{path, std::move(variables), static_cast<int>(::getpid())});
    }

    std::string path;
};

std::string floodLine(const std::string& kind) {
    if (kind == "junk") return std::string(199, '#');
    std::string line = R"({"method":"codex/event","emittedAtMs":1796593570468,"params":{"msg":")";
    line += std::string(199 - line.size() - 3, 'x');
    return line + R"("}})";
}

int flood(std::size_t bytes, const std::string& kind) {
    nlohmann::json script;
    script["account/rateLimits/read"] =
        nlohmann::json::array({nlohmann::json::array({{{"flood", bytes}, {"line", floodLine(kind)}}, "default"})});
    ProbeHome home(script);
    auto loop = std::make_shared<EventLoop>();
    auto model = UsageModel::create(home.services(loop));

    Steady::duration worstGap{};
    Steady::time_point last = Steady::now();
    auto heartbeat = loop->scheduleRepeating(100ms, 0ms, [&] {
        const auto now = Steady::now();
        worstGap = std::max(worstGap, now - last);
        last = now;
    });

    const double before = residentMiB();
    std::atomic<bool> sampling{true};
    std::atomic<double> peak{before};
    std::thread sampler([&] {
        while (sampling) {
            peak = std::max(peak.load(), residentMiB());
            std::this_thread::sleep_for(10ms);
        }
    });

    const auto started = Steady::now();
    model->start();
    const bool answered = loop->runUntil([&] { return model->updated().has_value(); }, 900s);
    const double seconds = std::chrono::duration<double>(Steady::now() - started).count();
    sampling = false;
    sampler.join();
    heartbeat.reset();
    model->stop();
    model->finishStopping(300ms);

    std::printf("flood: %.0f MB of 200-byte %s lines, answer %s after %.1f s (%.0f MB/s)\n", bytes / 1e6, kind.c_str(),
                answered ? "handled" : "NOT handled", seconds, bytes / 1e6 / seconds);
    std::printf("worst gap between 100 ms heartbeats on the main loop: %.0f ms\n",
                std::chrono::duration<double, std::milli>(worstGap).count());
    std::printf("resident memory: %.0f MiB before, %.0f MiB peak during the flood, %.0f MiB after\n", before,
                peak.load(), residentMiB());
    return answered ? 0 : 1;
}

int idle() {
    EventLoop::blockQuitSignals();
    ProbeHome home(nlohmann::json::object());
    auto loop = std::make_shared<EventLoop>();
    auto model = UsageModel::create(home.services(loop));
    model->start();
    loop->run();
    model->stop();
    model->finishStopping(2s);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "flood" && argc > 2) return flood(std::stoull(argv[2]), argc > 3 ? argv[3] : "junk");
    if (mode == "idle") return idle();
    std::fprintf(stderr, "usage: %s flood BYTES [junk|object] | idle\n", argv[0]);
    return 2;
}
