#include "cues/subtitles.h"

#include "media/avpointers.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/mem.h>
}

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>

#include <algorithm>

Q_LOGGING_CATEGORY(lcSubtitles, "vantiro.subtitles", QtInfoMsg)

namespace {

// Longest subtitle file read: far beyond any real one, but it keeps a huge
// file chosen by mistake from filling the memory.
constexpr qint64 maxFileBytes = 32 * 1024 * 1024;
// A cue that says nothing about its length stays up this long at most.
constexpr int64_t defaultCueMs = 3000;

// The text, recoded to UTF-8, is handed to the demuxer from memory, so that
// every demuxer sees the same clean input whatever the file's encoding.
struct MemoryInput {
    QByteArray data;
    qint64 pos = 0;

    static int read(void *opaque, uint8_t *buffer, int size)
    {
        auto *in = static_cast<MemoryInput *>(opaque);
        const qint64 left = in->data.size() - in->pos;
        if (left <= 0)
            return AVERROR_EOF;
        const int n = int(std::min<qint64>(left, size));
        memcpy(buffer, in->data.constData() + in->pos, size_t(n));
        in->pos += n;
        return n;
    }

    static int64_t seek(void *opaque, int64_t offset, int whence)
    {
        auto *in = static_cast<MemoryInput *>(opaque);
        switch (whence & ~AVSEEK_FORCE) {
        case AVSEEK_SIZE: return in->data.size();
        case SEEK_SET: in->pos = offset; break;
        case SEEK_CUR: in->pos += offset; break;
        case SEEK_END: in->pos = in->data.size() + offset; break;
        default: return -1;
        }
        in->pos = std::clamp<qint64>(in->pos, 0, in->data.size());
        return in->pos;
    }
};

struct IoFree {
    void operator()(AVIOContext *io) const
    {
        if (io)
            av_freep(&io->buffer);
        avio_context_free(&io);
    }
};
using IoPtr = std::unique_ptr<AVIOContext, IoFree>;

// The detector is strict about what a subtitle file must start with; the
// extension names the demuxer instead.
const AVInputFormat *formatForSuffix(const QString &suffix)
{
    const QString s = suffix.toLower();
    if (s == QLatin1String("srt"))
        return av_find_input_format("srt");
    if (s == QLatin1String("vtt"))
        return av_find_input_format("webvtt");
    if (s == QLatin1String("ass") || s == QLatin1String("ssa"))
        return av_find_input_format("ass");
    return nullptr;
}

bool isTextSubtitle(const AVStream *stream)
{
    if (stream->codecpar->codec_type != AVMEDIA_TYPE_SUBTITLE)
        return false;
    const AVCodecDescriptor *d = avcodec_descriptor_get(stream->codecpar->codec_id);
    return d && (d->props & AV_CODEC_PROP_TEXT_SUB);
}

bool looksBinary(const QByteArray &bytes)
{
    // UTF-16 text has NUL bytes too, but it starts with its byte-order mark.
    if (bytes.startsWith("\xff\xfe") || bytes.startsWith("\xfe\xff"))
        return false;
    return bytes.left(4096).contains('\0');
}

} // namespace

QStringList Subtitles::cueTexts() const
{
    QStringList texts;
    texts.reserve(m_cues.size());
    for (const Cue &cue : m_cues)
        texts.append(cue.text);
    return texts;
}

QString Subtitles::fileFilter()
{
    return tr("Subtitles (*.srt *.vtt *.ass *.ssa)");
}

