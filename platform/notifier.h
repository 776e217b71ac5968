#pragma once
// Desktop notifications. Main thread only.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace tallyvane {

// What the desktop made of a notification: the id it shows it under, or nothing when it showed none
// (no notification service yet, at login; an error).
using NotifyOutcome = std::function<void(std::optional<std::uint32_t> id)>;

class Notifier {
public:
    virtual ~Notifier() = default;
    // Shows a notification without waiting for the desktop; `outcome`, when given, runs once the desktop
    // answered, and not at all once this notifier is gone. One shown with the same non-empty `slot` as an
    // earlier one takes its place on screen.
    virtual void notify(const std::string& summary, const std::string& body, const std::string& slot,
                        NotifyOutcome outcome = {}) = 0;
    // Runs when the person clicks a notification shown by this notifier.
    std::function<void()> onActivated;
};

}  // namespace tallyvane
