#include "outside/imagefile/Clip.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>

#include "outside/imagefile/JqFileLib.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
#include <libswscale/swscale.h>
}

namespace jqfl {

namespace {

// A clip whose first frame needs more packets than this is not read.
constexpr int kMaxPackets = 2000;
constexpr int kIoBufferBytes = 64 * 1024;

void quietLibraries() {
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

struct FormatCloser {
    void operator()(AVFormatContext* f) const { avformat_close_input(&f); }
};
struct CodecCloser {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct PacketFree {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct FrameFree {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct ScaleFree {
    void operator()(SwsContext* s) const { sws_freeContext(s); }
};
struct IoFree {
    void operator()(AVIOContext* io) const {
        if (io) av_freep(&io->buffer);
        avio_context_free(&io);
    }
};

// Bytes held in memory as the demuxer's input.
struct MemoryInput {
    const uint8_t* data;
    size_t size;
    size_t pos;
};

int readMemory(void* opaque, uint8_t* buffer, int wanted) {
    auto* in = static_cast<MemoryInput*>(opaque);
    if (in->pos >= in->size) return AVERROR_EOF;
    const size_t take = std::min(static_cast<size_t>(wanted), in->size - in->pos);
    std::memcpy(buffer, in->data + in->pos, take);
    in->pos += take;
    return static_cast<int>(take);
}

int64_t seekMemory(void* opaque, int64_t offset, int whence) {
    auto* in = static_cast<MemoryInput*>(opaque);
    if (whence & AVSEEK_SIZE) return static_cast<int64_t>(in->size);
    int64_t base = 0;
    switch (whence & ~AVSEEK_FORCE) {
    case SEEK_SET: base = 0; break;
    case SEEK_CUR: base = static_cast<int64_t>(in->pos); break;
    case SEEK_END: base = static_cast<int64_t>(in->size); break;
    default: return -1;
    }
    if (offset > static_cast<int64_t>(in->size) - base || offset < -base) return -1;
    in->pos = static_cast<size_t>(base + offset);
    return static_cast<int64_t>(in->pos);
}

// RGB of the decoded frame, at its own size.
int32_t toRgb(const AVFrame& frame, Raster& out) {
    if (rasterBytes(frame.width, frame.height, 3, 1) == 0) return JQFL_NO_MEMORY;
    std::unique_ptr<SwsContext, ScaleFree> scale(
        sws_getContext(frame.width, frame.height, static_cast<AVPixelFormat>(frame.format), frame.width, frame.height,
                       AV_PIX_FMT_RGB24, SWS_BILINEAR, nullptr, nullptr, nullptr));
    if (!scale) return JQFL_UNSUPPORTED;
    Raster rgb;
    if (!allocateRaster(rgb, frame.width, frame.height, 3, 1)) return JQFL_NO_MEMORY;
    uint8_t* planes[4] = {rgb.data.data(), nullptr, nullptr, nullptr};
    const int strides[4] = {static_cast<int>(rgb.rowBytes()), 0, 0, 0};
    if (sws_scale(scale.get(), frame.data, frame.linesize, 0, frame.height, planes, strides) != frame.height)
        return JQFL_UNSUPPORTED;
    out = std::move(rgb);
    return JQFL_OK;
}

int32_t decodeFirstFrame(AVFormatContext* format, Raster& out) {
    if (avformat_find_stream_info(format, nullptr) < 0) return JQFL_UNSUPPORTED;
    const AVCodec* codec = nullptr;
    const int stream = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
    if (stream < 0 || !codec) return JQFL_UNSUPPORTED;
    const AVCodecParameters* parameters = format->streams[stream]->codecpar;
    // the picture limits before the decoder allocates anything
    if (parameters->width > 0 && parameters->height > 0 &&
        rasterBytes(parameters->width, parameters->height, 3, 1) == 0)
        return JQFL_NO_MEMORY;
    std::unique_ptr<AVCodecContext, CodecCloser> decoder(avcodec_alloc_context3(codec));
    if (!decoder || avcodec_parameters_to_context(decoder.get(), parameters) < 0) return JQFL_NO_MEMORY;
    decoder->thread_count = 1;
    if (avcodec_open2(decoder.get(), codec, nullptr) < 0) return JQFL_UNSUPPORTED;
    std::unique_ptr<AVPacket, PacketFree> packet(av_packet_alloc());
    std::unique_ptr<AVFrame, FrameFree> frame(av_frame_alloc());
    if (!packet || !frame) return JQFL_NO_MEMORY;
    bool flushed = false;
    for (int packets = 0; packets < kMaxPackets;) {
        const int received = avcodec_receive_frame(decoder.get(), frame.get());
        if (received == 0) return toRgb(*frame, out);
        if (received != AVERROR(EAGAIN) || flushed) return JQFL_UNSUPPORTED;
        const int read = av_read_frame(format, packet.get());
        if (read < 0) {
            avcodec_send_packet(decoder.get(), nullptr);   // the frames the decoder still holds
            flushed = true;
            continue;
        }
        if (packet->stream_index == stream) {
            ++packets;
            const int sent = avcodec_send_packet(decoder.get(), packet.get());
            if (sent < 0 && sent != AVERROR(EAGAIN) && sent != AVERROR_INVALIDDATA) {
                av_packet_unref(packet.get());
                return JQFL_UNSUPPORTED;
            }
        }
        av_packet_unref(packet.get());
    }
    return JQFL_UNSUPPORTED;
}

}  // namespace

bool isClip(const uint8_t* head, size_t size) {
    if (size < 12) return false;
    for (const char* type : {"ftyp", "moov", "mdat", "wide", "free", "skip"})
        if (std::memcmp(head + 4, type, 4) == 0) return true;
    return false;
}

int32_t firstClipFrame(const std::string& path, Raster& out) {
    quietLibraries();
    AVFormatContext* opened = nullptr;
    if (avformat_open_input(&opened, path.c_str(), nullptr, nullptr) < 0) return JQFL_UNSUPPORTED;
    std::unique_ptr<AVFormatContext, FormatCloser> format(opened);
    return decodeFirstFrame(format.get(), out);
}

int32_t firstClipFrame(const uint8_t* data, size_t size, Raster& out) {
    quietLibraries();
    MemoryInput input{data, size, 0};
    auto* buffer = static_cast<uint8_t*>(av_malloc(kIoBufferBytes));
    if (!buffer) return JQFL_NO_MEMORY;
    std::unique_ptr<AVIOContext, IoFree> io(
        avio_alloc_context(buffer, kIoBufferBytes, 0, &input, &readMemory, nullptr, &seekMemory));
    if (!io) {
        av_free(buffer);
        return JQFL_NO_MEMORY;
    }
    AVFormatContext* opened = avformat_alloc_context();
    if (!opened) return JQFL_NO_MEMORY;
    opened->pb = io.get();
    opened->flags |= AVFMT_FLAG_CUSTOM_IO;
    if (avformat_open_input(&opened, nullptr, nullptr, nullptr) < 0) return JQFL_UNSUPPORTED;   // frees opened
    std::unique_ptr<AVFormatContext, FormatCloser> format(opened);
    const int32_t rc = decodeFirstFrame(format.get(), out);
    format.reset();   // before the input it reads from
    return rc;
}

}  // namespace jqfl
