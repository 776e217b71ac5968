#include "platform/qt/single_instance.h"

#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>

#include "platform/posix/instance_channel.h"

namespace tallyvane {
namespace {

constexpr auto answerLimit = std::chrono::seconds(2);
// A headless holder waits up to two seconds for Codex to end before killing it.
constexpr auto handoverLimit = std::chrono::seconds(5);

QByteArray line(std::string_view text) { return QByteArray(text.data(), qsizetype(text.size())) + '\n'; }

}  // namespace

SingleInstance::SingleInstance(const std::string& directory, QObject* parent) : QObject(parent), lock_(directory) {}

SingleInstance::~SingleInstance() {
    if (server_) server_->close();
}

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
    const QString path = QFile::decodeName(lock_.socketPath().c_str());
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    QLocalServer::removeServer(path);  // left by a copy that crashed; we hold the lock
    if (!server_->listen(path)) return;
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* client = server_->nextPendingConnection()) {
            connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
            connect(client, &QLocalSocket::readyRead, this, [this, client] {
                if (!client->canReadLine()) return;
                if (client->readLine() == line(openRequest)) {
                    Q_EMIT openRequested();
                    client->write(line(openedReply));
                }
                client->disconnectFromServer();
            });
        }
    });
}

}  // namespace tallyvane
