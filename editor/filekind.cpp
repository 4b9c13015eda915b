#include "editor/filekind.h"

#include <QFileInfo>
#include <QMimeDatabase>
#include <QStringList>
#include <QUrl>

namespace filekind {

Kind of(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isFile())
        return Kind::Missing;
    // Content first: the magic numbers of audio and video containers, and
    // the text test for documents. Only where the content says nothing
    // (application/octet-stream) does the name decide.
    static const QMimeDatabase database;
    QMimeType type = database.mimeTypeForFile(info, QMimeDatabase::MatchContent);
    if (type.isDefault())
        type = database.mimeTypeForFile(info, QMimeDatabase::MatchDefault);
    const bool document = type.inherits(QStringLiteral("text/plain"))
        || type.inherits(QStringLiteral("text/html"))
        || type.inherits(QStringLiteral("application/vnd.oasis.opendocument.text"));
    return document ? Kind::Document : Kind::Media;
}

QStringList localFiles(const QList<QUrl> &urls)
{
    QStringList files;
    for (const QUrl &url : urls) {
        if (url.isLocalFile())
            files.append(url.toLocalFile());
    }
    return files;
}

} // namespace filekind
