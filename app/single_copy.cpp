#include "app/single_copy.h"

#include <cstdio>
#include <cstdlib>

#include "model/run_flags.h"

namespace tallyvane {
namespace {

std::string pidText(std::optional<int> pid) { return pid ? " (pid " + std::to_string(*pid) + ")" : ""; }

}  // namespace

std::optional<HeadlessClaim> claimHeadless(const std::string& supportDirectory, std::function<void()> handOver) {
    HeadlessClaim claim;
    if (isDemo()) return claim;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    InstanceLock& lock = claim.lock.emplace(instanceDirectory(runtime ? runtime : "", supportDirectory));
    switch (lock.take()) {
        case InstanceLock::Take::heldElsewhere:
            std::fprintf(stderr, "%s\n", alreadyRunningText(lock.holder()).c_str());
            return std::nullopt;
        case InstanceLock::Take::unavailable:
            return claim;
        case InstanceLock::Take::held:
            break;
    }
    claim.server = std::make_unique<InstanceServer>(lock.socketPath(), handoverReply, [handOver = std::move(handOver)] {
        std::fputs("Tallyvane : la copie avec interface prend le relais.\n", stderr);
        handOver();
    });
    return claim;
}

std::string alreadyRunningText(std::optional<int> pid) { return "Tallyvane tourne déjà" + pidText(pid) + "."; }

std::string silentHolderText(std::optional<int> pid) {
    return "Tallyvane tourne déjà" + pidText(pid) + " mais ne répond pas : rien n’a été ouvert.";
}

std::string notHandedOverText(std::optional<int> pid) {
    return "Tallyvane tourne déjà sans interface" + pidText(pid) +
           " et ne s’est pas arrêté à temps : relance Tallyvane dans un instant.";
}

}  // namespace tallyvane
