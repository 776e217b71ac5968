#pragma once
// Says through a desktop notification that the program runs with no tray to show its item: no
// host 10 s after the start, or one left and none came back within 10 s (a host restarting or
// away behind a lock screen is back by then). Said once per user, remembered in the settings file,
// and again only after a run that had a tray.
#include <QElapsedTimer>
#include <QObject>
#include <chrono>
#include <functional>
#include <memory>

class QTimer;

namespace tallyvane {

class Notifier;

class MissingTrayNotice final : public QObject {
    Q_OBJECT
public:
    // The settings key that remembers the notice was given.
    static constexpr const char* shownKey = "noTrayNoticeShown";

    MissingTrayNotice(std::function<bool()> hostPresent, std::shared_ptr<Notifier> notifier,
                      std::chrono::milliseconds patience, bool demo, QObject* parent = nullptr);

private:
    void check();

    std::function<bool()> hostPresent_;
    std::shared_ptr<Notifier> notifier_;
    std::chrono::milliseconds patience_;
    bool demo_;
    QTimer* timer_;
    QElapsedTimer sinceHost_;  // since the start, or since a host was last seen
    bool hadHost_ = false;
    bool told_ = false;  // this absence has been dealt with
};

}  // namespace tallyvane
