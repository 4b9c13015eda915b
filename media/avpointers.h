#pragma once

// Owning pointers for the FFmpeg records the worker threads allocate, so
// that every early return frees them.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
}

#include <memory>

struct AVFrameFree {
    void operator()(AVFrame *frame) const { av_frame_free(&frame); }
};
struct AVPacketFree {
    void operator()(AVPacket *packet) const { av_packet_free(&packet); }
};

using FramePtr = std::unique_ptr<AVFrame, AVFrameFree>;
using PacketPtr = std::unique_ptr<AVPacket, AVPacketFree>;
