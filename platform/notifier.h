#pragma once
// Desktop notifications. Main thread only.
#include <functional>
#include <string>

namespace tallyvane {

class Notifier {
public:
    virtual ~Notifier() = default;
    // Shows a notification without waiting for the desktop. One shown with the same non-empty
    // `slot` as an earlier one takes its place on screen.
    virtual void notify(const std::string& summary, const std::string& body, const std::string& slot) = 0;
    // Runs when the person clicks a notification shown by this notifier.
    std::function<void()> onActivated;
};

}  // namespace tallyvane
