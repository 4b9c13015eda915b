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

// Bytes of a file's start that decide its kind: what QMimeDatabase itself
// reads to match content. Nothing after them is read, however big the file.
inline constexpr qint64 headSize = 16 * 1024;

// Reads at most headSize bytes of the file. An empty or unreadable file,
// and one whose content says nothing, is known by its name.
Kind of(const QString &path);

// The local files among dropped or handed-over URLs, in their order.
QStringList localFiles(const QList<QUrl> &urls);

} // namespace filekind
