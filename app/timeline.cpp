#include "app/timeline.h"

double Timeline::fraction(int64_t x) const
{
    if (m_length <= 0)
        return 0.0;
    return static_cast<double>(x - m_start) / static_cast<double>(m_length);
}

int64_t Timeline::position(double f) const
{
    return m_start + static_cast<int64_t>(static_cast<double>(m_length) * f);
}

Timeline::Click Timeline::click(double f, int64_t markIn, int64_t markOut) const
{
    const int64_t t = position(f);
    // The engine keeps the marks inside the stream; should they ever stray,
    // the loop is not trusted and the click simply seeks.
    if (markIn < m_start || markOut > end())
        return {Click::Seek, t};
    if (markIn < t && t < markOut)
        return {Click::Seek, t};
    if (t < markIn)
        return {Click::WidenStart, t};
    if (t > markOut)
        return {Click::WidenEnd, t};
    return {Click::Nothing, t};
}

std::optional<Timeline::Loop> Timeline::loopBeforeMarkIn(int64_t markIn) const
{
    if (markIn <= m_start)
        return std::nullopt;
    const double o = fraction(markIn);
    Loop loop;
    loop.markIn = m_start;
    loop.markOut = position(o);
    loop.inFlag = 0.0;
    loop.outFlag = o;
    return loop;
}

std::optional<Timeline::Loop> Timeline::loopAfterMarkOut(int64_t markOut) const
{
    if (markOut >= end())
        return std::nullopt;
    const double m = fraction(markOut);
    Loop loop;
    loop.seek = position(m);
    loop.markIn = position(m);
    loop.markOut = end();
    loop.inFlag = m;
    loop.outFlag = 1.0;
    return loop;
}
