#include "platform/qt/display_probe.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QLibraryInfo>
#include <QPluginLoader>
#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace tallyvane {
namespace {

bool set(const char* variable) {
    const char* value = std::getenv(variable);
    return value != nullptr && *value != '\0';
}

bool x11Answers() {
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    const bool answers = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    return answers;
}

bool waylandAnswers() {
    std::string path = std::getenv("WAYLAND_DISPLAY");
    if (path.front() != '/') {
        if (!set("XDG_RUNTIME_DIR")) return false;
        path = std::string(std::getenv("XDG_RUNTIME_DIR")) + "/" + path;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const bool answers = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return answers;
}

// Where Qt looks for platform plugins, in its order: the folder named for them, each plugin folder
// of QT_PLUGIN_PATH, its own, and the program's.
QStringList platformFolders() {
    QStringList folders;
    if (const QString direct = qEnvironmentVariable("QT_QPA_PLATFORM_PLUGIN_PATH"); !direct.isEmpty()) folders << direct;
    for (const QString& path : qEnvironmentVariable("QT_PLUGIN_PATH").split(QDir::listSeparator(), Qt::SkipEmptyParts))
        folders << path + QLatin1String("/platforms");
    folders << QLibraryInfo::path(QLibraryInfo::PluginsPath) + QLatin1String("/platforms");
    folders << QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath() + QLatin1String("/platforms");
    return folders;
}

// Read from each plugin's metadata, as Qt does, without loading it.
bool pluginFound(const QString& platform) {
    for (const QString& folder : platformFolders()) {
        for (const QFileInfo& file : QDir(folder).entryInfoList(QDir::Files)) {
            const QJsonObject meta = QPluginLoader(file.absoluteFilePath()).metaData();
            if (!meta.value(QLatin1String("IID")).toString().contains(QLatin1String("QPlatformIntegrationFactoryInterface")))
                continue;
            for (const QJsonValue key : meta.value(QLatin1String("MetaData"))[QLatin1String("Keys")].toArray())
                if (key.toString().compare(platform, Qt::CaseInsensitive) == 0) return true;
        }
    }
    return false;
}

}  // namespace

void choosePlatform() {
    if (set("QT_QPA_PLATFORM")) return;
    if (set("DISPLAY")) ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    else if (set("WAYLAND_DISPLAY")) ::setenv("QT_QPA_PLATFORM", "wayland", 1);
}

// QT_QPA_PLATFORM is a list Qt tries in order, each name maybe with options after a colon.
std::string displayProblem() {
    QStringList wanted = qEnvironmentVariable("QT_QPA_PLATFORM").split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (QString& name : wanted) name = name.section(QLatin1Char(':'), 0, 0);
    const QString first = wanted.value(0);
    if (first == QLatin1String("xcb") && !x11Answers()) return "l’affichage ne répond pas.";
    if (first.startsWith(QLatin1String("wayland")) && !(set("WAYLAND_DISPLAY") && waylandAnswers()))
        return "l’affichage ne répond pas.";
    if (std::any_of(wanted.begin(), wanted.end(), pluginFound)) return {};
    return "le module Qt de l’affichage « " + first.toStdString() + " » manque" +
           (first.startsWith(QLatin1String("wayland")) ? " (paquet qt6-wayland)" : "") + " ; Tallyvane tourne sans fenêtre.";
}

}  // namespace tallyvane
