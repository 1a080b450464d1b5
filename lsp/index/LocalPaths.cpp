#include "index/LocalPaths.h"

#include <QDir>
#include <QFile>
#include <QUrl>

namespace kestrel::lsp {

bool IsUnder(std::string_view path, std::string_view folder) {
    while (folder.size() > 1 && folder.ends_with('/')) {
        folder.remove_suffix(1);
    }
    if (!path.starts_with(folder)) {
        return false;
    }
    return path.size() == folder.size() || folder == "/" || path[folder.size()] == '/';
}

std::string LocalPath(const QString& uri) {
    const QUrl url(uri);
    if (!url.isValid() || !url.isLocalFile()) {
        return {};
    }
    return QFile::encodeName(QDir::cleanPath(url.toLocalFile())).toStdString();
}

std::string FileUri(const std::string& path) {
    return QUrl::fromLocalFile(QFile::decodeName(QByteArray::fromStdString(path)))
        .toEncoded()
        .toStdString();
}

} // namespace kestrel::lsp
