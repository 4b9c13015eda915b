#pragma once

#include "media/avpointers.h"

#include <QString>
#include <QThread>

struct EngineParts;
class PacketQueue;

// The decode-and-drain loop of one stream: takes packets from its queue,
// starts the decoder afresh when their serial says that the input jumped,
// drains the decoder at an end packet and hands each frame to the stream's
// own handling. Sleeps while playback is paused; ends when the queue is
// aborted.
class DecoderThread : public QThread
{
    Q_OBJECT
public:
    ~DecoderThread() override;
    Q_DISABLE_COPY_MOVE(DecoderThread)

    // The serial of the seek the frames now decoded follow.
    int serial() const { return m_serial; }

protected:
    // parts are the engine's; queue is the stream's, one of them.
    DecoderThread(EngineParts &parts, PacketQueue &queue, QObject *parent);

    void run() final;

    // The lines this thread adds to the engine's log.
    enum class LogLine { Started, Flushing, NoMorePackets, Ended };
    virtual QString logLine(LogLine line) const = 0;
    // The stream's decoder, opened with the file.
    virtual AVCodecContext *decoder() const = 0;
    // The thread starts; serial is the seek in force.
    virtual void started() {}
    // The input jumped (seek), or, with afresh, the thread takes its first
    // packet since it started; the decoder has been started afresh.
    virtual void flushed(bool afresh) = 0;
    // The input jumps to the seek of serial: true to have the frames the
    // decoder holds handled first, as the old serial's.
    virtual bool drainsAtJump(int serial) const { Q_UNUSED(serial); return false; }
    // Before each packet is taken from the queue, and before a packet with
    // data is sent to the decoder.
    virtual void betweenPackets() {}
    virtual void beforeSend(const AVPacket *packet) { Q_UNUSED(packet); }
    // False while packets are to be dropped without decoding.
    virtual bool takesPackets() const { return true; }
    // A decoded frame, while the engine runs.
    virtual void handleFrame(AVFrame *frame) = 0;
    // The end packet was sent (its dts is the end mark), before the frames
    // it drains are handled, and after them.
    virtual void endSent(const AVPacket *end) { Q_UNUSED(end); }
    virtual void endDrained() {}

    EngineParts &m_parts;
    AVCodecContext *m_codec = nullptr; // set at run()

private:
    void drain(AVFrame *frame);

    PacketQueue &m_queue;
    int m_serial = 0;
};
