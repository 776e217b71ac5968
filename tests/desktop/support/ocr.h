#pragma once
// What tesseract reads as one line of digits. It sees what stands out from the bar, the way a person looks closer:
// each image enlarged smoothly to 96 px tall, every pixel that reaches 2:1 against the bar (the top-left pixel's
// colour) in black, the rest white, framed. One tesseract run reads them all.
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>

namespace tallyvane::testing {

// WCAG 2 relative luminance, and the contrast ratio of two colours.
inline double luminance(QRgb rgb) {
    const auto linear = [](double c) { return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
    return 0.2126 * linear(qRed(rgb) / 255.0) + 0.7152 * linear(qGreen(rgb) / 255.0) + 0.0722 * linear(qBlue(rgb) / 255.0);
}
inline double contrast(QRgb a, QRgb b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// One text per image, in order, read in the given page mode (6: a block, 7: one line, 13: a raw line); empty when tesseract
// does not run.
inline QStringList ocrDigits(const QList<QImage>& images, const char* pageMode = "7") {
    QTemporaryDir dir;
    QStringList list;
    for (const QImage& image : images) {
        const QImage large = image.convertToFormat(QImage::Format_RGB32).scaledToHeight(192, Qt::SmoothTransformation);
        int hues[36] = {};  // the number's colour: the commonest hue among the coloured pixels
        for (int p = 0; p < large.width() * large.height(); ++p)
            if (const QColor c = large.pixelColor(p % large.width(), p / large.width()); c.hsvSaturation() > 90)
                ++hues[c.hsvHue() / 10];
        const int hue = int(std::max_element(hues, hues + 36) - hues) * 10 + 5;
        QImage ink(large.size(), QImage::Format_Grayscale8);
        ink.fill(255);
        QRect inked;
        for (int y = 0; y < large.height(); ++y)
            for (int x = 0; x < large.width(); ++x)
                if (const QColor c = large.pixelColor(x, y); c.hsvSaturation() > 90 && std::abs((c.hsvHue() - hue + 540) % 360 - 180) <= 25 &&
                                                             contrast(c.rgb(), image.pixel(0, 0)) >= 2)
                    ink.setPixel(x, y, 0), inked |= QRect(x, y, 1, 1);
        const QImage line = ink.copy(inked).scaledToHeight(58, Qt::SmoothTransformation);
        QImage framed(line.width() + 80, line.height() + 80, QImage::Format_Grayscale8);
        framed.fill(255);
        QPainter(&framed).drawImage(40, 40, line);
        list.append(dir.filePath(QString::number(list.size()) + ".png"));
        framed.save(list.back());
    }
    QFile listFile(dir.filePath("images.txt"));
    if (!listFile.open(QIODevice::WriteOnly) || listFile.write(list.join('\n').toUtf8() + '\n') < 0) return {};
    listFile.close();
    QProcess tesseract;
    tesseract.start("tesseract", {listFile.fileName(), "stdout", "--psm", pageMode, "-c", "tessedit_char_whitelist=0123456789"});
    if (!tesseract.waitForFinished(120000) || tesseract.exitCode() != 0) return {};
    QStringList texts;
    for (const QByteArray& page : tesseract.readAllStandardOutput().split('\f'))
        if (texts.size() < images.size()) texts.append(QString::fromUtf8(page).simplified().remove(' '));
    return texts;
}

}  // namespace tallyvane::testing
