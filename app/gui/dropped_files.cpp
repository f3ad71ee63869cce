#include "app/gui/dropped_files.h"

#include <QDir>
#include <QMimeData>
#include <QStringList>
#include <QUrl>

namespace iploc {
namespace {

QStringList LocalPaths(const QMimeData& data) {
    QStringList paths;
    if (!data.hasUrls()) return paths;
    for (const QUrl& url : data.urls()) {
        if (url.isLocalFile() && !url.toLocalFile().isEmpty())
            paths.push_back(QDir::toNativeSeparators(url.toLocalFile()));
    }
    return paths;
}

} // namespace

bool HoldsLocalFiles(const QMimeData& data) {
    return !LocalPaths(data).isEmpty();
}

std::optional<QString> DroppedFilesText(const QMimeData& data) {
    const QStringList paths = LocalPaths(data);
    if (paths.isEmpty()) return std::nullopt;
    if (paths.size() == 1) return paths.front();
    QString text;
    for (const QString& path : paths)
        text += path + QStringLiteral("\r\n");
    return text;
}

} // namespace iploc
