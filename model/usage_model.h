#pragma once
// The one observable model: what the tray title, the panel and status.json show, and the
// Codex app-server connection behind it. Main thread only, except the line buffer, which
// belongs to the I/O queue.
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "model/account_state.h"
#include "model/launch_plan.h"
#include "model/observers.h"
#include "model/quota_window.h"
#include "model/services.h"
#include "platform/history_store.h"

namespace tallyvane {

class LineInbox;
class OutputBudget;

struct PendingRequest {
    std::string kind;  // "initialize", "quota" or "tokens"
    Instant sent;
};

class UsageModel : public std::enable_shared_from_this<UsageModel> {
public:
    static constexpr const char* childPath = "/opt/homebrew/bin:/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin";

    // Callbacks from threads and timers hold the model weakly, so it must live in a shared_ptr.
    static std::shared_ptr<UsageModel> create(ModelServices services);
    ~UsageModel();
    UsageModel(const UsageModel&) = delete;
    UsageModel& operator=(const UsageModel&) = delete;

    // Published properties.
    const std::vector<QuotaWindow>& windows() const { return windows_; }
    const std::optional<Instant>& updated() const { return updated_; }
    const std::optional<Instant>& tokenUpdated() const { return tokenUpdated_; }
    const std::optional<std::string>& error() const { return error_; }
    const std::optional<std::string>& tokenError() const { return tokenError_; }
    const std::optional<std::int64_t>& lifetime() const { return lifetime_; }
    const std::optional<std::int64_t>& lastTokens() const { return lastTokens_; }
    const std::optional<std::string>& lastTokenDay() const { return lastTokenDay_; }
    // Every daily count of the last usage answer, in the order Codex gave them.
    const std::vector<DailyTokens>& dailyTokens() const { return dailyTokens_; }
    bool refreshing() const { return refreshing_; }
    // Plan, credits and limit as Codex last gave them; kept while Codex fails, like the windows.
    const AccountState& account() const { return account_; }
    // The model's own time, which its readings and forecasts are measured against.
    Instant now() const { return services_.clock->now(); }

    // Told before every published assignment.
    WillChangeSignal& willChange() { return willChange_; }
    // Called after each batch of changes.
    std::function<void()> onChange;

    // Connection state, read by the self-test and tests.
    bool hasProcess() const { return process_ != nullptr; }
    int processId() const;
    bool hasTimer() const { return timer_ != nullptr; }
    bool stopped() const { return stopped_; }
    std::int64_t serial() const { return serial_; }
    const std::map<std::int64_t, PendingRequest>& pending() const { return pending_; }
    const std::string& support() const { return support_; }

    void start();
    void refresh();
    void connect();
    void stop();
    // After `stop`, when the program is quitting: waits up to `grace` for the child, then kills its group.
    void finishStopping(std::chrono::milliseconds grace);

    void send(const Json& message);
    void handle(const Json& message);

private:
    explicit UsageModel(ModelServices services);

    void request(const std::string& method, const std::string& kind);
    void fail(const std::string& message);
    void acceptQuota(const Json& payload, bool topLevel);
    void acceptTokens(const Json& result);
    void tail();
    void saveHealth();
    void writeHealth();
    void childExited(std::uint64_t generation, ChildExit status);
    void deliver(std::uint64_t generation, Json message);
    void changed();
    void terminateChild();
    std::optional<LaunchPlan> findExecutable() const;
    std::vector<std::string> childEnvironment(const LaunchPlan& plan) const;

    template <typename T, typename V>
    void publish(T& property, V&& value) {
        willChange_.notify();
        property = std::forward<V>(value);
    }

    ModelServices services_;
    WillChangeSignal willChange_;

    std::vector<QuotaWindow> windows_;
    std::optional<Instant> updated_;
    std::optional<Instant> tokenUpdated_;
    std::optional<std::string> error_;
    std::optional<std::string> tokenError_;
    std::optional<std::int64_t> lifetime_;
    std::optional<std::int64_t> lastTokens_;
    std::optional<std::string> lastTokenDay_;
    std::vector<DailyTokens> dailyTokens_;
    bool refreshing_ = false;
    AccountState account_;

    std::shared_ptr<ChildProcess> process_;
    std::uint64_t generation_ = 0;         // identity of `process_`; bumped at every launch
    bool terminateRequested_ = false;      // `process_` was asked to end and has not yet
    bool inputClosed_ = false;             // `stop` closed the child's input
    std::shared_ptr<LineInbox> inbox_;     // the line buffer; touched on the I/O queue only
    std::shared_ptr<OutputBudget> budget_;  // output of `process_` read but not yet handled
    bool ready_ = false;
    bool stopped_ = false;
    std::int64_t serial_ = 10;
    std::map<std::int64_t, PendingRequest> pending_;
    std::unique_ptr<Timer> timer_;
    std::string support_;
    bool healthQueued_ = false;
    std::string writtenHealth_;  // what status.json holds, as far as this model wrote it
};

}  // namespace tallyvane
