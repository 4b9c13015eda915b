#include "media/speedsplice.h"

#include "media/avpointers.h"

#include <algorithm>
#include <cmath>
#include <cstring>

SpeedSplice::SpeedSplice(Output output)
    : m_output(std::move(output))
{
}

SpeedSplice::~SpeedSplice()
{
    av_channel_layout_uninit(&m_layout);
}

void SpeedSplice::setFormat(int rate, const AVChannelLayout &layout)
{
    m_rate = rate;
    av_channel_layout_uninit(&m_layout);
    av_channel_layout_copy(&m_layout, &layout);
}

double SpeedSplice::feedFrom(double cutOff, double speed)
{
    m_stretchFrom = cutOff;
    const bool stretching = std::abs(speed - 1.0) > 1e-9;
    return stretching && !m_stretch.active() ? cutOff - padSeconds : cutOff;
}

void SpeedSplice::play(uint8_t *data, int frames, double seconds, double speed,
                       const std::function<bool()> &stopped)
{
    const int piece = std::max(1, m_rate / 100);
    for (int done = 0; done < frames && !stopped(); done += piece)
        playPiece(data + std::ptrdiff_t(done) * frameBytes(), std::min(piece, frames - done),
                  seconds + double(done) / m_rate, speed);
}

void SpeedSplice::passageEnded()
{
    m_keepStretch = m_stretch.active();
}

void SpeedSplice::restart(bool followsOn)
{
    m_recent.clear();
    m_playedSpeed = 0.0;
    m_crossfade = false;
    if (!followsOn)
        m_held.clear(); // the output was emptied for the new place
    m_keepStretch = m_keepStretch && followsOn && m_stretch.active();
    if (!m_keepStretch) {
        m_stretch.reset();
        m_stretchRuns.clear();
    }
}

void SpeedSplice::finish()
{
    finishStretch();
    releaseHeld();
}

// Plays samples as they are at speed 1, else through the time-stretch, made
// anew when the speed changes (after what the old one holds has gone out).
void SpeedSplice::playPiece(uint8_t *data, int frames, double seconds, double speed)
{
    const int frameBytes = this->frameBytes();
    // The speed changes while playing on: the sound after the change starts
    // where the sound before it ends, a crossfade's length early.
    const bool changes = m_playedSpeed > 0.0 && speed != m_playedSpeed && !m_recent.empty()
        && std::abs(m_recentEnd - seconds) < 0.5 / m_rate;
    m_playedSpeed = speed;
    const int fade = std::max(1, m_rate * crossfadeMilliseconds / 1000);
    // Where the sound before the change ends: a stretch still holds some of
    // what it was fed, which is not waited for but played anew from the
    // samples kept, at the new speed.
    const int64_t kept = int64_t(m_recent.size()) / frameBytes;
    double resume = seconds;
    if (changes && m_stretch.active()) {
        resume = std::clamp(m_pushedEnd, seconds - double(kept) / m_rate, seconds);
        m_stretch.reset();
        m_stretchRuns.clear();
    } else if (m_stretch.active() && m_stretch.tempo() != speed) {
        finishStretch();
    }
    if (std::abs(speed - 1.0) < 1e-9) {
        const int early = changes ? int(std::min<int64_t>(kept, std::llround((seconds - resume) * m_rate) + fade)) : 0;
        if (early > 0) {
            std::vector<char> joined(m_recent.end() - std::ptrdiff_t(early) * frameBytes, m_recent.end());
            joined.insert(joined.end(), data, data + std::ptrdiff_t(frames) * frameBytes);
            remember(data, frames, seconds);
            m_crossfade = true;
            push(joined.data(), int(joined.size()), seconds - double(early) / m_rate, 1.0);
        } else {
            remember(data, frames, seconds); // before the output scales them by the volume
            push(reinterpret_cast<char *>(data), frames * frameBytes, seconds, 1.0);
        }
        return;
    }
    if (!m_stretch.active()) {
        if (!m_stretch.setup(m_rate, m_layout, speed)) {
            // Without the filter the sound at least keeps its place.
            remember(data, frames, seconds);
            push(reinterpret_cast<char *>(data), frames * frameBytes, seconds, 1.0);
            return;
        }
        m_stretchIn = 0;
        m_stretchOut = 0;
        m_stretchRuns.clear();
        // While playing on (a change of speed), the new stretch settles on
        // the samples kept, and its sound starts where the sound before it
        // ended, less the crossfade.
        const int64_t recent = int64_t(m_recent.size()) / frameBytes;
        if (recent > 0 && std::abs(m_recentEnd - seconds) < 0.5 / m_rate) {
            const double from = changes ? resume - fade * speed / m_rate : seconds;
            m_crossfade = changes;
            m_stretchRuns.push_back({0, seconds - double(recent) / m_rate, from});
            m_stretch.feed(m_recent.data(), int(recent));
            m_stretchIn = recent;
        } else {
            m_stretchRuns.push_back({0, seconds, m_stretchFrom});
        }
    } else {
        const StretchRun &last = m_stretchRuns.back();
        const double follows = last.seconds + double(m_stretchIn - last.fedBefore) / m_rate;
        if (std::abs(seconds - follows) > 0.5 / m_rate)
            m_stretchRuns.push_back({m_stretchIn, seconds, -INFINITY});
    }
    m_stretch.feed(data, frames);
    m_stretchIn += frames;
    remember(data, frames, seconds);
    pullStretched();
}

