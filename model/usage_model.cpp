#include "model/usage_model.h"

#include <algorithm>
#include <cctype>
#include <condition_variable>
#include <mutex>

#include "model/codex_installs.h"
#include "model/discovery.h"
#include "model/health_file.h"
#include "model/json_numbers.h"
#include "model/line_decoder.h"
#include "model/line_splitter.h"
#include "model/run_flags.h"

namespace tallyvane {

namespace {

constexpr auto pollInterval = std::chrono::seconds(30);
constexpr auto pollTolerance = std::chrono::seconds(3);
constexpr auto answerLimit = std::chrono::seconds(40);

constexpr const char* notFoundText =
    "Codex est introuvable. Installe Codex, connecte ton compte ChatGPT, puis actualise.";
constexpr const char* launchRefusedText = "Impossible de démarrer la connexion Codex.";
constexpr const char* writeFailedText = "Connexion Codex indisponible.";
constexpr const char* childLostText = "Connexion interrompue. Nouvel essai automatique.";
constexpr const char* lateText = "Le service tarde à répondre. Dernières données conservées.";
constexpr const char* signInText = "Reconnecte ton compte ChatGPT dans Codex.";
constexpr const char* unavailableText = "Données temporairement indisponibles. Nouvel essai automatique.";
constexpr const char* noQuotaText = "Aucun quota communiqué pour ce compte.";

std::string startFailedText(ChildExit status) {
    return std::string("Codex s’arrête au démarrage (") + (status.bySignal ? "signal " : "code ") +
           std::to_string(status.number) + "). Vérifie son installation, puis actualise.";
}

bool mentionsSignIn(const std::string& message) {
    std::string lower(message);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower.find("auth") != std::string::npos || message.find("401") != std::string::npos;
}

}  // namespace

// The line buffer of the current child. Lives on the I/O queue; bytes of an earlier child never
// join the first line of a later one.
class LineInbox {
public:
    template <typename Deliver>
    void receive(std::uint64_t generation, std::string_view bytes, Deliver&& deliver) {
        if (generation < generation_) return;
        if (generation > generation_) {
            splitter_.clear();
            generation_ = generation;
        }
        splitter_.append(bytes, [&](std::string_view line) {
            if (auto object = decodeObjectLine(line)) deliver(std::move(*object));
        });
    }

private:
    LineSplitter splitter_;
    std::uint64_t generation_ = 0;
};

// Bytes read from the child and not yet handled on the main thread. The reader waits while too
// many are in flight, so a child that writes faster than we handle blocks on its own full pipe.
class OutputBudget {
public:
    static constexpr std::size_t limit = 1 << 20;
    void take(std::size_t bytes) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return closed_ || inFlight_ < limit; });
        inFlight_ += bytes;
    }
    void give(std::size_t bytes) {
        {
            std::lock_guard lock(mutex_);
            inFlight_ -= bytes;
        }
        changed_.notify_all();
    }
    // Before the output is stopped: a reader waiting here must not hold up stopOutput.
    void close() {
        {
            std::lock_guard lock(mutex_);
            closed_ = true;
        }
        changed_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::size_t inFlight_ = 0;
    bool closed_ = false;
};

std::shared_ptr<UsageModel> UsageModel::create(ModelServices services) {
    return std::shared_ptr<UsageModel>(new UsageModel(std::move(services)));
}

UsageModel::UsageModel(ModelServices services)
    : services_(std::move(services)),
      inbox_(std::make_shared<LineInbox>()),
      support_(joinPath(services_.environment.home, "Library/Application Support/Tallyvane")) {}

UsageModel::~UsageModel() {
    if (budget_) budget_->close();
}

int UsageModel::processId() const { return process_ ? process_->pid() : 0; }

void UsageModel::changed() {
    if (auto callback = onChange) callback();
}

