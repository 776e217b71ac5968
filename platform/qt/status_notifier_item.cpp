#include "platform/qt/status_notifier_item.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusServiceWatcher>
#include <QFile>
#include <QFileInfo>

#include "platform/qt/sni_adaptor.h"

namespace tallyvane {
namespace {

// The executable's file name of the connection `owner`, through the bus daemon's
// GetConnectionUnixProcessID and /proc (its comm is cut at 15 characters).
QString programOf(const QDBusConnection& bus, const QString& owner) {
    const QDBusConnectionInterface* daemon = bus.interface();
    if (owner.isEmpty() || !daemon) return {};
    const QDBusReply<uint> pid = daemon->servicePid(owner);
    if (!pid.isValid() || pid.value() == 0) return {};
    QString executable = QFile::symLinkTarget(QStringLiteral("/proc/%1/exe").arg(pid.value()));
    executable.remove(QLatin1String(" (deleted)"));  // replaced by an upgrade since it started
    return QFileInfo(executable).fileName();
}

}  // namespace

SniAdaptor::SniAdaptor(StatusNotifierItem* item) : QDBusAbstractAdaptor(item), item_(item) {}
QString SniAdaptor::id() const { return item_->id(); }
QString SniAdaptor::title() const { return item_->id(); }
QString SniAdaptor::status() const { return item_->status(); }
SniPixmaps SniAdaptor::iconPixmap() const { return item_->icon(); }
SniToolTip SniAdaptor::toolTip() const { return item_->toolTip(); }
QString SniAdaptor::label() const { return item_->label(); }
QString SniAdaptor::labelGuide() const { return item_->labelGuide(); }
void SniAdaptor::Activate(int x, int y) { item_->activate({x, y}); }
void SniAdaptor::ContextMenu(int x, int y) { Q_EMIT item_->contextMenuRequested({x, y}); }

StatusNotifierItem::StatusNotifierItem(QDBusConnection bus, const QString& id, QObject* parent)
    : QObject(parent),
      bus_(std::move(bus)),
      id_(id),
      adaptor_(nullptr),
      watcher_(new QDBusServiceWatcher(QString::fromLatin1(watcherService), bus_,
                                       QDBusServiceWatcher::WatchForOwnerChange, this)) {
    static int instances = 0;
    registerSniTypes();
    adaptor_ = new SniAdaptor(this);
    serviceName_ = QStringLiteral("org.kde.StatusNotifierItem-%1-%2")
                       .arg(QCoreApplication::applicationPid())
                       .arg(++instances);
    bus_.registerObject(QString::fromLatin1(objectPath), this, QDBusConnection::ExportAdaptors);
    bus_.registerService(serviceName_);

    connect(watcher_, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString&, const QString& newOwner) {
                followWatcher(newOwner);
                if (watcherPresent_) registerWithWatcher();
                Q_EMIT watcherChanged();
            });
    if (const auto* daemon = bus_.interface())
        followWatcher(daemon->serviceOwner(QString::fromLatin1(watcherService)).value());
    if (watcherPresent_) registerWithWatcher();
}

StatusNotifierItem::~StatusNotifierItem() {
    bus_.unregisterObject(QString::fromLatin1(objectPath));
    bus_.unregisterService(serviceName_);
}

QString StatusNotifierItem::status() const {
    return needsAttention_ ? QStringLiteral("NeedsAttention") : QStringLiteral("Active");
}

void StatusNotifierItem::setLabel(const QString& label, const QString& guide) {
    if (label == label_ && guide == labelGuide_) return;
    label_ = label;
    labelGuide_ = guide;
    Q_EMIT adaptor_->XAyatanaNewLabel(label_, labelGuide_);
}

void StatusNotifierItem::setToolTip(const QString& title, const QString& text) {
    if (title == toolTip_.title && text == toolTip_.text) return;
    toolTip_.title = title;
    toolTip_.text = text;
    Q_EMIT adaptor_->NewToolTip();
}

void StatusNotifierItem::setIcon(const QList<QImage>& sizes) {
    icon_.clear();
    for (const QImage& image : sizes) icon_.append(sniPixmap(image));
    Q_EMIT adaptor_->NewIcon();
}

void StatusNotifierItem::setNeedsAttention(bool needsAttention) {
    if (needsAttention == needsAttention_) return;
    needsAttention_ = needsAttention;
    Q_EMIT adaptor_->NewStatus(status());
}

void StatusNotifierItem::registerWithWatcher() {
    auto call = QDBusMessage::createMethodCall(QString::fromLatin1(watcherService),
                                               QStringLiteral("/StatusNotifierWatcher"),
                                               QString::fromLatin1(watcherService),
                                               QStringLiteral("RegisterStatusNotifierItem"));
    call << serviceName_;
    bus_.asyncCall(call);
}

void StatusNotifierItem::followWatcher(const QString& owner) {
    watcherPresent_ = !owner.isEmpty();
    hostProgram_ = programOf(bus_, owner);
}

}  // namespace tallyvane
