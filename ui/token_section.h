#pragma once
// The token counts Codex reports: the latest day's figure with its date, the lifetime total,
// a fixed note on what they mean and the last token error.
#include <QWidget>

class QLabel;

namespace tallyvane {

class UsageModel;

class TokenSection final : public QWidget {
public:
    explicit TokenSection(QWidget* parent = nullptr);
    void display(const UsageModel& model);
    void applyStyle();

private:
    QLabel* heading_;
    QLabel* figure_;
    QLabel* day_;
    QLabel* lifetimeCaption_;
    QLabel* lifetime_;
    QLabel* note_;
    QLabel* error_;
};

}  // namespace tallyvane
