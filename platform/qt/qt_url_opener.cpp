#include "platform/qt/qt_url_opener.h"

#include <QDesktopServices>
#include <QUrl>

namespace tallyvane {

bool QtUrlOpener::open(const std::string& urlOrPath) {
    const QString text = QString::fromStdString(urlOrPath);
    const QUrl url = text.startsWith(u'/') ? QUrl::fromLocalFile(text) : QUrl(text);
    return url.isValid() && QDesktopServices::openUrl(url);
}

}  // namespace tallyvane
