#include "platform/posix/event_loop.h"

#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <deque>
#include <iterator>
#include <map>
#include <mutex>
#include <optional>
#include <system_error>
#include <utility>
#include <vector>

#include "platform/posix/quit_signals.h"
#include "platform/posix/unique_fd.h"

namespace tallyvane {
namespace {

using SteadyClock = std::chrono::steady_clock;
using Moment = SteadyClock::time_point;

constexpr auto taskSlice = std::chrono::milliseconds(2);

UniqueFd checked(int fd, const char* what) {
    if (fd < 0) throw std::system_error(errno, std::system_category(), what);
    return UniqueFd(fd);
}

struct TimerEntry {
    Moment deadline;
    SteadyClock::duration interval;  // zero for a delayed task
    SteadyClock::duration tolerance;
    std::shared_ptr<std::function<void()>> tick;
};

}  // namespace

struct EventLoop::Core {
    UniqueFd wakeup = checked(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK), "eventfd");
    UniqueFd signals = [] {
        const sigset_t set = quitSignals();
        return checked(::signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK), "signalfd");
    }();
    std::atomic<bool> quitRequested{false};
    std::map<int, std::function<void()>> signalHandlers;  // the loop's thread only

    std::mutex mutex;
    std::deque<std::function<void()>> tasks;
    std::map<std::uint64_t, TimerEntry> timers;
    std::uint64_t lastTimerId = 0;

    void wake() {
        const std::uint64_t one = 1;
        [[maybe_unused]] auto written = ::write(wakeup.get(), &one, sizeof one);
    }

    void post(std::function<void()> task) {
        bool wasEmpty;
        {
            std::lock_guard lock(mutex);
            wasEmpty = tasks.empty();
            tasks.push_back(std::move(task));
        }
        // A non-empty queue already has a wakeup on its way, or is about to be run.
        if (wasEmpty) wake();
    }

    std::uint64_t addTimer(TimerEntry entry) {
        std::uint64_t id;
        {
            std::lock_guard lock(mutex);
            id = ++lastTimerId;
            timers.emplace(id, std::move(entry));
        }
        wake();  // the loop may be asleep with a later deadline in mind
        return id;
    }

    void cancel(std::uint64_t id) {
        std::shared_ptr<std::function<void()>> dropped;  // dies after the lock: its captures may post
        std::lock_guard lock(mutex);
        auto found = timers.find(id);
        if (found == timers.end()) return;
        dropped = std::move(found->second.tick);
        timers.erase(found);
    }

    // Runs posted tasks for one slice at most, so that a flood of posts never holds up timers;
    // what is left runs next turn, ahead of later posts.
    void runTasks() {
        const Moment sliceEnd = SteadyClock::now() + taskSlice;
        std::deque<std::function<void()>> batch;
        {
            std::lock_guard lock(mutex);
            batch.swap(tasks);
        }
        while (!batch.empty()) {
            std::function<void()> task = std::move(batch.front());
            batch.pop_front();
            task();
            task = nullptr;
            if (!batch.empty() && SteadyClock::now() >= sliceEnd) break;
        }
        if (batch.empty()) return;
        {
            std::lock_guard lock(mutex);
            tasks.insert(tasks.begin(), std::make_move_iterator(batch.begin()), std::make_move_iterator(batch.end()));
        }
        wake();
    }

    void runDueTimers() {
        const Moment now = SteadyClock::now();
        std::vector<std::pair<Moment, std::uint64_t>> due;
        {
            std::lock_guard lock(mutex);
            for (const auto& [id, timer] : timers) {
                if (timer.deadline <= now) due.emplace_back(timer.deadline, id);
            }
        }
        std::sort(due.begin(), due.end());
        for (const auto& [deadline, id] : due) {
            std::shared_ptr<std::function<void()>> tick;
            {
                std::lock_guard lock(mutex);
                auto found = timers.find(id);
                if (found == timers.end()) continue;  // invalidated by an earlier tick
                TimerEntry& timer = found->second;
                tick = timer.tick;
                if (timer.interval == SteadyClock::duration::zero()) {
                    timers.erase(found);
                } else {
                    // Keep the phase; skip periods missed while the loop was busy.
                    timer.deadline += timer.interval;
                    if (timer.deadline <= now) timer.deadline = now + timer.interval;
                }
            }
            (*tick)();
        }
    }

    // The earliest deadline, pushed back as far as the next timers' deadlines when every
    // timer of that group can still fire within its tolerance: one wakeup serves them all.
    std::optional<Moment> nextWakeup() {
        std::vector<std::pair<Moment, Moment>> windows;  // (deadline, latest acceptable)
        {
            std::lock_guard lock(mutex);
            for (const auto& [id, timer] : timers) windows.emplace_back(timer.deadline, timer.deadline + timer.tolerance);
        }
        if (windows.empty()) return std::nullopt;
        std::sort(windows.begin(), windows.end());
        Moment wakeAt = windows.front().first;
        Moment latest = windows.front().second;
        for (const auto& [deadline, acceptable] : windows) {
            if (deadline > latest) break;
            wakeAt = deadline;
            latest = std::min(latest, acceptable);
        }
        return wakeAt;
    }

    // Sleeps until `until`, a post or (when watched) a quit signal; returns that signal or 0.
    int wait(std::optional<Moment> until, bool watchSignals) {
        pollfd fds[2] = {{wakeup.get(), POLLIN, 0}, {watchSignals ? signals.get() : -1, POLLIN, 0}};
        timespec timeout{};
        if (until) {
            const auto left = std::max(SteadyClock::duration::zero(), *until - SteadyClock::now());
            const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(left);
            timeout.tv_sec = static_cast<time_t>(seconds.count());
            timeout.tv_nsec = static_cast<long>(std::chrono::duration_cast<std::chrono::nanoseconds>(left - seconds).count());
        }
        if (::ppoll(fds, 2, until ? &timeout : nullptr, nullptr) <= 0) return 0;
        if (fds[0].revents != 0) {
            std::uint64_t count;
            [[maybe_unused]] auto got = ::read(wakeup.get(), &count, sizeof count);
        }
        if (fds[1].revents != 0) {
            signalfd_siginfo info{};
            if (::read(signals.get(), &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
                return static_cast<int>(info.ssi_signo);
            }
        }
        return 0;
    }

    int loop(const std::function<bool()>& done, std::optional<Moment> limit, bool watchSignals) {
        for (;;) {
            runTasks();
            runDueTimers();
            if (quitRequested.exchange(false) || done()) return 0;
            std::optional<Moment> wakeAt = nextWakeup();
            if (limit) {
                if (SteadyClock::now() >= *limit) return 0;
                if (!wakeAt || *limit < *wakeAt) wakeAt = limit;
            }
            const int signal = wait(wakeAt, watchSignals);
            if (signal == 0) continue;
            auto handler = signalHandlers.find(signal);
            if (handler == signalHandlers.end()) return signal;
            handler->second();
        }
    }
};

