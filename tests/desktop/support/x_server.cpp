#include "tests/desktop/support/x_server.h"

#include <signal.h>
#include <sys/prctl.h>

#include <QFile>
#include <QProcessEnvironment>
#include <QStandardPaths>

namespace tallyvane::testing {

QString missingProgram(const QStringList& programs) {
    for (const QString& program : programs)
        if (QStandardPaths::findExecutable(program).isEmpty()) return program;
    return {};
}

void endWithThisProcess(QProcess& process) {
    process.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
}

XServer::XServer(QSize size) {
    if (const QString missing = missingProgram({QStringLiteral("Xvfb")}); !missing.isEmpty()) {
        unavailable_ = QStringLiteral("Xvfb is not installed (Debian package xvfb)");
        return;
    }
    endWithThisProcess(server_);
    // -displayfd picks a free display and prints its number once the server accepts clients.
    server_.start(QStringLiteral("Xvfb"),
                  {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"), QStringLiteral("0"),
                   QStringLiteral("%1x%2x24").arg(size.width()).arg(size.height()), QStringLiteral("-nolisten"),
                   QStringLiteral("tcp"), QStringLiteral("-ac")});
    if (!server_.waitForStarted(5000) || !server_.waitForReadyRead(15000)) {
        unavailable_ = QStringLiteral("Xvfb did not start");
        return;
    }
    display_ = QStringLiteral(":") + QString::fromUtf8(server_.readLine()).trimmed();
}

XServer::~XServer() {
    if (server_.state() == QProcess::NotRunning) return;
    server_.terminate();
    if (!server_.waitForFinished(5000)) {
        server_.kill();
        server_.waitForFinished(3000);
    }
}

QString XServer::run(const QString& program, const QStringList& arguments) const {
    QProcess client;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), display_);
    client.setProcessEnvironment(environment);
    client.start(program, arguments);
    if (!client.waitForFinished(15000)) {
        client.kill();
        client.waitForFinished(3000);
    }
    return QString::fromUtf8(client.readAllStandardOutput());
}

QRect XServer::visibleWindow(const QString& name) const {
    QRect largest;
    const QStringList ids =
        run(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                                        QStringLiteral("^%1$").arg(name)})
            .split(u'\n', Qt::SkipEmptyParts);
    for (const QString& id : ids) {
        QRect rect;
        const QStringList lines =
            run(QStringLiteral("xdotool"), {QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), id})
                .split(u'\n', Qt::SkipEmptyParts);
        for (const QString& line : lines) {
            const QString value = line.section(u'=', 1);
            if (line.startsWith(QLatin1String("X="))) rect.moveLeft(value.toInt());
            if (line.startsWith(QLatin1String("Y="))) rect.moveTop(value.toInt());
            if (line.startsWith(QLatin1String("WIDTH="))) rect.setWidth(value.toInt());
            if (line.startsWith(QLatin1String("HEIGHT="))) rect.setHeight(value.toInt());
        }
        if (rect.width() * rect.height() > largest.width() * largest.height()) largest = rect;
    }
    return largest;
}

void XServer::click(QPoint at) const {
    run(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y()),
                                    QStringLiteral("click"), QStringLiteral("1")});
}

bool XServer::screenshot(const QString& path) const {
    run(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"), path});
    return QFile::exists(path);
}

}  // namespace tallyvane::testing
