#pragma once

#include <QByteArray>
#include <QString>

class QTextDocument;

// How the editor turns files into documents and documents into files.
namespace documentfile {

struct Decoded
{
    QString text;
    bool rich = false; // text is HTML; otherwise plain text
};

// Decodes file bytes as a browser would (byte-order mark or charset
// declaration, else UTF-8 when the bytes are valid UTF-8 and Latin-1 when
// not); text that does not look like rich text is decoded again, with the
// encoding its byte-order mark names or else the local 8-bit encoding, and
// returned as plain text.
Decoded decode(const QByteArray &bytes);

// Whether a file that starts with head can be a document: decoded as
// decode() would, its first characters hold no NUL, which text never has
// and every media container and zip package (OpenDocument) has early on.
bool mayBeText(const QByteArray &head);

// The document writer's format for a file name, chosen by its suffix
// without regard to case: "plaintext", "odf" or "html"; empty for any
// other suffix, which the editor cannot write.
QByteArray writerFormat(const QString &fileName);

// Whether a save may put a file under this name: its folder exists and may
// be written, and so may the file if it is there. A file or folder without
// any write permission bit counts as read-only even to the superuser, whom
// permissions do not stop: an installed program's files are not the
// user's to change.
bool isWritable(const QString &fileName);

// Writes the document in the format of the name's suffix. The data goes to
// a temporary file that replaces the target only once it is complete, so a
// failed write leaves an earlier file intact. False, writing nothing, where
// isWritable() is false.
bool write(const QTextDocument &document, const QString &fileName);

// The name a "Save as" choice is saved under: names that end in none of
// the writable suffixes get ".html" appended.
QString saveAsName(const QString &chosen);

// The PDF export name: a name without a suffix gets ".pdf" appended.
QString pdfName(const QString &chosen);

} // namespace documentfile
