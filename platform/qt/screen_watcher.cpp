#include "platform/qt/screen_watcher.h"

#include <QGuiApplication>
#include <QScreen>

namespace tallyvane {

ScreenWatcher::ScreenWatcher(QObject* parent) : QObject(parent) {
    for (QScreen* screen : QGuiApplication::screens()) watch(screen);
    connect(qGuiApp, &QGuiApplication::screenAdded, this, [this](QScreen* screen) {
        watch(screen);
        Q_EMIT changed();
    });
    // Removal is reported before the screen is gone; let Qt move its windows first.
    connect(qGuiApp, &QGuiApplication::screenRemoved, this, &ScreenWatcher::changed, Qt::QueuedConnection);
    connect(qGuiApp, &QGuiApplication::primaryScreenChanged, this, &ScreenWatcher::changed);
}

void ScreenWatcher::watch(QScreen* screen) {
    connect(screen, &QScreen::geometryChanged, this, &ScreenWatcher::changed);
    connect(screen, &QScreen::availableGeometryChanged, this, &ScreenWatcher::changed);
}

}  // namespace tallyvane
