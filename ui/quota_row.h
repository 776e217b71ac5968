#pragma once
// One quota window: its name and consumed share, a bar in the usage colour, and what
// remains with the reset time. The view reuses a row for as long as its window id lasts.
#include <QWidget>

#include "model/quota_window.h"

class QLabel;

namespace tallyvane {

class UsageBar;

class QuotaRow final : public QWidget {
public:
    explicit QuotaRow(QWidget* parent = nullptr);
    void display(const QuotaWindow& window);
    void applyStyle();
    const std::string& windowId() const { return id_; }

private:
    std::string id_;
    QLabel* name_;
    QLabel* used_;
    UsageBar* bar_;
    QLabel* remaining_;
    QLabel* reset_;
};

}  // namespace tallyvane
