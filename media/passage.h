#pragma once

#include <QMutex>

#include <cstdint>
#include <functional>

class SeekRequest;

// The passage the engine plays: its two marks, whether it repeats, how
// often, the rounds played so far, and a hold waiting at its end. It is
// also the one place that decides what follows a round: the decoding
// thread that drives the marks reports "the end mark was reached with the
// data of seek serial N" and gets the decision back in the same step, so
// that no thread acts on a flag another thread may have set anew since.
//
// Each change of the marks or of the count starts a new generation: a
// report judged against the marks of an older one decides nothing, and a
// decision taken stays the answer for the rest of its serial and
// generation, however often the end is met again.
//
// Positions are ticks of the reference stream. The GUI thread sets; the
// decoding threads report; any thread reads. One lock guards everything.
class Passage final
{
public:
    // What follows the end of a round.
    enum class Round {
        Restart, // a restart at the start mark is placed: wait for it
        PlayOn,  // the count is reached: play on through the end mark
        Hold,    // the loop is off: hold once the end is heard
        Wait,    // another seek is pending and will move playback: wait
        Stale,   // the report came from a place left, or from marks
                 // changed since it was judged: nothing is decided
    };

    // The marks as one thread saw them, to report the end against.
    struct Marks {
        int64_t in = 0;
        int64_t out = 0;
        int generation = 0;
        bool playsOn = false; // the count is reached: the end mark is no end
    };

    // Reports each round that ends, with the rounds played since the marks
    // or the count were last set, and whether the count is now reached;
    // called on the reporting thread, outside the lock.
    using Reporter = std::function<void(int played, bool finished)>;

    Passage(SeekRequest &seek, Reporter reporter);
    Q_DISABLE_COPY_MOVE(Passage)

    // The stream's first and last positions; the marks are kept between
    // them. Set when a file opens; both marks then span the whole of it.
    void setBounds(int64_t start, int64_t end);

    // Sets both marks and the count at once: in is kept inside the stream,
    // out inside the stream and not before in. count 0 repeats without
    // end. Starts the rounds afresh. Returns true when a hold that waited
    // at the old end was called off: the caller restarts the passage
    // instead, as the hold would have.
    bool set(int64_t in, int64_t out, int count);
    bool setIn(int64_t in);   // keeps out and the count
    bool setOut(int64_t out); // keeps in and the count
    bool setRepeatCount(int count);
    void setLoop(bool loop);

    int64_t in() const;
    int64_t out() const;
    bool loops() const;
    int repeatCount() const;
    Marks marks() const;

    // The decoding thread that drives the marks met data at or after the
    // end mark of marks, with data of the seek of serial.
    Round endReached(int serial, const Marks &marks);

    // A hold decided at the end: its serial, or -1. takeHold() ends it
    // (carried out, or dropped by a jump or a stop) and says whether one
    // waited.
    int holdSerial() const;
    bool takeHold();

private:
    bool restartRounds(); // returns whether a hold was called off

    SeekRequest &m_seek;
    Reporter m_report;

    // --- Guarded by m_mutex
    mutable QMutex m_mutex;
    int64_t m_start = 0;
    int64_t m_end = 0;
    int64_t m_in = 0;
    int64_t m_out = 0;
    bool m_loop = true;
    int m_count = 0;
    int m_played = 0;
    bool m_done = false;
    int m_generation = 0;
    // The decision taken for the end of a round, and for which seek serial
    // and generation; -1: none yet.
    int m_decidedSerial = -1;
    int m_decidedGeneration = -1;
    Round m_decision = Round::Stale;
    int m_holdSerial = -1;
};