// Keeps the last padSeconds of what was played, for a stretch made
// while playing to settle on.
void SpeedSplice::remember(const uint8_t *data, int frames, double seconds)
{
    const int frameBytes = this->frameBytes();
    if (std::abs(m_recentEnd - seconds) >= 0.5 / m_rate)
        m_recent.clear(); // not where the last piece ended
    m_recent.insert(m_recent.end(), data, data + std::ptrdiff_t(frames) * frameBytes);
    const std::size_t keep = std::size_t(padSeconds * m_rate) * std::size_t(frameBytes);
    if (m_recent.size() > keep)
        m_recent.erase(m_recent.begin(), m_recent.end() - std::ptrdiff_t(keep));
    m_recentEnd = seconds + double(frames) / m_rate;
}

// Output frame n of the stretch plays input frame delay * rate + n * tempo,
// at the media time of the run that frame was fed in. A piece of output
// that spans two runs goes out in two parts, each with its own time.
void SpeedSplice::pullStretched()
{
    FramePtr piece(av_frame_alloc());
    const int frameBytes = this->frameBytes();
    const double tempo = m_stretch.tempo();
    const double lead = m_stretch.delay() * m_rate;
    while (piece && m_stretch.take(piece.get())) {
        auto *data = reinterpret_cast<char *>(piece->data[0]);
        int done = 0;
        while (done < piece->nb_samples && !m_stretchRuns.empty()) {
            const double input = lead + double(m_stretchOut + done) * tempo;
            while (m_stretchRuns.size() > 1 && double(m_stretchRuns[1].fedBefore) <= input)
                m_stretchRuns.pop_front();
            const StretchRun &run = m_stretchRuns.front();
            int count = piece->nb_samples - done;
            if (m_stretchRuns.size() > 1) {
                const double untilNext =
                    (double(m_stretchRuns[1].fedBefore) - lead) / tempo - double(m_stretchOut + done);
                count = std::clamp(int(std::ceil(untilNext)), 1, count);
            }
            const double at = run.seconds + (input - double(run.fedBefore)) / m_rate;
            const double perFrame = tempo / m_rate;
            const int skip = at >= run.dropBefore
                ? 0
                : int(std::min<double>(count, std::ceil((run.dropBefore - at) / perFrame)));
            if (skip < count)
                push(data + (done + skip) * frameBytes, (count - skip) * frameBytes, at + skip * perFrame, tempo);
            done += count;
        }
        m_stretchOut += piece->nb_samples;
        av_frame_unref(piece.get());
    }
}

void SpeedSplice::finishStretch()
{
    if (!m_stretch.active())
        return;
    m_stretch.drain();
    pullStretched();
    m_stretch.reset();
    m_stretchRuns.clear();
}

// Hands samples on to the output, all but the last few milliseconds, which
// wait for what comes next: where the speed changes, the sound before and
// after the change are crossfaded over them instead of meeting with a click.
// Anywhere else they simply go out first.
void SpeedSplice::push(char *data, int length, double seconds, double tempo)
{
    const int frameBytes = this->frameBytes();
    if (length <= 0 || frameBytes <= 0)
        return;
    if (m_crossfade && !m_held.empty()) {
        const int frames = std::min(int(m_held.size()), length) / frameBytes;
        auto *fresh = reinterpret_cast<int16_t *>(data);
        const auto *old = reinterpret_cast<const int16_t *>(m_held.data());
        for (int i = 0; i < frames; ++i) {
            const double w = (i + 0.5) / frames;
            for (int c = 0; c < m_layout.nb_channels; ++c) {
                const std::size_t k = std::size_t(i) * std::size_t(m_layout.nb_channels) + std::size_t(c);
                int16_t a, b;
                std::memcpy(&a, old + k, 2);
                std::memcpy(&b, fresh + k, 2);
                const auto mixed = int16_t(std::lround(a * (1.0 - w) + b * w));
                std::memcpy(fresh + k, &mixed, 2);
            }
        }
        m_held.clear();
    }
    m_crossfade = false;
    releaseHeld();
    const int hold = std::min(length, std::max(1, m_rate * crossfadeMilliseconds / 1000) * frameBytes);
    const double secondsPerByte = tempo / (double(m_rate) * frameBytes);
    m_pushedEnd = seconds + double(length) * secondsPerByte;
    m_held.assign(data + length - hold, data + length);
    m_heldSeconds = seconds + double(length - hold) * secondsPerByte;
    m_heldTempo = tempo;
    m_output(data, length - hold, seconds, tempo);
}

void SpeedSplice::releaseHeld()
{
    if (m_held.empty())
        return;
    std::vector<char> held;
    held.swap(m_held);
    m_output(held.data(), int(held.size()), m_heldSeconds, m_heldTempo);
}

