#pragma once
// A label for text from the model or our own literals: shown as written, never as rich text,
// and named so tests can find it.
#include <QLabel>
#include <QString>

namespace tallyvane {

inline QLabel* plainLabel(const char* objectName, const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(objectName));
    label->setTextFormat(Qt::PlainText);
    return label;
}

}  // namespace tallyvane
