#include "editor/referencefile.h"

#include "editor/comparisonsection.h"
#include "editor/documentfile.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTextCodec>
#include <QTextDocument>

extern "C" {
#include <libavformat/avformat.h>
}

#include <algorithm>
#include <memory>
#include <vector>

namespace referencefile {

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("referencefile", text);
}

struct InputClose {
    void operator()(AVFormatContext *context) const { avformat_close_input(&context); }
};
struct PacketFree {
    void operator()(AVPacket *packet) const { av_packet_free(&packet); }
};

bool isValidUtf8(const QByteArray &bytes)
{
    QTextCodec::ConverterState state;
    (void)QTextCodec::codecForName("UTF-8")->toUnicode(bytes.constData(), int(bytes.size()), &state);
    return state.invalidChars == 0 && state.remainingChars == 0;
}

// Markup that subtitles carry inside a cue: HTML-like tags (<i>, <font>,
// WebVTT's <v Name>, <c.loud>, time tags) and ASS override blocks.
QString plainCueText(const QString &cue)
{
    static const QRegularExpression tags(QStringLiteral("<[^>]*>|\\{\\\\[^}]*\\}"));
    QString text = cue;
    text.remove(tags);
    text.replace(QLatin1String("&lt;"), QLatin1String("<"));
    text.replace(QLatin1String("&gt;"), QLatin1String(">"));
    text.replace(QLatin1String("&nbsp;"), QLatin1String(" "));
    text.remove(QLatin1String("&lrm;"));
    text.remove(QLatin1String("&rlm;"));
    text.replace(QLatin1String("&amp;"), QLatin1String("&"));
    // ASS writes its line breaks as \N or \n.
    text.replace(QLatin1String("\\N"), QLatin1String(" "));
    return text.simplified();
}

struct Cue
{
    int64_t start = 0; // ticks of the stream's time base
    QByteArray text;
};

} // namespace

bool readCues(const QString &fileName, QStringList *cues, QString *error)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    // The probe is strict with subtitles, so the demuxer is named.
    const AVInputFormat *format =
        av_find_input_format(suffix == QLatin1String("vtt") ? "webvtt" : "srt");
    AVFormatContext *opened = nullptr;
    // "file:" keeps a colon in the name from reading as a protocol.
    const QByteArray url = "file:" + QFile::encodeName(QFileInfo(fileName).absoluteFilePath());
    if (avformat_open_input(&opened, url.constData(), format, nullptr) < 0) {
        *error = tr("%1 cannot be read as subtitles.").arg(QFileInfo(fileName).fileName());
        return false;
    }
    const std::unique_ptr<AVFormatContext, InputClose> input(opened);
    const int stream = av_find_best_stream(input.get(), AVMEDIA_TYPE_SUBTITLE, -1, -1, nullptr, 0);
    std::vector<Cue> found;
    if (stream >= 0) {
        const std::unique_ptr<AVPacket, PacketFree> packet(av_packet_alloc());
        while (packet && av_read_frame(input.get(), packet.get()) >= 0) {
            if (packet->stream_index == stream && packet->size > 0) {
                found.push_back({packet->pts, QByteArray(reinterpret_cast<const char *>(packet->data),
                                                         packet->size)});
            }
            av_packet_unref(packet.get());
        }
    }
    // The demuxers sort their cues already; a stable sort keeps that order
    // for cues that start together whatever a demuxer does.
    std::stable_sort(found.begin(), found.end(),
                     [](const Cue &a, const Cue &b) { return a.start < b.start; });

    QByteArray all;
    for (const Cue &cue : found)
        all += cue.text;
    QTextCodec *codec = isValidUtf8(all) ? QTextCodec::codecForName("UTF-8") : QTextCodec::codecForLocale();
    cues->clear();
    for (const Cue &cue : found) {
        const QString text = plainCueText(codec->toUnicode(cue.text));
        if (!text.isEmpty())
            cues->append(text);
    }
    if (cues->isEmpty()) {
        *error = tr("%1 holds no subtitles.").arg(QFileInfo(fileName).fileName());
        return false;
    }
    return true;
}

bool read(const QString &fileName, QString *text, QString *error)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == QLatin1String("srt") || suffix == QLatin1String("vtt")) {
        QStringList cues;
        if (!readCues(fileName, &cues, error))
            return false;
        *text = cues.join(QLatin1Char('\n'));
        return true;
    }
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
        QTextCodec *fallback = isValidUtf8(bytes) ? QTextCodec::codecForName("UTF-8") : QTextCodec::codecForLocale();
        *text = QTextCodec::codecForUtfText(bytes, fallback)->toUnicode(bytes);
    }
    if (text->contains(QChar::Null)) {
        *error = tr("%1 is not a text file.").arg(QFileInfo(fileName).fileName());
        return false;
    }
    return true;
}

QString fileFilter()
{
    return tr("Texts and subtitles (*.txt *.html *.htm *.srt *.vtt);;All Files (*)");
}

} // namespace referencefile
