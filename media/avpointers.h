#pragma once

// Owning pointers for the FFmpeg records the engine and the lesson code
// allocate, so that every early return frees them. Header only: the lesson
// library uses them without linking the engine.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavfilter/avfilter.h>
#include <libavformat/avformat.h>
#include <libavutil/frame.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <memory>

struct AVFrameFree {
    void operator()(AVFrame *frame) const { av_frame_free(&frame); }
};
struct AVPacketFree {
    void operator()(AVPacket *packet) const { av_packet_free(&packet); }
};
struct AVCodecContextFree {
    void operator()(AVCodecContext *codec) const { avcodec_free_context(&codec); }
};
struct AVFormatContextClose {
    void operator()(AVFormatContext *format) const { avformat_close_input(&format); }
};
struct SwsContextFree {
    void operator()(SwsContext *scaler) const { sws_freeContext(scaler); }
};
struct SwrContextFree {
    void operator()(SwrContext *converter) const { swr_free(&converter); }
};
struct AVFilterGraphFree {
    void operator()(AVFilterGraph *graph) const { avfilter_graph_free(&graph); }
};

using FramePtr = std::unique_ptr<AVFrame, AVFrameFree>;
using PacketPtr = std::unique_ptr<AVPacket, AVPacketFree>;
using CodecContextPtr = std::unique_ptr<AVCodecContext, AVCodecContextFree>;
using FormatContextPtr = std::unique_ptr<AVFormatContext, AVFormatContextClose>;
using ScalerPtr = std::unique_ptr<SwsContext, SwsContextFree>;
using ConverterPtr = std::unique_ptr<SwrContext, SwrContextFree>;
using FilterGraphPtr = std::unique_ptr<AVFilterGraph, AVFilterGraphFree>;
