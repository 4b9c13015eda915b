#pragma once

#include <QThread>

#include <cstdint>

struct EngineParts;

// Reads the packets of the opened file and sorts them into the engine's
// video and audio queues, under byte limits; carries out the seeks that
// other threads request and queues end packets at the end of the input.
class ParsingThread final : public QThread
{
    Q_OBJECT
public:
    ParsingThread(EngineParts &parts, QObject *parent);
    ~ParsingThread() override;
    Q_DISABLE_COPY_MOVE(ParsingThread)

    // Queue fill levels (payload bytes): each stream's share, and what both
    // queues may hold together.
    static constexpr int videoQueueLimit = 0x140000;
    static constexpr int audioQueueLimit = 0x14000;
    static constexpr int queuesLimit = 0x4000000;
    // Whether reading pauses with the queues holding these bytes. It pauses
    // once every stream the file has holds its share, or both together the
    // limit: one queue over its share alone does not pause it.
    static bool queuesFull(int videoBytes, int audioBytes, bool hasVideo, bool hasAudio);
    // A seek that lands after its target is tried again from this much
    // further back, doubling each time, up to this limit (seconds).
    static constexpr double maxBackoffSeconds = 32.0;

    // avformat_seek_file flags for a seek to target from position.
    static int seekFlags(int64_t target, int64_t position, bool backwardForced, bool dirty);

protected:
    void run() override;

private:
    void carryOutSeek(bool &endOfFile);
    void queueEndPacket();
    double prerollSeconds() const;
    // Ticks of the place playing now, to seek towards.
    int64_t playingPlace() const;
    EngineParts &m_parts;
};
