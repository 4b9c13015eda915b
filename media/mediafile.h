#pragma once

#include "media/avpointers.h"

#include <QImage>
#include <QString>

#include <cstdint>
#include <memory>

// One opened media file: its demuxer, the decoders of its first sound
// stream and its first video stream, and the figures read from them as
// opened. The reference stream is the video stream, or the sound stream of
// a file without video; its ticks are the engine's positions. A cover
// picture (a still stored beside the sound) is kept as an image and never
// decoded as video.
//
// Made by the GUI thread; while the engine's threads run, the demuxer
// belongs to the parsing thread and each decoder to its decoding thread,
// and everything else is read-only.
class MediaFile final
{
public:
    // Opens file (a local path; "%" escapes are decoded) and its decoders.
    // On failure returns nullptr and sets error to the text shown to the
    // user.
    static std::unique_ptr<MediaFile> open(const QString &file, QString &error);
    ~MediaFile();
    Q_DISABLE_COPY_MOVE(MediaFile)

    // FFmpeg also reads text (as terminal animations) and single pictures
    // or numbered picture files; none of them is sound or video.
    static bool isMediaFormat(const AVInputFormat *format);
    // The start of the file reads as text: no NUL bytes, mostly printable.
    static bool looksLikeText(const QString &name);
    // The message for an avformat_open_input() error code.
    static QString openError(const QString &file, int code);

    AVFormatContext *format() const { return m_format.get(); }
    AVCodecContext *audioCodec() const { return m_audioCodec.get(); }
    // Set means the file has video: its video stream could be decoded.
    AVCodecContext *videoCodec() const { return m_videoCodec.get(); }
    AVStream *audioStream() const;
    AVStream *referenceStream() const;
    int audioStreamIndex() const { return m_audioStreamIndex; }
    int referenceStreamIndex() const { return m_referenceStreamIndex; }
    bool hasVideo() const { return m_videoCodec != nullptr; }

    double timeBase() const; // seconds per tick of the reference stream
    int64_t startTime() const; // ticks; 0 when the stream has none
    int64_t duration() const;  // length in ticks
    int64_t endTime() const;   // startTime() + duration()
    // Seconds of one video frame; 0.04 when the stream does not say.
    double frameSeconds() const;

    // Figures as opened, safe to read while the decoders change their
    // records.
    int videoWidth() const { return m_videoWidth; }
    int videoHeight() const { return m_videoHeight; }
    int videoPixelFormat() const { return m_videoPixelFormat; }
    int audioSampleRate() const { return m_audioSampleRate; }
    int audioChannels() const { return m_audioChannels; }
    int audioBitRate() const { return m_audioBitRate; }
    // Width / height as the video should be shown; 0 without video.
    float displayAspectRatio() const;
    QImage cover() const { return m_cover; }

private:
    MediaFile() = default;
    bool openStreams();
    bool openStream(int index);

    FormatContextPtr m_format;
    CodecContextPtr m_audioCodec;
    CodecContextPtr m_videoCodec;
    int m_audioStreamIndex = -1;
    int m_referenceStreamIndex = -1;
    int m_videoWidth = 0;
    int m_videoHeight = 0;
    int m_videoPixelFormat = -1;
    AVRational m_codecAspect{0, 1};
    int m_audioSampleRate = 0;
    int m_audioChannels = 0;
    int m_audioBitRate = 0;
    QImage m_cover;
};
