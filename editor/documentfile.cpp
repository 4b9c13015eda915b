#include "editor/documentfile.h"

#include <QBuffer>
#include <QFileInfo>
#include <QSaveFile>
#include <QTextCodec>
#include <QTextDocument>
#include <QTextDocumentWriter>

namespace documentfile {

Decoded decode(const QByteArray &bytes)
{
    QTextCodec *latin1 = QTextCodec::codecForName("ISO-8859-1");
    QTextCodec *codec = QTextCodec::codecForHtml(bytes, latin1);
    const QString text = codec->toUnicode(bytes);
    if (Qt::mightBeRichText(text))
        return {text, true};
    return {QTextCodec::codecForLocale()->toUnicode(bytes), false};
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
    if (format.isEmpty())
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
