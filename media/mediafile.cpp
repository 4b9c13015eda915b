#include "media/mediafile.h"

#include <QCoreApplication>
#include <QFile>

#include <cctype>
#include <cerrno>

namespace {

// "%" and two hexadecimal digits become the byte they encode; anything else
// stays as it is.
QByteArray decodePercentEscapes(const QByteArray &name)
{
    QByteArray decoded;
    decoded.reserve(name.size());
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (name.at(i) == '%' && i + 2 < name.size() && std::isxdigit(uchar(name.at(i + 1)))
            && std::isxdigit(uchar(name.at(i + 2)))) {
            decoded.append(char(QByteArray(name.constData() + i + 1, 2).toInt(nullptr, 16)));
            i += 2;
        } else {
            decoded.append(name.at(i));
        }
    }
    return decoded;
}

int64_t orZero(int64_t value)
{
    return value == AV_NOPTS_VALUE ? 0 : value;
}

// The texts are the engine's, and are translated as such.
QString translated(const char *text)
{
    return QCoreApplication::translate("Media", text);
}

} // namespace

MediaFile::~MediaFile() = default;

std::unique_ptr<MediaFile> MediaFile::open(const QString &file, QString &error)
{
    const QByteArray name = decodePercentEscapes(file.toLocal8Bit());
    AVFormatContext *raw = nullptr;
    const int opened = avformat_open_input(&raw, name.constData(), nullptr, nullptr);
    if (opened < 0) {
        // Text that no reader took is no damaged media file but another kind.
        const bool text = opened == AVERROR_INVALIDDATA && looksLikeText(QString::fromLocal8Bit(name));
        error = openError(file, text ? AVERROR(EILSEQ) : opened);
        return nullptr;
    }
    std::unique_ptr<MediaFile> media(new MediaFile);
    media->m_format.reset(raw);
    if (!isMediaFormat(raw->iformat)) {
        error = openError(file, AVERROR(EILSEQ));
        return nullptr;
    }
    if (avformat_find_stream_info(raw, nullptr) < 0) {
        error = translated("Error opening %1:\nCouldn't find any stream information in this file.")
                    .arg(file);
        return nullptr;
    }
    if (!media->openStreams()) {
        error.clear(); // said nothing before either: a file of neither kind
        return nullptr;
    }
    return media;
}

bool MediaFile::isMediaFormat(const AVInputFormat *format)
{
    if (!format || !format->name)
        return false;
    const QByteArray name(format->name);
    static const QList<QByteArray> notMedia = {"tty", "bin", "xbin", "adf", "idf", "image2",
                                               "image2pipe", "ansi"};
    return !notMedia.contains(name) && !name.endsWith("_pipe");
}

bool MediaFile::looksLikeText(const QString &name)
{
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = file.read(4096);
    if (head.isEmpty() || head.contains('\0'))
        return false;
    qsizetype control = 0;
    for (const char c : head)
        control += uchar(c) < 0x20 && c != '\n' && c != '\r' && c != '\t';
    return control * 100 < head.size();
}

QString MediaFile::openError(const QString &file, int code)
{
    if (code == AVERROR(EINVAL))
        return translated("Error opening %1:\nIncorrect numbered image sequence syntax.").arg(file);
    if (code == AVERROR(EILSEQ))
        return translated("Error opening %1:\nUnknown format.").arg(file);
    if (code == AVERROR_INVALIDDATA)
        return translated("Error opening %1:\nError while parsing header.").arg(file);
    if (code == AVERROR(ENOMEM))
        return translated("Error opening %1:\nMemory allocation error.").arg(file);
    if (code == AVERROR(EIO))
        return translated("Error opening %1:\nI/O error. Usually that means that input file is "
                          "truncated and/or corrupted.")
            .arg(file);
    if (code == AVERROR(ENOENT))
        return translated("Error opening %1:\nNo such file.").arg(file);
    return translated("Error opening %1:\nCouldn't open the file.").arg(file);
}

