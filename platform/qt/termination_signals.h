#pragma once
// SIGTERM, SIGINT and SIGHUP read from a signalfd on the event loop, so that they end the program
// through its ordinary quit path. The entry blocks them in every thread before any thread starts.
#include <QObject>

class QSocketNotifier;

namespace tallyvane {

class TerminationSignals final : public QObject {
    Q_OBJECT
public:
    // Blocks the three signals in the calling thread too, in case nobody did.
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

Q_SIGNALS:
    void received(int signalNumber);

private:
    void drain();

    int fd_;
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace tallyvane
