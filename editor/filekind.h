#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class QUrl;

// Whether a file goes to the editor or to the player, decided by what the
// file holds rather than by its name: a lesson saved as "notes.mp4.html"
// is a document, a recording without a suffix is media.
namespace filekind {

enum class Kind {
    Missing,  // no such file, or a folder
    Document, // text, HTML or OpenDocument text: the editor's
    Media,    // anything else: the player tries to play it
};

Kind of(const QString &path);

// The local files among dropped or handed-over URLs, in their order.
QStringList localFiles(const QList<QUrl> &urls);

} // namespace filekind
