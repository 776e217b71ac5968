#pragma once
// One running copy per user: the first copy holds an flock on "tallyvane.lock" (released by the
// kernel whatever way the process ends) and listens on "tallyvane.socket" beside it; a later
// copy finds the lock taken, asks the running copy to open its panel, and steps back.
#include <QObject>
#include <QString>

class QLocalServer;

namespace tallyvane {

// $XDG_RUNTIME_DIR when it names a directory, else the support directory.
QString singleInstanceDirectory(const QString& xdgRuntimeDir, const QString& supportDirectory);

class SingleInstance final : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(const QString& directory, QObject* parent = nullptr);
    ~SingleInstance() override;
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True when this process may run: it now holds the lock, or no lock can be made there at all.
    // False when another copy holds it; that copy has then been asked to open its panel.
    bool claim();

Q_SIGNALS:
    // Another copy was started and stepped back.
    void openRequested();

private:
    void serve();
    void askRunningCopy() const;

    QString lockPath_;
    QString socketPath_;
    int lockFd_ = -1;
    QLocalServer* server_ = nullptr;
};

}  // namespace tallyvane
