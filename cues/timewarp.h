#pragma once

#include "cues/mfccframes.h"

#include <atomic>
#include <cstddef>
#include <functional>
#include <limits>
#include <vector>

// Dynamic time warping of a recording's frames against a model's (the
// synthesis of its transcript), within a band around the straight line
// from start to end: for each model frame, the recording frames it
// matched. What is only in one of the two is left out rather than
// stretched onto its neighbours:
// - sound at the recording's start or end that the model lacks (a jingle,
//   an introduction) is skipped at a cost per frame under that of matching
//   unlike frames;
// - a whole sentence of the model that the recording lacks (a paragraph
//   the speaker left out) may be jumped over at a lower cost per frame: a
//   jump leaves the recording's frames to be matched still, so a sentence
//   that is there is never cheaper to jump; one that is not is then matched
//   to nothing.
class TimeWarp final
{
public:
    static constexpr size_t none = std::numeric_limits<size_t>::max();
    // Leaving out a frame costs these shares of the typical distance of
    // unlike frames: one of the recording at its ends, one of the model
    // in a jump over sentences. Found on speech of voices other than the
    // model's.
    static constexpr double skipShare = 0.6;
    static constexpr double jumpShare = 0.3;
    // At most this many sentences in a row are jumped over.
    static constexpr int maxSkippedSentences = 12;

    struct Segment {
        size_t first = 0; // model frames of a sentence
        size_t last = 0;
    };

    // bandFrames: how far the path may stray from the straight line, in
    // frames either side. sentences: the model frames of each sentence, in
    // order. Returns false when cancel became true or the band would need
    // more memory than is sensible.
    bool align(const MfccFrames &recording, const MfccFrames &model, const std::vector<Segment> &sentences,
               size_t bandFrames, const std::atomic<bool> *cancel = nullptr,
               const std::function<void(int permille)> &progress = {});

    // The first and last recording frame matched to model frame j; none
    // when it was jumped over.
    size_t firstFor(size_t j) const { return m_first[j]; }
    size_t lastFor(size_t j) const { return m_last[j]; }
    // The mean distance of the matches of model frames [from, to), against
    // typicalMismatch(): well under 1 for speech that is the model's.
    double meanDistance(size_t from, size_t to) const;
    // The median distance of frames taken at random from both: what
    // matching unlike sounds costs.
    double typicalMismatch() const { return m_mismatch; }

private:
    std::vector<size_t> m_first; // per model frame
    std::vector<size_t> m_last;
    std::vector<float> m_cost; // per model frame, the mean distance of its matches
    double m_mismatch = 1.0;
};
