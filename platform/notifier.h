#pragma once
// Desktop notifications. Main thread only.
#include <cstdint>
#include <functional>
#include <string>

namespace tallyvane {

class Notifier {
public:
    virtual ~Notifier() = default;
    // Shows a notification, in place of `replaces` when that one is still on screen (0: none).
    // Returns its id, 0 when none could be shown.
    virtual std::uint32_t notify(const std::string& summary, const std::string& body, std::uint32_t replaces) = 0;
    // Runs when the person clicks a notification shown by this notifier.
    std::function<void()> onActivated;
};

}  // namespace tallyvane
