#include "editor/referencefile.h"

#include "cues/subtitles.h"
#include "editor/comparisonsection.h"
#include "editor/documentfile.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTextDocument>

namespace referencefile {

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("referencefile", text);
}

bool isSubtitleSuffix(const QString &suffix)
{
    for (const char *known : {"srt", "vtt", "ass", "ssa"}) {
        if (suffix == QLatin1String(known))
            return true;
    }
    return false;
}

// One line per cue: the comparison goes by words, and a cue broken over
// two lines on the screen is still one sentence.
bool readCues(const QString &fileName, QString *text, QString *error)
{
    Subtitles subtitles;
    if (!subtitles.load(fileName)) {
        *error = subtitles.errorString();
        return false;
    }
    QStringList lines;
    for (const Cue &cue : subtitles.cues())
        lines.append(QString(cue.text).replace(QLatin1Char('\n'), QLatin1Char(' ')));
    *text = lines.join(QLatin1Char('\n'));
    return true;
}

} // namespace

bool read(const QString &fileName, QString *text, QString *error)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (isSubtitleSuffix(suffix))
        return readCues(fileName, text, error);
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = tr("%1 cannot be opened.").arg(QFileInfo(fileName).fileName());
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (suffix == QLatin1String("html") || suffix == QLatin1String("htm")) {
        QTextDocument document;
        document.setHtml(documentfile::decode(bytes).text);
        *text = comparisonsection::dictationText(document);
    } else {
        *text = Subtitles::decodeText(bytes);
    }
    if (text->contains(QChar::Null)) {
        *error = tr("%1 is not a text file.").arg(QFileInfo(fileName).fileName());
        return false;
    }
    return true;
}

QString fileFilter()
{
    return tr("Texts and subtitles (*.txt *.html *.htm *.srt *.vtt *.ass *.ssa);;All Files (*)");
}

} // namespace referencefile
