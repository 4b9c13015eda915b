#include "editor/documentfile.h"

#include <QBuffer>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <QTextCodec>
#include <QTextDocument>
#include <QTextDocumentWriter>

namespace documentfile {

namespace {

bool isValidUtf8(const QByteArray &bytes)
{
    // Stateless: a sequence cut off at the end counts as invalid too.
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    // decode() converts only once its result is taken as a string.
    const QString text = decoder.decode(bytes);
    return !decoder.hasError();
}

bool writable(const QFileInfo &info)
{
    constexpr QFileDevice::Permissions anyWrite =
        QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    return info.isWritable() && (info.permissions() & anyWrite);
}

} // namespace

Decoded decode(const QByteArray &bytes)
{
    // A browser falls back to Latin-1 when nothing names the encoding. Bytes
    // that form valid UTF-8 are UTF-8 in practice, though: read as Latin-1,
    // Chinese or accented text would be garbled, and garbled for good once
    // the document is saved again.
    QTextCodec *fallback = QTextCodec::codecForName(isValidUtf8(bytes) ? "UTF-8" : "ISO-8859-1");
    QTextCodec *codec = QTextCodec::codecForHtml(bytes, fallback);
    const QString text = codec->toUnicode(bytes);
    if (Qt::mightBeRichText(text))
        return {text, true};
    // A byte-order mark names the encoding of plain text too.
    QTextCodec *plain = QTextCodec::codecForUtfText(bytes, QTextCodec::codecForLocale());
    return {plain->toUnicode(bytes), false};
}

bool mayBeText(const QByteArray &head)
{
    // The head may end inside a UTF-8 sequence; the decoding falls back to
    // Latin-1 then, which turns no other byte into a NUL.
    return !decode(head).text.contains(QChar::Null);
}

bool isWritable(const QString &fileName)
{
    const QFileInfo file(fileName);
    const QFileInfo folder(file.absolutePath());
    if (!folder.isDir() || !writable(folder))
        return false;
    return !file.exists() || writable(file);
}

QByteArray writerFormat(const QString &fileName)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == QLatin1String("txt"))
        return "plaintext";
    if (suffix == QLatin1String("odt"))
        return "odf";
    if (suffix == QLatin1String("htm") || suffix == QLatin1String("html"))
        return "html";
    return {};
}

bool write(const QTextDocument &document, const QString &fileName)
{
    const QByteArray format = writerFormat(fileName);
    if (format.isEmpty() || !isWritable(fileName))
        return false;
    // The writers close the device they are given, which a QSaveFile does
    // not allow, so the document is written to memory first.
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    // The HTML writer always encodes as UTF-8 and says so in its header.
    QTextDocumentWriter writer(&buffer, format);
    if (!writer.write(&document))
        return false;
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(buffer.data()) != buffer.data().size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

QString saveAsName(const QString &chosen)
{
    static const char *const writable[] = {".txt", ".odt", ".htm", ".html"};
    for (const char *suffix : writable) {
        if (chosen.endsWith(QLatin1String(suffix), Qt::CaseInsensitive))
            return chosen;
    }
    return chosen + QLatin1String(".html");
}

QString pdfName(const QString &chosen)
{
    if (QFileInfo(chosen).suffix().isEmpty())
        return chosen + QLatin1String(".pdf");
    return chosen;
}

} // namespace documentfile
