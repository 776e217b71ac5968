#pragma once
// Notifications through the desktop's org.freedesktop.Notifications service, as « Tallyvane » with
// its icon. Calls never wait for the service; a click on a notification (its default action) runs
// `onActivated`.
#include <QDBusConnection>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QString>

#include "platform/notifier.h"

namespace tallyvane {

class DbusNotifier final : public QObject, public Notifier {
    Q_OBJECT
public:
    explicit DbusNotifier(QDBusConnection bus, QObject* parent = nullptr);
    void notify(const std::string& summary, const std::string& body, const std::string& slot,
                NotifyOutcome outcome = {}) override;

private Q_SLOTS:
    void actionInvoked(uint id, const QString& action);

private:
    struct Request {
        QString summary, body;
        NotifyOutcome outcome;
    };
    void send(Request request, const QString& slot);
    void answered(const QString& slot, uint id);

    QDBusConnection bus_;
    QMap<QString, uint> shownInSlot_;  // the notification on screen for each slot
    QSet<QString> sending_;            // slots whose notification has no id yet
    QMap<QString, Request> waiting_;   // what a slot shows next, once its id is known
    QSet<uint> shown_;
    bool failureReported_ = false;
};

}  // namespace tallyvane
