#pragma once

#include <QMutex>
#include <QWaitCondition>

#include <atomic>
#include <cstdint>

// The one seek the engine may have outstanding, from the moment a thread
// places it until the parsing thread has carried it out. Any thread places
// (the GUI thread for the user, a decoding thread at the end mark or for a
// seek that landed late); only the parsing thread takes and finishes.
//
// Each seek carried out gets the next serial. Packets, pictures and sound
// carry the serial of the seek they follow, so that whatever was read for a
// place left is recognised by an older serial and dropped.
class SeekRequest final
{
public:
    enum class Kind {
        User,        // a jump: what the output still holds is dropped
        LoopRestart, // the passage starts again: its sound follows on
        Retry,       // the same place read again from further back
    };

    SeekRequest() = default;
    Q_DISABLE_COPY_MOVE(SeekRequest)

    // Makes target (ticks) the pending seek; false when one is pending
    // already or being placed by another thread.
    bool place(int64_t target, Kind kind);
    bool pending() const { return m_state.load() == Pending; }
    // Parsing thread: the pending seek's target and kind; false when none
    // is pending. The request stays pending until finish().
    bool take(int64_t &target, Kind &kind) const;
    // Parsing thread: the pending seek is done with. carriedOut: the input
    // now reads from the new place, target (ticks) is where data starts to
    // count, and the serial moves on; else the input reads on where it was.
    // Returns the serial in force.
    int finish(bool carriedOut, int64_t target);
    // No thread is left to carry a pending seek out (the engine stopped or
    // starts afresh): the request is dropped; the serial stays.
    void drop();

    // The latest target: what lies before it is decoded but not played.
    int64_t target() const { return m_target.load(); }
    int serial() const { return m_serial.load(); }
    // The kind of the seek last carried out.
    Kind lastKind() const { return Kind(m_lastKind.load()); }
    // The serial of the user's latest seek carried out: pictures of older
    // serials show a place he has left.
    int userSerial() const { return m_userSerial.load(); }

    // Seconds before the target where reading started for the last seek,
    // beyond the codec's preroll: 0 for a first try, doubling with each
    // retry. Parsing thread writes.
    double backoff() const { return m_backoff.load(); }
    double nextBackoff(Kind kind);
    // The next seek searches backwards whatever its target (a resume).
    void forceBackward() { m_backwardForced = true; }
    bool backwardForced() const { return m_backwardForced.load(); }

    // Sleeps until the serial is no longer serial, or timeoutMs has passed,
    // or wakeWaiters() was called (stop, marks moved): the caller looks
    // again at what it waits for.
    void waitForSerialChange(int serial, int timeoutMs);
    void wakeWaiters();

private:
    enum State { Idle, Placing, Pending };
    // Whoever moves the state from idle to placing writes the target and
    // makes it pending; finish() returns it to idle in one step, so that a
    // request placed right after is never lost.
    std::atomic<int> m_state{Idle};
    std::atomic<int64_t> m_target{0};
    std::atomic<int> m_kind{int(Kind::User)};
    std::atomic<int> m_lastKind{int(Kind::User)};
    std::atomic<int> m_serial{0};
    std::atomic<int> m_userSerial{0};
    std::atomic<double> m_backoff{0.0};
    std::atomic<bool> m_backwardForced{false};
    // --- For waitForSerialChange(); guards nothing but the wait
    QMutex m_waitMutex;
    QWaitCondition m_changed;
};
