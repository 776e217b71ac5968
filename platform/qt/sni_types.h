#pragma once
// The structured values of the StatusNotifierItem D-Bus interface.
#include <QByteArray>
#include <QDBusArgument>
#include <QImage>
#include <QList>
#include <QMetaType>
#include <QString>

namespace tallyvane {

// One icon size: "(iiay)", ARGB32 pixels in network byte order.
struct SniPixmap {
    int width = 0;
    int height = 0;
    QByteArray argb;
};
using SniPixmaps = QList<SniPixmap>;

// "(sa(iiay)ss)": icon name, icon pixmaps, title, body text.
struct SniToolTip {
    QString iconName;
    SniPixmaps icon;
    QString title;
    QString text;
};

SniPixmap sniPixmap(const QImage& image);
QImage sniImage(const SniPixmap& pixmap);

// Makes the types above known to QtDBus; call before exporting or reading them.
void registerSniTypes();

QDBusArgument& operator<<(QDBusArgument& argument, const SniPixmap& pixmap);
const QDBusArgument& operator>>(const QDBusArgument& argument, SniPixmap& pixmap);
QDBusArgument& operator<<(QDBusArgument& argument, const SniToolTip& toolTip);
const QDBusArgument& operator>>(const QDBusArgument& argument, SniToolTip& toolTip);

}  // namespace tallyvane

Q_DECLARE_METATYPE(tallyvane::SniPixmap)
Q_DECLARE_METATYPE(tallyvane::SniToolTip)
