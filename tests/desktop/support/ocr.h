#pragma once
// What tesseract reads as a number. Like a person, it looks at the coloured digits that stand out from the bar: each
// image, enlarged smoothly, keeps in black the pixels of its commonest saturated hue that reach 2:1 against the bar
// (its top-left pixel), cut to them and 58 px tall in a white frame. One tesseract run reads them all.
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>

namespace tallyvane::testing {

// WCAG 2 contrast ratio.
inline double contrast(QRgb a, QRgb b) {
    const auto luminance = [](QRgb rgb) {
        const auto linear = [](int c) { return c <= 10 ? c / 255.0 / 12.92 : std::pow((c / 255.0 + 0.055) / 1.055, 2.4); };
        return 0.2126 * linear(qRed(rgb)) + 0.7152 * linear(qGreen(rgb)) + 0.0722 * linear(qBlue(rgb));
    };
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// One text per image, in order, read in a page mode of tesseract's (6: a block, 7: a line, 13: a raw line); empty
// when tesseract does not run.
inline QStringList ocrDigits(const QList<QImage>& images, const char* pageMode = "7") {
    QTemporaryDir dir;
    QFile list(dir.filePath("images.txt"));
    if (!list.open(QIODevice::WriteOnly)) return {};
    for (const QImage& image : images) {
        const QImage large = image.convertToFormat(QImage::Format_RGB32).scaledToHeight(192, Qt::SmoothTransformation);
        QList<QPoint> coloured;
        int hues[36] = {};
        for (int y = 0; y < large.height(); ++y)
            for (int x = 0; x < large.width(); ++x)
                if (const QColor c = large.pixelColor(x, y); c.hsvSaturation() > 90 && contrast(c.rgb(), image.pixel(0, 0)) >= 2)
                    coloured.append({x, y}), ++hues[c.hsvHue() / 10];
        const int hue = int(std::max_element(hues, hues + 36) - hues) * 10 + 5;
        QImage ink(large.size(), QImage::Format_Grayscale8);
        ink.fill(255);
        QRect inked;
        for (QPoint p : coloured)
            if (std::abs((large.pixelColor(p).hsvHue() - hue + 540) % 360 - 180) <= 25) ink.setPixel(p, 0), inked |= QRect(p, p);
        const QImage line = ink.copy(inked).scaledToHeight(58, Qt::SmoothTransformation);
        QImage framed(line.width() + 80, 138, QImage::Format_Grayscale8);
        framed.fill(255);
        QPainter(&framed).drawImage(40, 40, line);
        const QString name = dir.filePath(QString::number(list.pos()) + ".png");
        if (!framed.save(name) || list.write(name.toUtf8() + '\n') < 0) return {};
    }
    list.close();
    QProcess tesseract;
    tesseract.start("tesseract", {list.fileName(), "stdout", "--psm", pageMode, "-c", "tessedit_char_whitelist=0123456789"});
    if (!tesseract.waitForFinished(120000) || tesseract.exitCode() != 0) return {};
    QStringList texts;
    for (const QByteArray& page : tesseract.readAllStandardOutput().split('\f'))
        if (texts.size() < images.size()) texts.append(QString::fromUtf8(page).simplified().remove(' '));
    return texts;
}

}  // namespace tallyvane::testing
