#include "editor/filekind.h"

#include <QFile>
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
    // (application/octet-stream, or no bytes at all) does the name decide.
    // The head is read here rather than by the database, so that the bound
    // is ours and not an implementation detail.
    static const QMimeDatabase database;
    QFile file(info.filePath());
    const QByteArray head = file.open(QIODevice::ReadOnly) ? file.read(headSize) : QByteArray();
    QMimeType type = database.mimeTypeForData(head);
    if (type.isDefault() || head.isEmpty())
        type = database.mimeTypeForFile(info, QMimeDatabase::MatchExtension);
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
