#pragma once
// What a later copy and the lock holder say on "tallyvane.socket" (a Unix stream socket, this
// user only). One exchange per connection, one line each way:
//
//   later desktop copy -> holder   "open\n"
//   desktop holder     -> copy     "opened\n"    its panel is shown; the copy quits
//   headless holder    -> copy     "handover\n"  it stops Codex and quits; the copy waits for the
//                                                lock and runs in its place, with the tray
//
// A later headless copy asks nothing: it says who runs and quits. The desktop holder serves the
// socket with QLocalServer (platform/qt/single_instance.h), the headless one with HandoverServer.
#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <thread>

#include "platform/posix/unique_fd.h"

namespace tallyvane {

// The lines, without their '\n'.
inline constexpr std::string_view openRequest = "open";
inline constexpr std::string_view openedReply = "opened";
inline constexpr std::string_view handoverReply = "handover";

enum class HolderReply { opened, handingOver, silent };

// Connects (retrying while the holder is not listening yet), says "open" and reads the answer;
// `silent` when none came within `limit`.
HolderReply askHolderToOpen(const std::string& socketPath, std::chrono::milliseconds limit);

// The headless holder's side: a thread asleep in poll until a copy connects, answering
// "handover" to "open". No wakeups while idle; every descriptor is close-on-exec.
class HandoverServer {
public:
    // Listens on `socketPath`, replacing what a crashed holder left there (the caller holds the
    // lock). `handOver` runs on the server's thread once the answer has been sent.
    HandoverServer(std::string socketPath, std::function<void()> handOver);
    // Stops the thread and removes the socket.
    ~HandoverServer();
    HandoverServer(const HandoverServer&) = delete;
    HandoverServer& operator=(const HandoverServer&) = delete;

    // False when the socket could not be made: later desktop copies will find it silent.
    bool listening() const { return listener_.valid(); }

private:
    void serve();
    void answer(int connection);

    std::string socketPath_;
    std::function<void()> handOver_;
    UniqueFd listener_;
    UniqueFd stop_;
    std::thread thread_;
};

}  // namespace tallyvane