// Opens the first audio stream, then the first video stream, as far as
// their decoders allow. False when neither could be opened.
bool MediaFile::openStreams()
{
    int videoCandidate = -1;
    int audioCandidate = -1;
    for (unsigned i = 0; i < m_format->nb_streams; ++i) {
        const AVStream *stream = m_format->streams[i];
        const AVMediaType type = stream->codecpar->codec_type;
        // A cover picture is one still, not a video: kept to be shown.
        if (type == AVMEDIA_TYPE_VIDEO && (stream->disposition & AV_DISPOSITION_ATTACHED_PIC)) {
            if (m_cover.isNull() && stream->attached_pic.size > 0)
                m_cover = QImage::fromData(QByteArrayView(stream->attached_pic.data,
                                                          stream->attached_pic.size));
            continue;
        }
        if (type == AVMEDIA_TYPE_VIDEO && videoCandidate < 0)
            videoCandidate = int(i);
        else if (type == AVMEDIA_TYPE_AUDIO && audioCandidate < 0)
            audioCandidate = int(i);
    }
    if (audioCandidate >= 0)
        openStream(audioCandidate);
    if (videoCandidate >= 0)
        openStream(videoCandidate);
    return m_referenceStreamIndex >= 0;
}

// Opens the decoder of one stream and makes it the reference stream (and
// the audio stream when it is one). A stream whose decoder cannot be found
// or opened is skipped.
bool MediaFile::openStream(int index)
{
    AVStream *stream = m_format->streams[index];
    const AVCodec *codec = avcodec_find_decoder(stream->codecpar->codec_id);
    if (!codec)
        return false;
    CodecContextPtr context(avcodec_alloc_context3(codec));
    if (!context || avcodec_parameters_to_context(context.get(), stream->codecpar) < 0)
        return false;
    context->pkt_timebase = stream->time_base;
    if (codec->type == AVMEDIA_TYPE_VIDEO) {
        // The frame time of pictures without a time stamp.
        context->framerate = av_guess_frame_rate(m_format.get(), stream, nullptr);
        context->thread_count = 0; // as many as the machine has
        context->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
    }
    if (avcodec_open2(context.get(), codec, nullptr) < 0)
        return false;
    if (codec->type == AVMEDIA_TYPE_AUDIO) {
        m_audioStreamIndex = index;
        m_audioSampleRate = context->sample_rate;
        m_audioChannels = context->ch_layout.nb_channels;
        m_audioBitRate = int(context->bit_rate);
        m_audioCodec = std::move(context);
    } else {
        m_videoWidth = context->width;
        m_videoHeight = context->height;
        m_videoPixelFormat = context->pix_fmt;
        m_codecAspect = context->sample_aspect_ratio;
        m_videoCodec = std::move(context);
    }
    m_referenceStreamIndex = index;
    return true;
}

AVStream *MediaFile::audioStream() const
{
    return m_audioStreamIndex >= 0 ? m_format->streams[m_audioStreamIndex] : nullptr;
}

AVStream *MediaFile::referenceStream() const
{
    return m_referenceStreamIndex >= 0 ? m_format->streams[m_referenceStreamIndex] : nullptr;
}

double MediaFile::timeBase() const
{
    const AVStream *stream = referenceStream();
    if (!stream || stream->time_base.den == 0)
        return 0.0;
    return av_q2d(stream->time_base);
}

int64_t MediaFile::startTime() const
{
    const AVStream *stream = referenceStream();
    return stream ? orZero(stream->start_time) : 0;
}

int64_t MediaFile::duration() const
{
    const AVStream *stream = referenceStream();
    if (!stream)
        return 0;
    if (stream->duration != AV_NOPTS_VALUE)
        return stream->duration;
    if (m_format->duration == AV_NOPTS_VALUE || stream->time_base.num == 0)
        return 0;
    return int64_t(double(m_format->duration) / AV_TIME_BASE * stream->time_base.den
                   / stream->time_base.num);
}

int64_t MediaFile::endTime() const
{
    return startTime() + duration();
}

double MediaFile::frameSeconds() const
{
    const AVCodecContext *codec = m_videoCodec.get();
    if (codec && codec->framerate.num > 0 && codec->framerate.den > 0)
        return av_q2d(av_inv_q(codec->framerate));
    return 0.04;
}

float MediaFile::displayAspectRatio() const
{
    if (!hasVideo() || m_videoHeight == 0)
        return 0.0f;
    AVRational ratio = referenceStream()->sample_aspect_ratio;
    if (ratio.num == 0)
        ratio = m_codecAspect;
    const double shape = double(m_videoWidth) / m_videoHeight;
    if (ratio.num == 0)
        return float(shape);
    double r = ratio.den != 0 ? double(ratio.num) / ratio.den : 0.0;
    if (r <= 0.0)
        r = 1.0;
    return float(shape * r);
}