namespace {

class LoopTimer final : public Timer {
public:
    LoopTimer(std::weak_ptr<EventLoop::Core> core, std::uint64_t id) : core_(std::move(core)), id_(id) {}
    ~LoopTimer() override { invalidate(); }

    void invalidate() override {
        if (auto core = core_.lock()) core->cancel(id_);
    }

private:
    std::weak_ptr<EventLoop::Core> core_;
    std::uint64_t id_;
};

}  // namespace

void EventLoop::blockQuitSignals() {
    sigset_t set = quitSignals();
    ::sigaddset(&set, SIGWINCH);  // ignored by default; blocked so that a loop can read it
    ::sigaddset(&set, SIGCONT);   // blocked, it still resumes a stopped program
    ::pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

EventLoop::EventLoop() : core_(std::make_shared<Core>()) {}

EventLoop::~EventLoop() = default;

void EventLoop::post(std::function<void()> task) { core_->post(std::move(task)); }

void EventLoop::postDelayed(std::chrono::milliseconds delay, std::function<void()> task) {
    core_->addTimer({SteadyClock::now() + delay, SteadyClock::duration::zero(), SteadyClock::duration::zero(),
                     std::make_shared<std::function<void()>>(std::move(task))});
}

std::unique_ptr<Timer> EventLoop::scheduleRepeating(std::chrono::milliseconds interval,
                                                    std::chrono::milliseconds tolerance,
                                                    std::function<void()> tick) {
    interval = std::max(interval, std::chrono::milliseconds(1));
    tolerance = std::max(tolerance, std::chrono::milliseconds(0));
    const auto id = core_->addTimer({SteadyClock::now() + interval, interval, tolerance,
                                     std::make_shared<std::function<void()>>(std::move(tick))});
    return std::make_unique<LoopTimer>(core_, id);
}

void EventLoop::onSignal(int signal, std::function<void()> handler) {
    core_->signalHandlers[signal] = std::move(handler);
    sigset_t set = quitSignals();
    for (const auto& entry : core_->signalHandlers) ::sigaddset(&set, entry.first);
    if (::signalfd(core_->signals.get(), &set, 0) < 0)
        throw std::system_error(errno, std::system_category(), "signalfd");
}

int EventLoop::run() {
    return core_->loop([] { return false; }, std::nullopt, true);
}

void EventLoop::quit() {
    core_->quitRequested = true;
    core_->wake();
}

bool EventLoop::runUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    core_->loop(done, SteadyClock::now() + limit, false);
    return done();
}

}  // namespace tallyvane
