#pragma once
// A QuotaView shown offscreen over a model driven by the fakes, with helpers to read what it shows.
#include <memory>
#include <string>
#include <vector>

#include <QLabel>
#include <QString>
#include <QWidget>

#include "tests/support/fakes.h"
#include "ui/quota_view.h"

namespace tallyvane::testing {

// Payloads of the rate-limit answer.
inline const std::string twoWindows =
    R"({"rateLimits":{"primary":{"usedPercent":42,"windowDurationMins":300,"resetsAt":1796600000},)"
    R"("secondary":{"usedPercent":5,"windowDurationMins":10080,"resetsAt":1797000000}}})";
inline const std::string tokenResult =
    R"({"summary":{"lifetimeTokens":123456789},"dailyUsageBuckets":[{"startDate":"2026-12-05","tokens":1500000}]})";

// A payload with one limit per percentage, in the given order; every window lasts 5 hours and
// only the first one carries a reset time.
std::string windowsAt(const std::vector<double>& percentages);

class ViewRig {
public:
    ViewRig();
    ~ViewRig();

    ModelRig rig;
    std::shared_ptr<HistorySnapshot> history = std::make_shared<HistorySnapshot>();
    int quits = 0;
    int codexOpenings = 0;
    std::unique_ptr<QuotaView> view;

    // Delivers the view's queued redraw and lays everything out.
    void settle();

    template <typename T = QWidget>
    T* find(const char* objectName) const {
        return view->findChild<T*>(QString::fromLatin1(objectName));
    }
    QString text(const char* objectName) const;
    // Whether the widget would be on screen with the view: not hidden, nor inside a hidden parent.
    bool shown(const char* objectName) const;
    // The column's children that take room, top to bottom, by object name.
    std::vector<std::string> columnOrder() const;
    std::vector<QWidget*> columnWidgets() const;
    std::vector<QWidget*> rows() const;
    // Writes the view as the panel shows it over its backdrop, to the test PNG folder.
    void savePng(const std::string& name) const;
};

}  // namespace tallyvane::testing
