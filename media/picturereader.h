#pragma once

#include "media/avpointers.h"
#include "media/passagehead.h"

#include <QMutex>
#include <QString>
#include <QThread>
#include <QWaitCondition>

#include <memory>

class MediaFile;

// Reads pictures of the open file away from playback, with a demuxer and a
// video decoder of its own, on a thread of its own at low priority:
// - the first pictures of a passage whose start mark has just been set, so
//   that its first restart shows them while playback's decoder goes through
//   the pictures from the key frame before the mark, as later restarts do;
// - the picture at a place chosen while playback is held, so that the
//   learner sees where he will go on.
// A new request of a kind replaces the one of that kind not yet done; the
// thread starts with the first request and ends with the object.
class PictureReader final : public QThread
{
    Q_OBJECT
public:
    explicit PictureReader(QObject *parent = nullptr);
    ~PictureReader() override;
    Q_DISABLE_COPY_MOVE(PictureReader)

    // The file to read (as MediaFile::open takes it); before any request.
    void setFile(const QString &file);

    // Media seconds: the pictures from a little before start until end,
    // the head's budget or its longest span.
    void readHead(double start, double end);
    // The head read, when it is done and serves start; else nullptr. The
    // caller owns what it takes.
    std::unique_ptr<PassageHead> takeHead(double start);

    // The picture shown at seconds: the last one at or before it, else the
    // first after it. stillRead() tells when it is there.
    void readStill(double seconds);
    // The still read last, and its media seconds; null when none waits.
    FramePtr takeStill(double &seconds);

signals:
    void stillRead();

protected:
    void run() override;

private:
    enum class Job { None, Head, Still };
    bool ensureOpen();
    void readHeadNow(double start, double end, int generation);
    void readStillNow(double seconds, int generation);
    // Decodes from the key frame before from on and hands each stamped
    // picture to take until it returns false; false when the job was
    // cancelled.
    template<typename Take>
    bool decodeFrom(double from, Job job, int generation, Take take);
    // A newer request of the job's kind came, or the object goes; a head
    // also gives way to a still, and is read again after it.
    bool cancelled(Job job, int generation) const;

    // --- Reading thread only
    std::unique_ptr<MediaFile> m_file;
    bool m_openFailed = false;

    // --- Guarded by m_mutex
    mutable QMutex m_mutex;
    QWaitCondition m_wake;
    QString m_fileName;
    bool m_quit = false;
    // Move on with each request of their kind: older work stops.
    int m_headGeneration = 0;
    int m_stillGeneration = 0;
    bool m_headAsked = false;
    double m_headStart = 0.0;
    double m_headEnd = 0.0;
    bool m_stillAsked = false;
    double m_stillSeconds = 0.0;
    std::unique_ptr<PassageHead> m_head; // read, not yet taken
    FramePtr m_still;
    double m_stillDoneSeconds = 0.0;
};