bool Subtitles::load(const QString &path)
{
    m_cues.clear();
    m_broken = 0;
    m_error.clear();
    m_encoding.clear();
    const QString shown = QDir::toNativeSeparators(path);

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_error = tr("Cannot read %1:\n%2.").arg(shown, file.errorString());
        return false;
    }
    if (file.size() > maxFileBytes) {
        m_error = tr("%1 is too large to be a subtitle file.").arg(shown);
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (looksBinary(bytes)) {
        m_error = tr("%1 is not a subtitle file.").arg(shown);
        return false;
    }

    auto input = std::make_unique<MemoryInput>();
    QString text = decodeText(bytes, &m_encoding);
    if (text.startsWith(QLatin1String("WEBVTT")))
        text = withoutWebVttBlocks(text, &m_broken);
    input->data = text.toUtf8();
    constexpr int bufferSize = 64 * 1024;
    auto *buffer = static_cast<unsigned char *>(av_malloc(bufferSize));
    IoPtr io(buffer ? avio_alloc_context(buffer, bufferSize, 0, input.get(), &MemoryInput::read,
                                         nullptr, &MemoryInput::seek)
                    : nullptr);
    if (!io) {
        av_free(buffer);
        m_error = tr("Out of memory reading %1.").arg(shown);
        return false;
    }

    AVFormatContext *raw = avformat_alloc_context();
    if (!raw) {
        m_error = tr("Out of memory reading %1.").arg(shown);
        return false;
    }
    raw->pb = io.get();
    raw->flags |= AVFMT_FLAG_CUSTOM_IO;
    const AVInputFormat *named = formatForSuffix(QFileInfo(path).suffix());
    // On failure avformat_open_input frees the context itself.
    if (avformat_open_input(&raw, nullptr, named, nullptr) < 0) {
        m_error = tr("%1 is not a subtitle file.").arg(shown);
        return false;
    }
    FormatContextPtr format(raw);
    if (avformat_find_stream_info(format.get(), nullptr) < 0)
        qCDebug(lcSubtitles) << "no stream information in" << path;

    int stream = -1;
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        if (isTextSubtitle(format->streams[i])) {
            stream = int(i);
            break;
        }
    }
    // Text without a single timed cue in it is not subtitles at all.
    if (stream < 0 || readPackets(format.get(), stream, 0) <= 0) {
        m_error = tr("%1 is not a subtitle file.").arg(shown);
        return false;
    }
    finish();
    if (m_cues.isEmpty()) {
        m_error = tr("%1 holds no subtitles.").arg(shown);
        return false;
    }
    return true;
}

bool Subtitles::loadStream(const QString &mediaPath, const std::atomic<bool> *cancel)
{
    m_cues.clear();
    m_broken = 0;
    m_error.clear();
    m_encoding = "UTF-8";

    AVFormatContext *raw = nullptr;
    if (avformat_open_input(&raw, QFile::encodeName(mediaPath).constData(), nullptr, nullptr) < 0)
        return false;
    FormatContextPtr format(raw);
    if (avformat_find_stream_info(format.get(), nullptr) < 0)
        return false;

    int chosen = -1;
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        const AVStream *s = format->streams[i];
        if (!isTextSubtitle(s))
            continue;
        const AVDictionaryEntry *lang = av_dict_get(s->metadata, "language", nullptr, 0);
        const bool english = lang && QByteArray(lang->value).toLower().startsWith("en");
        if (chosen < 0 || english)
            chosen = int(i);
        if (english)
            break;
    }
    if (chosen < 0)
        return false;
    for (unsigned i = 0; i < format->nb_streams; ++i)
        format->streams[i]->discard = int(i) == chosen ? AVDISCARD_DEFAULT : AVDISCARD_ALL;

    // Cue times count from the first moment of the file, as positions do.
    const AVStream *s = format->streams[chosen];
    const int64_t origin = av_rescale_q(originMs(format.get()), AVRational{1, 1000}, s->time_base);
    if (readPackets(format.get(), chosen, origin, cancel) < 0)
        return false;
    finish();
    return !m_cues.isEmpty();
}

int64_t Subtitles::originMs(const AVFormatContext *format)
{
    const AVStream *sound = nullptr;
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        const AVStream *s = format->streams[i];
        if (s->start_time == AV_NOPTS_VALUE)
            continue;
        // A cover picture is no video.
        if (s->codecpar->codec_type == AVMEDIA_TYPE_VIDEO && !(s->disposition & AV_DISPOSITION_ATTACHED_PIC))
            return av_rescale_q(s->start_time, s->time_base, AVRational{1, 1000});
        if (s->codecpar->codec_type == AVMEDIA_TYPE_AUDIO && !sound)
            sound = s;
    }
    if (sound)
        return av_rescale_q(sound->start_time, sound->time_base, AVRational{1, 1000});
    return format->start_time == AV_NOPTS_VALUE ? 0 : format->start_time / 1000;
}