void UsageModel::start() {
    if (isDemo()) {
        const Instant now = services_.clock->now();
        publish(windows_, std::vector<QuotaWindow>{
                              {"demo-short", "5 heures", 38.0, now + std::chrono::seconds(7'200), 300},
                              {"demo-week", "Semaine", 62.0, now + std::chrono::seconds(172'800), 10'080},
                          });
        publish(updated_, now);
        publish(tokenUpdated_, now);
        publish(lifetime_, std::int64_t{1'250'000});
        publish(lastTokens_, std::int64_t{23'450});
        publish(lastTokenDay_, std::string("2026-10-03"));
        AccountState account;
        account.planType = "plus", account.hasCredits = true, account.unlimited = false, account.balance = "12.5";
        publish(account_, std::move(account));
        changed();
        return;
    }
    connect();
    std::weak_ptr<UsageModel> weak = weak_from_this();
    timer_ = services_.mainLoop->scheduleRepeating(pollInterval, pollTolerance, [weak] {
        if (auto model = weak.lock()) model->refresh();
    });
}

void UsageModel::refresh() {
    if (isDemo() || stopped_) return;
    // A child already asked to end that is still here gets no second polite request.
    if (process_ && terminateRequested_) process_->kill();

    const Instant now = services_.clock->now();
    const bool late = std::any_of(pending_.begin(), pending_.end(),
                                  [&](const auto& entry) { return now - entry.second.sent > answerLimit; });
    if (late) {
        fail(lateText);
        terminateChild();
        return;
    }
    if (!process_) {
        connect();
        return;
    }
    if (!ready_) return;
    publish(refreshing_, true);
    request("account/rateLimits/read", "quota");
    request("account/usage/read", "tokens");
}

void UsageModel::request(const std::string& method, const std::string& kind) {
    if (std::any_of(pending_.begin(), pending_.end(), [&](const auto& entry) { return entry.second.kind == kind; }))
        return;
    const std::int64_t id = ++serial_;
    pending_[id] = PendingRequest{kind, services_.clock->now()};
    send(Json{{"id", id}, {"method", method}});
}

void UsageModel::fail(const std::string& message) {
    publish(error_, message);
    publish(refreshing_, false);
    changed();
    saveHealth();
}

// The fixed candidates, the user's own PATH, then the installers' places: the first that can run.
std::optional<LaunchPlan> UsageModel::findExecutable() const {
    const auto& home = services_.environment.home;
    const auto firstRunnable = [&](const std::vector<std::string>& candidates) -> std::optional<LaunchPlan> {
        for (const auto& candidate : candidates)
            if (services_.files->isExecutable(candidate))
                if (auto plan = planLaunch(candidate, childPath, *services_.files)) return plan;
        return std::nullopt;
    };
    if (auto plan = firstRunnable(codexCandidates(codexBundles(home), home))) return plan;
    if (auto plan = firstRunnable(pathEntries("codex", services_.environment.value("PATH")))) return plan;
    return firstRunnable(installerPlaces(services_.environment, *services_.files));
}

std::vector<std::string> UsageModel::childEnvironment(const LaunchPlan& plan) const {
    std::vector<std::string> variables;
    for (const auto& variable : services_.environment.variables)
        if (!variable.starts_with("PATH=") && (plan.managed.empty() || !variable.starts_with("CODEX_MANAGED_")))
            variables.push_back(variable);
    variables.insert(variables.end(), plan.managed.begin(), plan.managed.end());
    variables.push_back(std::string("PATH=") + childPath);
    return variables;
}

void UsageModel::connect() {
    if (isDemo() || stopped_ || process_) return;
    const auto plan = findExecutable();
    if (!plan) {
        fail(notFoundText);
        return;
    }

    const std::uint64_t generation = ++generation_;
    std::weak_ptr<UsageModel> weak = weak_from_this();
    auto io = services_.ioQueue;
    auto main = services_.mainLoop;
    auto inbox = inbox_;
    ChildEvents events;
    auto budget = budget_ = std::make_shared<OutputBudget>();
    events.output = [io, main, inbox, weak, generation, budget](std::string_view bytes) {
        budget->take(bytes.size());
        io->post([main, inbox, weak, generation, budget, data = std::string(bytes)] {
            inbox->receive(generation, data, [&](Json object) {
                main->post([weak, generation, object = std::move(object)]() mutable {
                    if (auto model = weak.lock()) model->deliver(generation, std::move(object));
                });
            });
            main->post([budget, size = data.size()] { budget->give(size); });
        });
    };
    // Through the I/O queue, so the exit is handled after every line the child wrote.
    events.exited = [io, main, weak, generation](ChildExit status) {
        io->post([main, weak, generation, status] {
            main->post([weak, generation, status] {
                if (auto model = weak.lock()) model->childExited(generation, status);
            });
        });
    };

    auto child = services_.launcher->launch(LaunchRequest{plan->executable, plan->arguments, childEnvironment(*plan)},
                                            std::move(events));
    if (!child) {
        fail(launchRefusedText);
        return;
    }
    process_ = std::move(child);
    terminateRequested_ = false;
    inputClosed_ = false;
    publish(refreshing_, true);
    send(Json{{"id", 1},
              {"method", "initialize"},
              {"params",
               {{"clientInfo", {{"name", "kestrane_quota_bar"}, {"title", "Tallyvane"}, {"version", "1.4.0"}}},
                {"capabilities", {{"experimentalApi", true}}}}}});
    pending_[1] = PendingRequest{"initialize", services_.clock->now()};
}

void UsageModel::send(const Json& message) {
    std::string line;
    try {
        line = message.dump();
    } catch (const Json::exception&) {
        return;
    }
    if (!process_ || inputClosed_) return;
    line.push_back('\n');
    if (!process_->write(line)) fail(writeFailedText);
}

void UsageModel::terminateChild() {
    if (!process_) return;
    if (terminateRequested_) {
        process_->kill();
        return;
    }
    process_->terminate();
    terminateRequested_ = true;
}

void UsageModel::deliver(std::uint64_t generation, Json message) {
    // Nothing of a child is read once its exit has been handled.
    if (!process_ || generation != generation_) return;
    handle(message);
}

void UsageModel::childExited(std::uint64_t generation, ChildExit status) {
    if (!process_ || generation != generation_) return;
    // Ended by itself before answering `initialize`: it did not start, no connection was lost.
    const bool failedToStart = !terminateRequested_ && std::any_of(pending_.begin(), pending_.end(), [](const auto& entry) {
        return entry.second.kind == "initialize";
    });
    budget_->close();
    process_->stopOutput();
    process_.reset();
    ready_ = false;
    pending_.clear();
    terminateRequested_ = false;
    inputClosed_ = false;
    if (!stopped_) fail(failedToStart ? startFailedText(status) : childLostText);
}

void UsageModel::stop() {
    stopped_ = true;
    writeHealth();  // the loop may not turn again
    if (timer_) timer_->invalidate();
    if (!process_) return;
    budget_->close();
    process_->stopOutput();
    process_->closeInput();
    inputClosed_ = true;
    process_->terminate();
    terminateRequested_ = true;
}

void UsageModel::finishStopping(std::chrono::milliseconds grace) {
    if (!process_ || process_->waitForExit(grace)) return;
    process_->kill();
    process_->waitForExit(std::chrono::seconds(2));
}

void UsageModel::handle(const Json& message) {
    if (!message.is_object()) return;
    const Json* method = jsonMember(message, "method");
    const Json* params = jsonMember(message, "params");
    if (method && method->is_string() && *method == "account/rateLimits/updated" && params && params->is_object()) {
        acceptQuota(*params, false);
        return;
    }

    const Json* idMember = jsonMember(message, "id");
    if (!idMember) return;
    const auto id = jsonIntegral(*idMember);
    if (!id) return;
    auto entry = pending_.find(*id);
    if (entry == pending_.end()) return;
    const std::string kind = entry->second.kind;
    pending_.erase(entry);

    const Json* error = jsonMember(message, "error");
    const Json* result = jsonMember(message, "result");
    if (error && error->is_object()) {
        const Json* text = jsonMember(*error, "message");
        const std::string m = (text && text->is_string()) ? text->get<std::string>() : std::string();
        const char* userText = mentionsSignIn(m) ? signInText : unavailableText;
        if (kind == "tokens")
            publish(tokenError_, std::string(userText));
        else
            fail(userText);
        if (kind == "initialize") terminateChild();
    } else if (kind == "initialize") {
        send(Json{{"method", "initialized"}});
        ready_ = true;
        refresh();
        return;
    } else if (result && result->is_object()) {
        if (kind == "quota") acceptQuota(*result, true);
        if (kind == "tokens") acceptTokens(*result);
    }
    tail();
}

void UsageModel::tail() {
    publish(refreshing_, !pending_.empty());
    changed();
    saveHealth();
}

void UsageModel::acceptTokens(const Json& result) {
    std::optional<std::int64_t> lifetime;
    if (const Json* summary = jsonMember(result, "summary"))
        if (const Json* total = jsonMember(*summary, "lifetimeTokens")) lifetime = jsonTruncatedInt64(*total);
    publish(lifetime_, lifetime);

    std::vector<DailyTokens> daily;
    const Json* buckets = jsonMember(result, "dailyUsageBuckets");
    if (buckets && buckets->is_array() &&
        std::all_of(buckets->begin(), buckets->end(), [](const Json& b) { return b.is_object(); })) {
        for (const Json& bucket : *buckets) {
            const Json* date = jsonMember(bucket, "startDate");
            const Json* tokens = jsonMember(bucket, "tokens");
            if (!date || !date->is_string() || !tokens || !tokens->is_number()) continue;
            daily.push_back({date->get<std::string>(), *jsonTruncatedInt64(*tokens)});
        }
    }
    const auto latest = std::max_element(daily.begin(), daily.end(),
                                         [](const DailyTokens& a, const DailyTokens& b) { return a.day < b.day; });
    if (latest != daily.end()) {
        publish(lastTokenDay_, latest->day);
        publish(lastTokens_, latest->tokens);
    } else {
        publish(lastTokenDay_, std::nullopt);
        publish(lastTokens_, std::nullopt);
    }
    publish(dailyTokens_, std::move(daily));
    publish(tokenUpdated_, services_.clock->now());
    publish(tokenError_, std::nullopt);
}

void UsageModel::acceptQuota(const Json& payload, bool topLevel) {
    publish(account_, readAccount(payload, topLevel, account_));
    auto windows = quotaWindows(payload);
    if (windows.empty()) {
        publish(error_, std::string(noQuotaText));
        publish(refreshing_, false);
    } else {
        publish(windows_, std::move(windows));
        publish(updated_, services_.clock->now());
        publish(error_, std::nullopt);
    }
    changed();
    saveHealth();
}

// One write per burst of changes, at the end of the loop turn, and none when the bytes are the same.
void UsageModel::saveHealth() {
    if (isDemo() || healthQueued_) return;
    healthQueued_ = true;
    std::weak_ptr<UsageModel> weak = weak_from_this();
    services_.mainLoop->post([weak] {
        if (auto model = weak.lock()) model->writeHealth();
    });
}

void UsageModel::writeHealth() {
    if (!healthQueued_) return;
    healthQueued_ = false;
    std::string health = healthJson(*this, services_.environment.pid);
    if (health == writtenHealth_) return;
    services_.files->createDirectories(support_, 0700);
    if (services_.files->replaceAtomically(joinPath(support_, "status.json"), health, 0600))
        writtenHealth_ = std::move(health);
}

}  // namespace tallyvane
