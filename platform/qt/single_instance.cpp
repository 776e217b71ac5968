#include "platform/qt/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>

namespace tallyvane {
namespace {

constexpr QByteArrayView openRequest = "open\n";

}  // namespace

QString singleInstanceDirectory(const QString& xdgRuntimeDir, const QString& supportDirectory) {
    if (!xdgRuntimeDir.isEmpty() && QFileInfo(xdgRuntimeDir).isDir()) return xdgRuntimeDir;
    return supportDirectory;
}

SingleInstance::SingleInstance(const QString& directory, QObject* parent)
    : QObject(parent),
      lockPath_(QDir(directory).filePath(QStringLiteral("tallyvane.lock"))),
      socketPath_(QDir(directory).filePath(QStringLiteral("tallyvane.socket"))) {}

SingleInstance::~SingleInstance() {
    if (server_) server_->close();
    if (lockFd_ >= 0) ::close(lockFd_);
}

bool SingleInstance::claim() {
    // Close-on-exec, so that the codex child never carries the lock past our end.
    const int fd = ::open(QFile::encodeName(lockPath_).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return true;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        lockFd_ = fd;
        serve();
        return true;
    }
    ::close(fd);
    askRunningCopy();
    return false;
}

void SingleInstance::serve() {
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    QLocalServer::removeServer(socketPath_);  // a socket left by a copy that crashed; we hold the lock
    if (!server_->listen(socketPath_)) return;
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* client = server_->nextPendingConnection()) {
            connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
            connect(client, &QLocalSocket::readyRead, this, [this, client] {
                if (client->readAll().contains(openRequest)) Q_EMIT openRequested();
                client->disconnectFromServer();
            });
        }
    });
}

void SingleInstance::askRunningCopy() const {
    // The running copy may hold the lock a moment before it listens.
    for (int attempt = 0; attempt < 20; ++attempt) {
        QLocalSocket socket;
        socket.connectToServer(socketPath_);
        if (socket.waitForConnected(500)) {
            socket.write(openRequest.data(), openRequest.size());
            socket.waitForBytesWritten(1000);
            socket.disconnectFromServer();
            return;
        }
        QThread::msleep(50);
    }
}

}  // namespace tallyvane
