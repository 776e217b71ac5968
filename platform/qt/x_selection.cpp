#include "platform/qt/x_selection.h"

#include <xcb/xcb.h>

#include <QGuiApplication>
#include <cstdlib>
#include <memory>

namespace tallyvane {
namespace {

// The screen part of "host:display.screen"; Qt's X connection uses the same default.
QByteArray screenNumber() {
    const QByteArray display = qgetenv("DISPLAY");
    const QByteArray tail = display.mid(display.lastIndexOf(':') + 1);
    const qsizetype dot = tail.indexOf('.');
    return dot < 0 ? QByteArray("0") : tail.mid(dot + 1);
}

}  // namespace

bool xScreenSelectionOwned(const QByteArray& prefix) {
    if (QGuiApplication::platformName() != QLatin1String("xcb")) return false;
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection) return false;
    const QByteArray name = prefix + screenNumber();
    const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> atom(
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, name.size(), name.constData()), nullptr),
        &std::free);
    if (!atom) return false;
    const std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&std::free)> owner(
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, atom->atom), nullptr),
        &std::free);
    return owner && owner->owner != XCB_NONE;
}

}  // namespace tallyvane
