#pragma once
// A stand-in for the ChatGPT backend on 127.0.0.1, so that the real codex, signed in through it,
// answers with real quota data offline.
#include <string>
#include <thread>

namespace tallyvane::testing {

class LoopbackBackend {
public:
    // Answers GET …/wham/usage with `usageBody` (the backend's own JSON), …/wham/profiles/me with
    // a small token history, anything else with 404.
    explicit LoopbackBackend(std::string usageBody);
    ~LoopbackBackend();
    LoopbackBackend(const LoopbackBackend&) = delete;
    LoopbackBackend& operator=(const LoopbackBackend&) = delete;

    // http://127.0.0.1:PORT/backend-api
    std::string baseUrl() const;

private:
    void serve();
    void answer(int connection);

    std::string usageBody_;
    int listener_ = -1;
    int stopPipe_[2] = {-1, -1};
    int port_ = 0;
    std::thread thread_;
};

// A wham/usage body with a 5-hour and a weekly window; `extraMembers` ("\"plan_type\":\"plus\"", say)
// joins its top level.
std::string usageBody(int primaryUsed, int secondaryUsed, const std::string& extraMembers = "");

// Signs the codex of `home` (its ~/.codex) in with a ChatGPT account served by `backend`.
void signInCodex(const std::string& home, const LoopbackBackend& backend);

}  // namespace tallyvane::testing
