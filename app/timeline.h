#pragma once

#include <cstdint>
#include <optional>

// The player's arithmetic between engine positions and seek-slider
// fractions. A stream's positions run from its start time to start time +
// length, in ticks of its reference stream; the slider speaks in fractions of
// its width, 0 at the left edge and 1 at the right. Kept apart from the
// window so that it can be checked without an engine.
class Timeline final
{
public:
    Timeline(int64_t start, int64_t length) : m_start(start), m_length(length) {}

    int64_t start() const { return m_start; }
    int64_t length() const { return m_length; }
    int64_t end() const { return m_start + m_length; }

    // (x - start) / length. A stream of no length has no place for x to be:
    // the answer is then 0 rather than NaN or infinity, which the slider
    // would turn into garbage pixels.
    double fraction(int64_t x) const;
    // start + length * f, truncated toward zero.
    int64_t position(double f) const;

    // What a click on the slider at fraction f does. While a loop is marked
    // a click outside it moves the nearer end of the loop out to the click
    // instead of seeking there.
    struct Click
    {
        enum Kind { Seek, WidenStart, WidenEnd, Nothing };
        Kind kind = Nothing;
        int64_t target = 0; // ticks: the seek target or the new mark
    };
    Click click(double f, int64_t markIn, int64_t markOut) const;

    // A new loop and where the slider's flags go for it.
    struct Loop
    {
        int64_t markIn = 0;
        int64_t markOut = 0;
        double inFlag = 0;
        double outFlag = 0;
        std::optional<int64_t> seek; // jump here first, if set
    };
    // The loop from the start of the stream to where the current loop
    // begins. None when the current loop already begins at the start.
    std::optional<Loop> loopBeforeMarkIn(int64_t markIn) const;
    // The loop from where the current loop ends to the end of the stream,
    // with a jump to its beginning. None when the loop already ends there.
    std::optional<Loop> loopAfterMarkOut(int64_t markOut) const;

private:
    int64_t m_start = 0;
    int64_t m_length = 0;
};
