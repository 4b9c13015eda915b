#pragma once

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <ctime>
#include <functional>

// Timing for benchmarks that watch the engine from the GUI thread.
namespace benchclock {

// Processor seconds this process has used, all its threads together.
inline double processCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// Runs the event loop until done() holds or the time is up, looking every
// 2 ms; sleeps in between, so that the waiting costs no processor time.
inline bool waitUntil(const std::function<bool()> &done, int milliseconds)
{
    if (done())
        return true;
    QEventLoop loop;
    QElapsedTimer elapsed;
    elapsed.start();
    bool met = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        met = done();
        if (met || elapsed.elapsed() > milliseconds)
            loop.quit();
    });
    poll.start(2);
    loop.exec();
    return met;
}

} // namespace benchclock
