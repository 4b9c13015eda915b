#pragma once

#include "media/avpointers.h"

#include <QtGlobal>

#include <cstdint>
#include <vector>

// The first pictures of a repeating passage, kept as the decoder gave them.
// When the passage starts again, its start mark may lie seconds after the
// key frame that decoding must begin with. These pictures then show while
// the decoder goes through the pictures in between, so that the picture
// does not stand still at the restart, whatever the key-frame interval.
//
// A round of the passage records them: from the first picture at or after
// the start mark, in order, until the budget, the longest span kept or the
// end mark is reached, or the round is left. What is kept then serves every
// later restart at that start mark, or near it. Video thread only.
class PassageHead final
{
public:
    // Memory the kept pictures may take at most, and the longest span they
    // cover (media seconds): the decoder catches up within it.
    static constexpr qint64 byteBudget = qint64(150) << 20;
    static constexpr double longestSeconds = 4.0;
    // How far before a start mark a head read for it begins, so that
    // nudging the mark earlier finds its pictures kept too.
    static constexpr double leadSeconds = 0.5;

    PassageHead() = default;
    Q_DISABLE_COPY_MOVE(PassageHead)

    // Starts recording the pictures of a round that starts at start and
    // ends at end (media seconds), dropping what was kept.
    void record(double start, double end);
    bool recording() const { return m_recording; }
    // A decoded picture at seconds, offered while recording; kept when it
    // follows the last one kept and fits. The first refused ends the
    // recording.
    void offer(const AVFrame *frame, double seconds);
    // The round was left (a seek) or ended: what was kept so far is
    // complete.
    void stopRecording();
    void clear();

    // Recording done, it holds pictures from start on: start lies between
    // where the recording began and the last picture kept. A head read
    // from a little before a start mark thus also serves the nudges of it.
    bool servesStart(double start) const;
    // The first picture kept at or after start.
    int firstFrom(double start) const;
    int count() const { return int(m_pictures.size()); }
    const AVFrame *frame(int i) const { return m_pictures.at(std::size_t(i)).frame.get(); }
    double seconds(int i) const { return m_pictures.at(std::size_t(i)).seconds; }
    // Media seconds of the last picture kept: the decoder's pictures up to
    // it are not needed.
    double last() const { return m_pictures.empty() ? m_start : m_pictures.back().seconds; }
    qint64 bytes() const { return m_bytes; }

private:
    struct Picture {
        FramePtr frame;
        double seconds = 0.0;
    };
    std::vector<Picture> m_pictures;
    double m_start = -1.0;
    double m_passageEnd = 0.0;
    qint64 m_bytes = 0;
    bool m_recording = false;
};
