#pragma once

#include "media/iaudio.h"
#include "media/mediafile.h"
#include "media/packetqueue.h"
#include "media/passage.h"
#include "media/pictureconverter.h"
#include "media/picturequeue.h"
#include "media/picturereader.h"
#include "media/playbackclock.h"
#include "media/seekrequest.h"

#include <QMutex>
#include <QSize>
#include <QString>
#include <QStringList>

#include <atomic>
#include <cstdint>
#include <memory>

// The engine's text log: the latest lines the threads add as they start,
// flush, run dry, fail and end. A repeating passage seeks every few seconds
// for as long as the learner practises, so only the lines that tell how
// reading failed are kept. Any thread; guards itself.
class EngineLog final
{
public:
    static constexpr int linesKept = 64;

    EngineLog() = default;
    Q_DISABLE_COPY_MOVE(EngineLog)

    void append(const QString &line);
    QString text() const;

private:
    mutable QMutex m_mutex;
    QStringList m_lines;
};

// How the pictures are converted; fixed when the engine is made.
struct PictureFormat {
    int scaleFlags = 0;  // swscale's
    int pixelFormat = 2; // FFmpeg's, of the slots
    bool powerOfTwo = false;
    QSize fixedSize; // empty: the size shown
};

// The parts of one engine that its worker threads share, as ffplay's player
// state is shared: each part guards itself, and each field below says who
// writes it. The engine owns them and hands them to each thread it makes;
// no thread reaches the engine itself.
struct EngineParts final {
    EngineParts(const PictureFormat &format, Passage::Reporter reporter)
        : passage(seek, std::move(reporter)), pictureFormat(format)
    {
    }
    Q_DISABLE_COPY_MOVE(EngineParts)

    // --- Set by open() in the GUI thread; read-only while the threads run
    const MediaFile *file = nullptr;

    PacketQueue videoQueue; // the reference stream's, when it is video
    PacketQueue audioQueue;
    SeekRequest seek;
    Passage passage;
    PlaybackClock clock; // also holds the paused state
    PictureQueue pictures;
    PictureConverter converter; // video thread only
    std::unique_ptr<IAudio> audio = std::make_unique<IAudio>();
    EngineLog log;
    PictureReader pictureReader; // its own demuxer and decoder
    const PictureFormat pictureFormat;

    // --- Written by the GUI thread, polled by the workers (atomic)
    std::atomic<bool> stopped{true};
    std::atomic<bool> allowDirtySeek{false};
    // Width in the high and height in the low 32 bits, so that both change
    // at once; 0: not known.
    std::atomic<uint64_t> displaySize{0};
    // --- Written by the parsing thread only
    std::atomic<bool> demuxerPaused{false};
    // --- Written by the audio thread: media seconds of the sample after
    // the last one decoded
    std::atomic<double> soundDecoded{0.0};

    // Seconds per tick of the reference stream; 0 before a file is open.
    double timeBase() const { return file ? file->timeBase() : 0.0; }
    // Ticks in that many media seconds; at least 1.
    int64_t ticks(double seconds) const;
    bool hasVideo() const { return file && file->hasVideo(); }
    // The thread that drives the end of the passage: the audio thread when
    // the file has sound, as its samples can be cut exactly; else the
    // video thread.
    bool audioDrivesMarks() const { return file && file->audioCodec() != nullptr; }
    QSize shownSize() const;
};
