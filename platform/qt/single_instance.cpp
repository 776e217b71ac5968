#include "platform/qt/single_instance.h"

namespace tallyvane {
namespace {

constexpr auto answerLimit = std::chrono::seconds(2);
// A headless holder waits up to two seconds for Codex to end before killing it.
constexpr auto handoverLimit = std::chrono::seconds(5);

}  // namespace

SingleInstance::SingleInstance(const std::string& directory, QObject* parent) : QObject(parent), lock_(directory) {}

SingleInstance::~SingleInstance() = default;

SingleInstance::Claim SingleInstance::claim() {
    switch (lock_.take()) {
        case InstanceLock::Take::unavailable:
            return Claim::run;
        case InstanceLock::Take::held:
            break;
        case InstanceLock::Take::heldElsewhere:
            switch (askHolderToOpen(lock_.socketPath(), answerLimit)) {
                case HolderReply::opened:
                    return Claim::opened;
                case HolderReply::silent:
                    return Claim::silent;
                case HolderReply::handingOver:
                    if (!lock_.takeWithin(handoverLimit)) return Claim::notHanded;
            }
    }
    serve();
    return Claim::run;
}

void SingleInstance::serve() {
    // Told on the server's thread; the panel opens on this one.
    server_ = std::make_unique<InstanceServer>(lock_.socketPath(), openedReply, [this] {
        QMetaObject::invokeMethod(this, &SingleInstance::openRequested, Qt::QueuedConnection);
    });
}

}  // namespace tallyvane
