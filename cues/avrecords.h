#pragma once

// Owning pointers for the FFmpeg records the lesson code opens, so that
// every early return frees them. A namespace of their own keeps them apart
// from the player's pointers of the same records.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/frame.h>
}

#include <memory>

namespace avrecord {

struct FormatClose {
    void operator()(AVFormatContext *format) const { avformat_close_input(&format); }
};
struct CodecFree {
    void operator()(AVCodecContext *codec) const { avcodec_free_context(&codec); }
};
struct PacketFree {
    void operator()(AVPacket *packet) const { av_packet_free(&packet); }
};
struct FrameFree {
    void operator()(AVFrame *frame) const { av_frame_free(&frame); }
};

using Format = std::unique_ptr<AVFormatContext, FormatClose>;
using Codec = std::unique_ptr<AVCodecContext, CodecFree>;
using Packet = std::unique_ptr<AVPacket, PacketFree>;
using Frame = std::unique_ptr<AVFrame, FrameFree>;

} // namespace avrecord
