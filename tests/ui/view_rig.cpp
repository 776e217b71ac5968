#include "tests/ui/view_rig.h"

#include <QApplication>
#include <QDir>
#include <QLayout>
#include <QPainter>
#include <QPixmap>

namespace tallyvane::testing {

std::string windowsAt(const std::vector<double>& percentages) {
    std::string limits;
    for (std::size_t index = 0; index < percentages.size(); ++index) {
        if (!limits.empty()) limits += ",";
        // Zero-padded limit ids keep the parser's sorted order equal to the given order.
        const std::string id = (index < 10 ? "lim0" : "lim") + std::to_string(index);
        limits += "\"" + id + R"(":{"limitName":"Palier )" + std::to_string(index + 1) +
                  R"(","primary":{"usedPercent":)" + std::to_string(percentages[index]) +
                  R"(,"windowDurationMins":300)" + (index == 0 ? R"(,"resetsAt":1796600000)" : "") + "}}";
    }
    return R"({"rateLimitsByLimitId":{)" + limits + "}}";
}

ViewRig::ViewRig() {
    view = std::make_unique<QuotaView>(rig.model, history, [this] { ++quits; }, [this] { ++codexOpenings; });
    view->resize(360, 400);
    view->show();
    settle();
}

ViewRig::~ViewRig() { view.reset(); }

void ViewRig::settle() {
    for (int round = 0; round < 4; ++round) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

QString ViewRig::text(const char* objectName) const {
    auto* label = find<QLabel>(objectName);
    return label ? label->text() : QStringLiteral("<missing %1>").arg(QString::fromLatin1(objectName));
}

bool ViewRig::shown(const char* objectName) const {
    auto* widget = find(objectName);
    return widget && widget->isVisibleTo(view.get());
}

std::vector<QWidget*> ViewRig::columnWidgets() const {
    std::vector<QWidget*> widgets;
    QLayout* column = find("column")->layout();
    for (int index = 0; index < column->count(); ++index)
        if (QWidget* widget = column->itemAt(index)->widget(); widget && !widget->isHidden()) widgets.push_back(widget);
    return widgets;
}

std::vector<std::string> ViewRig::columnOrder() const {
    std::vector<std::string> names;
    for (QWidget* widget : columnWidgets()) names.push_back(widget->objectName().toStdString());
    return names;
}

std::vector<QWidget*> ViewRig::rows() const {
    std::vector<QWidget*> rows;
    for (QWidget* widget : columnWidgets())
        if (widget->objectName() == QLatin1String("quotaRow")) rows.push_back(widget);
    return rows;
}

void ViewRig::savePng(const std::string& name) const {
    QDir().mkpath(QStringLiteral(TALLYVANE_UI_PNG_DIR));
    QPixmap panel(view->size() * view->devicePixelRatioF());
    panel.setDevicePixelRatio(view->devicePixelRatioF());
    panel.fill(view->palette().color(QPalette::Window));
    QPainter painter(&panel);
    view->render(&painter, QPoint(), QRegion(), QWidget::DrawChildren);
    painter.end();
    panel.save(QStringLiteral(TALLYVANE_UI_PNG_DIR "/") + QString::fromStdString(name) + QStringLiteral(".png"));
}

}  // namespace tallyvane::testing
