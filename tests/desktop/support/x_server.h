#pragma once
// A virtual X server (Xvfb) of the test's own, and the X tools the tests drive it with.
#include <QProcess>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

namespace tallyvane::testing {

class XServer {
public:
    explicit XServer(QSize size);
    ~XServer();
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    const QString& unavailable() const { return unavailable_; }
    const QString& display() const { return display_; }
    // Runs an X client on this display to completion; its standard output.
    QString run(const QString& program, const QStringList& arguments) const;
    // The largest viewable window with this exact name; null when there is none.
    QRect visibleWindow(const QString& name) const;
    void click(QPoint at) const;
    bool screenshot(const QString& path) const;

private:
    QProcess server_;
    QString display_;
    QString unavailable_;
};

// The process gets SIGTERM when the test process dies, even when it crashes.
void endWithThisProcess(QProcess& process);

// Empty when every program is on PATH; otherwise the first missing one.
QString missingProgram(const QStringList& programs);

}  // namespace tallyvane::testing
