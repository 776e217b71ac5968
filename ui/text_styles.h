#pragma once
// The panel's named text styles, mapped onto the desktop's own font.
// Sizes are layout units (device-independent pixels), like every other size of the panel,
// so the text keeps its proportion to the 360-wide column.
#include <QFont>

namespace tallyvane {

enum class TextStyle { Title2, Headline, Body, Subheadline, Caption, Caption2 };

QFont textFont(TextStyle style);

// The desktop's font at a given size and weight, for the few places that name a size directly.
QFont systemFont(int pixelSize, QFont::Weight weight);

QFont withWeight(QFont font, QFont::Weight weight);

// Digits of equal width, so changing figures do not jitter.
QFont withTabularDigits(QFont font);
bool hasTabularDigits(const QFont& font);

}  // namespace tallyvane
