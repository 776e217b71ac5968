#pragma once
// The desktop copy's side of the one-copy-per-user rule (platform/posix/instance_lock.h): it
// takes the lock, or asks the holder through the socket (instance_channel.h) and steps back or,
// when a headless holder hands over, runs in its place; holding the lock, it serves the socket.
#include <QObject>
#include <memory>
#include <optional>
#include <string>

#include "platform/posix/instance_channel.h"
#include "platform/posix/instance_lock.h"

namespace tallyvane {

class SingleInstance final : public QObject {
    Q_OBJECT
public:
    enum class Claim {
        run,        // the lock is ours (or none can be made): run
        opened,     // another copy runs and has opened its panel
        silent,     // another copy holds the lock but did not answer
        notHanded,  // a headless copy promised to hand over but still holds the lock
    };

    explicit SingleInstance(const std::string& directory, QObject* parent = nullptr);
    ~SingleInstance() override;
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // Blocks at most a few seconds (a headless holder stopping Codex).
    Claim claim();
    // The pid of the copy that holds the lock, for messages.
    std::optional<int> holder() const { return lock_.holder(); }

Q_SIGNALS:
    // A later desktop copy asked for the panel.
    void openRequested();

private:
    void serve();

    InstanceLock lock_;
    std::unique_ptr<InstanceServer> server_;
};

}  // namespace tallyvane
