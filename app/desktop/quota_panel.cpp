#include "app/desktop/quota_panel.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QVBoxLayout>

#include "app/panel_geometry.h"
#include "platform/qt/compositor.h"

namespace tallyvane {
namespace {

// A tray host sends Activate on the press or its release, a few hundred milliseconds at most.
constexpr qint64 closingPressMs = 400;

// Wayland lets no program grab the keyboard and pointer, and a parentless popup becomes an ordinary
// window that a tiling compositor stretches over the screen. Under an XWayland that publishes no
// work area (sway) a popup gets no keyboard focus and sees no click on the compositor's own
// surfaces. There the panel is a window of fixed size, which such compositors float, given the
// focus, and closed when it loses it.
bool popupUnusable() {
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) return true;
    const QScreen* screen = QGuiApplication::primaryScreen();
    return throughXWayland() && screen && screen->availableGeometry() == screen->geometry();
}

Qt::WindowFlags panelFlags() {
    const Qt::WindowFlags common = Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::NoDropShadowWindowHint;
    return common | (popupUnusable() ? Qt::Tool : Qt::Popup);
}

QRegion roundedRegion(const QRect& rect, int radius) {
    QPainterPath path;
    path.addRoundedRect(QRectF(rect), radius, radius);
    return QRegion(path.toFillPolygon().toPolygon());
}

}  // namespace

QuotaPanel::QuotaPanel(QWidget* content, QWidget* parent)
    : QWidget(parent, panelFlags()), content_(content) {
    setWindowTitle(QStringLiteral("Tallyvane"));
    setObjectName(QStringLiteral("quotaPanel"));
    setAttribute(Qt::WA_TranslucentBackground);
    // The click that closes the panel goes nowhere, like a menu's.
    setAttribute(Qt::WA_NoMouseReplay);
    resize(int(panelMaxWidth), int(panelMaxHeight));
    if (popupUnusable()) setFixedSize(size());
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(content_);
}

void QuotaPanel::present() {
    show();
    raise();
    activateWindow();
}

void QuotaPanel::dismiss() {
    if (!isVisible()) return;
    closingPress_.start();
    hide();
}

bool QuotaPanel::takeClosingPress() {
    const bool closing = closingPress_.isValid() && closingPress_.elapsed() < closingPressMs;
    closingPress_.invalidate();
    return closing;
}

void QuotaPanel::showEvent(QShowEvent* event) {
    closingPress_.invalidate();
    hadFocus_ = windowType() == Qt::Popup;  // a popup holds the keyboard from the start
    composited_ = compositorActive();
    shape();
    QWidget::showEvent(event);
}

void QuotaPanel::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) hadFocus_ = true;
    QWidget::changeEvent(event);
}

// Qt hands a popup the presses outside it too, and closes it on them.
void QuotaPanel::mousePressEvent(QMouseEvent* event) {
    if (!rect().contains(event->position().toPoint())) closingPress_.start();
    QWidget::mousePressEvent(event);
}

void QuotaPanel::resizeEvent(QResizeEvent* event) {
    shape();
    QWidget::resizeEvent(event);
}

// Without a compositor the corners are cut from the window itself; either way the content is
// clipped to the same outline.
void QuotaPanel::shape() {
    const QRegion rounded = roundedRegion(rect(), cornerRadius);
    if (composited_) clearMask();
    else setMask(rounded);
    content_->setMask(rounded);
}

void QuotaPanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor fill = palette().color(QPalette::Window);
    if (composited_) fill.setAlphaF(0.92f);
    QColor edge = palette().color(QPalette::WindowText);
    edge.setAlphaF(0.18f);
    painter.setPen(QPen(edge, 1));
    painter.setBrush(fill);
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), cornerRadius, cornerRadius);
}

void QuotaPanel::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        hide();
        return;
    }
    QWidget::keyPressEvent(event);
}

}  // namespace tallyvane
