#pragma once
// What a later copy and the lock holder say on "tallyvane.socket" (a Unix stream socket, this
// user only). One exchange per connection, one line each way:
//
//   later desktop copy -> holder   "open\n"
//   desktop holder     -> copy     "opened\n"    its panel is shown; the copy quits
//   headless holder    -> copy     "handover\n"  it stops Codex and quits; the copy waits for the
//                                                lock and runs in its place, with the tray
//
// A later headless copy asks nothing: it says who runs and quits. Both holders serve the socket
// with InstanceServer.
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

// The holder's side: a thread asleep in poll until a copy connects, answering `reply` to "open".
// No wakeups while idle; every descriptor is close-on-exec.
class InstanceServer {
public:
    // Listens on `socketPath`, replacing what a crashed holder left there (the caller holds the
    // lock). `answered` runs on the server's thread once the reply has been sent; after a
    // "handover" reply it runs once only, as the holder is on its way out.
    InstanceServer(std::string socketPath, std::string_view reply, std::function<void()> answered);
    // Stops the thread and removes the socket.
    ~InstanceServer();
    InstanceServer(const InstanceServer&) = delete;
    InstanceServer& operator=(const InstanceServer&) = delete;

    // False when the socket could not be made: later desktop copies will find it silent.
    bool listening() const { return listener_.valid(); }

private:
    void serve();
    void answer(int connection);

    std::string socketPath_;
    std::string_view reply_;
    std::function<void()> answered_;
    UniqueFd listener_;
    UniqueFd stop_;
    std::thread thread_;
};

}  // namespace tallyvane