// Decodes every packet of the stream with FFmpeg's text decoder, which
// turns each format's markup into one styled event line.
int Subtitles::readPackets(AVFormatContext *format, int stream, int64_t origin,
                           const std::atomic<bool> *cancel)
{
    const AVStream *s = format->streams[stream];
    const AVCodec *decoder = avcodec_find_decoder(s->codecpar->codec_id);
    if (!decoder)
        return -1;
    CodecContextPtr codec(avcodec_alloc_context3(decoder));
    if (!codec || avcodec_parameters_to_context(codec.get(), s->codecpar) < 0)
        return -1;
    codec->pkt_timebase = s->time_base;
    if (avcodec_open2(codec.get(), decoder, nullptr) < 0)
        return -1;

    PacketPtr packet(av_packet_alloc());
    if (!packet)
        return -1;
    const AVRational ms{1, 1000};
    const bool subRip = s->codecpar->codec_id == AV_CODEC_ID_SUBRIP;
    int packets = 0;
    while (av_read_frame(format, packet.get()) >= 0) {
        if (cancel && *cancel)
            return -1;
        if (packet->stream_index != stream) {
            av_packet_unref(packet.get());
            continue;
        }
        ++packets;
        AVSubtitle sub{};
        int got = 0;
        const int used = avcodec_decode_subtitle2(codec.get(), &sub, &got, packet.get());
        if (used >= 0 && got) {
            QString text;
            for (unsigned r = 0; r < sub.num_rects; ++r) {
                const AVSubtitleRect *rect = sub.rects[r];
                QString part;
                if (rect->type == SUBTITLE_ASS && rect->ass)
                    part = plainText(eventText(QString::fromUtf8(rect->ass)));
                else if (rect->type == SUBTITLE_TEXT && rect->text)
                    part = plainText(QString::fromUtf8(rect->text));
                if (!part.isEmpty())
                    text += (text.isEmpty() ? QString() : QStringLiteral("\n")) + part;
            }
            avsubtitle_free(&sub);
            if (subRip)
                text = cutGluedCues(text, &m_broken);
            if (packet->pts == AV_NOPTS_VALUE) {
                ++m_broken;
            } else if (!text.isEmpty()) {
                Cue cue;
                cue.start = av_rescale_q(packet->pts - origin, s->time_base, ms);
                cue.end = packet->duration > 0
                    ? cue.start + av_rescale_q(packet->duration, s->time_base, ms)
                    : -1; // found from the next cue in finish()
                cue.text = text;
                m_cues.append(cue);
            }
        }
        av_packet_unref(packet.get());
    }
    return packets;
}

// Sorted by start (files written by hand are not always), with every cue
// given an end after its start.
void Subtitles::finish()
{
    std::stable_sort(m_cues.begin(), m_cues.end(),
                     [](const Cue &a, const Cue &b) { return a.start < b.start; });
    for (qsizetype i = 0; i < m_cues.size(); ++i) {
        Cue &cue = m_cues[i];
        cue.start = std::max<int64_t>(0, cue.start);
        if (cue.end > cue.start)
            continue;
        const int64_t next = i + 1 < m_cues.size() ? m_cues[i + 1].start : cue.start + defaultCueMs;
        cue.end = next > cue.start ? std::min(next, cue.start + defaultCueMs) : cue.start + defaultCueMs;
    }
}

QStringList Subtitles::filesBeside(const QString &mediaPath)
{
    const QFileInfo media(mediaPath);
    const QDir dir = media.absoluteDir();
    const QString base = media.completeBaseName();
    const QString full = media.fileName();
    static const QStringList suffixes{QStringLiteral("srt"), QStringLiteral("vtt"),
                                      QStringLiteral("ass"), QStringLiteral("ssa")};
    QStringList exact;
    QStringList tagged;
    const QStringList names = dir.entryList(QDir::Files | QDir::Readable, QDir::Name);
    for (const QString &name : names) {
        const QFileInfo info(name);
        if (!suffixes.contains(info.suffix().toLower()))
            continue;
        const QString stem = info.completeBaseName();
        if (stem == base || stem == full) {
            exact.append(dir.filePath(name));
        } else if (stem.startsWith(base + QLatin1Char('.'))) {
            // lesson.en.srt: a language part; English ahead of the others.
            const QString lang = stem.mid(base.size() + 1).toLower();
            if (lang.startsWith(QLatin1String("en")))
                tagged.prepend(dir.filePath(name));
            else
                tagged.append(dir.filePath(name));
        }
    }
    return exact + tagged;
}
