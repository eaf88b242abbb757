// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/FfmpegMediaInspector.h"

#include "library/LibraryLog.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QList>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/display.h>
#include <libavutil/log.h>
#include <libswscale/swscale.h>
}

namespace {

struct FormatCloser {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
struct CodecFreer {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct PacketFreer {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct FrameFreer {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct ScalerFreer {
    void operator()(SwsContext* context) const { sws_freeContext(context); }
};

using FormatPtr = std::unique_ptr<AVFormatContext, FormatCloser>;
using CodecPtr = std::unique_ptr<AVCodecContext, CodecFreer>;
using PacketPtr = std::unique_ptr<AVPacket, PacketFreer>;
using FramePtr = std::unique_ptr<AVFrame, FrameFreer>;
using ScalerPtr = std::unique_ptr<SwsContext, ScalerFreer>;

// A broken stream whose packets keep failing is given up on instead of being read to its end.
constexpr int kMaxDecodeErrors = 64;
// Keeps a wild sample aspect ratio with an unbounded box from asking for a giant image.
constexpr int kMaxPosterSide = 16384;

// The first decodable video stream of a file (cover art does not count), decoded frame by frame.
class VideoReader {
public:
    [[nodiscard]] bool open(const QString& path);
    // False at the end of the stream or when decoding cannot go on.
    [[nodiscard]] bool nextFrame(AVFrame* frame);
    // Decoding resumes at the keyframe at or before the given stream time; on failure it goes on from
    // where it was, which is still correct, only slower.
    void seekBefore(int64_t ticks);
    [[nodiscard]] int64_t ticksAt(double seconds) const;
    [[nodiscard]] double durationSeconds() const;
    [[nodiscard]] AVFormatContext* format() const { return m_format.get(); }
    [[nodiscard]] AVStream* stream() const { return m_stream; }

private:
    FormatPtr m_format;
    CodecPtr m_codec;
    PacketPtr m_packet;
    AVStream* m_stream = nullptr;
    bool m_draining = false;
    int m_errors = 0;
};

bool VideoReader::open(const QString& path) {
    if (path.isEmpty())
        return false;
    // The "file:" prefix keeps a name with a colon from reading as a protocol, and the whitelist keeps
    // a playlist inside the file from reaching anything but local files.
    const QByteArray url = "file:" + QFile::encodeName(path);
    AVDictionary* options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    AVFormatContext* rawFormat = nullptr;
    const int opened = avformat_open_input(&rawFormat, url.constData(), nullptr, &options);
    av_dict_free(&options);
    if (opened < 0) {
        char reason[AV_ERROR_MAX_STRING_SIZE] = {};
        av_strerror(opened, reason, sizeof reason);
        qCWarning(lcLibrary).noquote() << "FFmpeg cannot open" << path << "-" << reason;
        return false;
    }
    m_format.reset(rawFormat);
    // A playlist or a manifest is no video file: what it names is not the file that was checked.
    static const QList<QByteArray> referring{"hls", "dash", "concat", "imf"};
    if (referring.contains(QByteArray(m_format->iformat->name)))
        return false;
    if (avformat_find_stream_info(m_format.get(), nullptr) < 0)
        return false;

    const AVCodec* decoder = nullptr;
    for (unsigned i = 0; i < m_format->nb_streams; ++i) {
        AVStream* stream = m_format->streams[i];
        const bool isPicture =
            stream->disposition & (AV_DISPOSITION_ATTACHED_PIC | AV_DISPOSITION_TIMED_THUMBNAILS);
        const AVCodec* candidate = nullptr;
        if (!m_stream && stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO && !isPicture)
            candidate = avcodec_find_decoder(stream->codecpar->codec_id);
        if (candidate) {
            m_stream = stream;
            decoder = candidate;
        } else {
            stream->discard = AVDISCARD_ALL;
        }
    }
    if (!m_stream) {
        qCWarning(lcLibrary).noquote() << "FFmpeg finds no video stream it can decode in" << path;
        return false;
    }

    m_codec.reset(avcodec_alloc_context3(decoder));
    if (!m_codec || avcodec_parameters_to_context(m_codec.get(), m_stream->codecpar) < 0)
        return false;
    m_codec->pkt_timebase = m_stream->time_base;
    if (avcodec_open2(m_codec.get(), decoder, nullptr) < 0)
        return false;
    m_packet.reset(av_packet_alloc());
    return m_packet != nullptr;
}

bool VideoReader::nextFrame(AVFrame* frame) {
    for (;;) {
        const int received = avcodec_receive_frame(m_codec.get(), frame);
        if (received >= 0)
            return true;
        if (received != AVERROR(EAGAIN) || m_draining)
            return false;

        if (av_read_frame(m_format.get(), m_packet.get()) < 0) {
            m_draining = true;
            avcodec_send_packet(m_codec.get(), nullptr);
            continue;
        }
        if (m_packet->stream_index == m_stream->index) {
            if (avcodec_send_packet(m_codec.get(), m_packet.get()) < 0 && ++m_errors > kMaxDecodeErrors) {
                av_packet_unref(m_packet.get());
                return false;
            }
        }
        av_packet_unref(m_packet.get());
    }
}

void VideoReader::seekBefore(int64_t ticks) {
    if (av_seek_frame(m_format.get(), m_stream->index, ticks, AVSEEK_FLAG_BACKWARD) < 0)
        return;
    avcodec_flush_buffers(m_codec.get());
    m_draining = false;
}

int64_t VideoReader::ticksAt(double seconds) const {
    const double clamped = std::isfinite(seconds) ? std::clamp(seconds, 0.0, 1.0e7) : 0.0;
    const int64_t start = m_stream->start_time != AV_NOPTS_VALUE ? m_stream->start_time : 0;
    return start + av_rescale_q(std::llround(clamped * AV_TIME_BASE), AV_TIME_BASE_Q, m_stream->time_base);
}

double VideoReader::durationSeconds() const {
    if (m_format->duration != AV_NOPTS_VALUE && m_format->duration >= 0)
        return static_cast<double>(m_format->duration) / AV_TIME_BASE;
    if (m_stream->duration != AV_NOPTS_VALUE && m_stream->duration >= 0)
        return static_cast<double>(m_stream->duration) * av_q2d(m_stream->time_base);
    return std::numeric_limits<double>::quiet_NaN();
}

// The display matrix snapped to the nearest of the eight right-angle orientations. In image
// coordinates (y down) a pixel (p, q) of the decoded frame shows at (a·p + c·q, b·p + d·q), moved back
// into the image.
struct Orientation {
    int a = 1, b = 0, c = 0, d = 1;

    [[nodiscard]] bool swapsAxes() const { return a == 0; }
    [[nodiscard]] bool isIdentity() const { return a == 1 && b == 0 && c == 0 && d == 1; }
};

Orientation orientationOf(const int32_t* matrix) {
    if (!matrix)
        return {};
    const auto sign = [](int32_t value) { return value < 0 ? -1 : 1; };
    if (std::abs(double(matrix[0])) + std::abs(double(matrix[4])) >=
        std::abs(double(matrix[1])) + std::abs(double(matrix[3])))
        return {sign(matrix[0]), 0, 0, sign(matrix[4])};
    return {0, sign(matrix[1]), sign(matrix[3]), 0};
}

const int32_t* displayMatrix(const AVStream* stream, const AVFrame* frame) {
    size_t size = 0;
    const uint8_t* data = av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, &size);
    if (data && size >= 9 * sizeof(int32_t))
        return reinterpret_cast<const int32_t*>(data);
    const AVFrameSideData* side = av_frame_get_side_data(frame, AV_FRAME_DATA_DISPLAYMATRIX);
    if (side && side->size >= 9 * sizeof(int32_t))
        return reinterpret_cast<const int32_t*>(side->data);
    return nullptr;
}

QImage oriented(const QImage& source, Orientation orientation) {
    if (orientation.isIdentity())
        return source;
    const int width = source.width();
    const int height = source.height();
    QImage result(orientation.swapsAxes() ? QSize(height, width) : QSize(width, height), source.format());
    if (result.isNull())
        return result;
    const Orientation& o = orientation;
    const int shiftX = (o.a < 0 ? width - 1 : 0) + (o.c < 0 ? height - 1 : 0);
    const int shiftY = (o.b < 0 ? width - 1 : 0) + (o.d < 0 ? height - 1 : 0);
    uchar* bits = result.bits();
    const qsizetype stride = result.bytesPerLine();
    for (int q = 0; q < height; ++q) {
        const auto* line = reinterpret_cast<const QRgb*>(source.constScanLine(q));
        for (int p = 0; p < width; ++p) {
            const int x = o.a * p + o.c * q + shiftX;
            const int y = o.b * p + o.d * q + shiftY;
            reinterpret_cast<QRgb*>(bits + y * stride)[x] = line[p];
        }
    }
    return result;
}

// The largest size with the given proportions that fits in the box without growing.
QSize fittedSize(double width, double height, QSize box) {
    double scale = 1.0;
    if (box.width() > 0)
        scale = std::min(scale, box.width() / width);
    if (box.height() > 0)
        scale = std::min(scale, box.height() / height);
    const auto side = [](double length, int limit) {
        const int bound = limit > 0 ? std::min(limit, kMaxPosterSide) : kMaxPosterSide;
        return int(std::clamp<double>(std::round(length), 1.0, bound));
    };
    return {side(width * scale, box.width()), side(height * scale, box.height())};
}

// Colour spaces the file leaves open are guessed the way players do: BT.709 for HD, BT.601 below.
void useFrameColorspace(SwsContext* scaler, const AVFrame* frame) {
    int* inverseTable = nullptr;
    int* table = nullptr;
    int sourceRange = 0, destinationRange = 0, brightness = 0, contrast = 0, saturation = 0;
    if (sws_getColorspaceDetails(scaler, &inverseTable, &sourceRange, &table, &destinationRange, &brightness,
                                 &contrast, &saturation) < 0)
        return;
    int colorspace = frame->colorspace;
    if (colorspace == AVCOL_SPC_UNSPECIFIED)
        colorspace = frame->height >= 720 ? SWS_CS_ITU709 : SWS_CS_DEFAULT;
    if (frame->color_range == AVCOL_RANGE_JPEG)
        sourceRange = 1;
    sws_setColorspaceDetails(scaler, sws_getCoefficients(colorspace), sourceRange, table, destinationRange,
                             brightness, contrast, saturation);
}

// The frame as an image of the given size, before orientation.
QImage scaledImage(const AVFrame* frame, QSize size) {
    ScalerPtr scaler(sws_getContext(frame->width, frame->height, static_cast<AVPixelFormat>(frame->format),
                                    size.width(), size.height(), AV_PIX_FMT_RGB32, SWS_BICUBIC, nullptr,
                                    nullptr, nullptr));
    if (!scaler)
        return {};
    useFrameColorspace(scaler.get(), frame);
    FramePtr rgb(av_frame_alloc());
    if (!rgb)
        return {};
    rgb->format = AV_PIX_FMT_RGB32;
    rgb->width = size.width();
    rgb->height = size.height();
    if (av_frame_get_buffer(rgb.get(), 0) < 0)
        return {};
    if (sws_scale(scaler.get(), frame->data, frame->linesize, 0, frame->height, rgb->data, rgb->linesize) <=
        0)
        return {};
    // AV_PIX_FMT_RGB32 is native-endian 0xAARRGGBB, the layout of QImage::Format_ARGB32.
    QImage image(size, QImage::Format_ARGB32);
    if (image.isNull())
        return {};
    for (int y = 0; y < size.height(); ++y)
        std::memcpy(image.scanLine(y), rgb->data[0] + qsizetype(y) * rgb->linesize[0],
                    size_t(size.width()) * 4);
    return image;
}

std::optional<QByteArray> encodeJpeg(const QImage& image, int quality) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly))
        return std::nullopt;
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(std::clamp(quality, 0, 100));
    if (!writer.write(image))
        return std::nullopt;
    return bytes;
}

// Decodes forward to the first frame at or after the target, or the last frame when the stream ends
// first.
FramePtr frameAt(VideoReader& reader, int64_t target) {
    FramePtr frame(av_frame_alloc());
    FramePtr kept(av_frame_alloc());
    if (!frame || !kept)
        return nullptr;
    bool haveFrame = false;
    while (reader.nextFrame(frame.get())) {
        av_frame_unref(kept.get());
        av_frame_move_ref(kept.get(), frame.get());
        haveFrame = true;
        const int64_t pts = kept->best_effort_timestamp;
        if (pts != AV_NOPTS_VALUE && pts >= target)
            break;
    }
    if (!haveFrame || kept->width <= 0 || kept->height <= 0)
        return nullptr;
    return kept;
}

std::optional<QByteArray> posterOf(VideoReader& reader, AVFrame* frame, QSize maxSize, int quality) {
    const Orientation orientation = orientationOf(displayMatrix(reader.stream(), frame));
    const AVRational aspect = av_guess_sample_aspect_ratio(reader.format(), reader.stream(), frame);
    const double displayWidth = frame->width * (aspect.num > 0 && aspect.den > 0 ? av_q2d(aspect) : 1.0);
    const double displayHeight = frame->height;
    const QSize size = orientation.swapsAxes() ? fittedSize(displayHeight, displayWidth, maxSize).transposed()
                                               : fittedSize(displayWidth, displayHeight, maxSize);
    const QImage image = oriented(scaledImage(frame, size), orientation);
    if (image.isNull())
        return std::nullopt;
    return encodeJpeg(image, quality);
}

} // namespace

FfmpegMediaInspector::FfmpegMediaInspector() {
    // The level is process-wide; a function-local static makes setting it once safe across threads.
    static const bool quiet = [] {
        av_log_set_level(AV_LOG_QUIET);
        return true;
    }();
    Q_UNUSED(quiet);
}

namespace {
// FFmpeg reads a picture as a video of one frame; a still image is no wallpaper video.
bool isStillImage(const AVFormatContext* format) {
    const QByteArray name(format->iformat->name);
    return name == "image2" || name.endsWith("_pipe");
}
} // namespace

std::optional<double> FfmpegMediaInspector::probeVideo(const QString& path) const {
    VideoReader reader;
    if (!reader.open(path) || isStillImage(reader.format()))
        return std::nullopt;
    FramePtr frame(av_frame_alloc());
    if (!frame || !reader.nextFrame(frame.get()))
        return std::nullopt;
    return reader.durationSeconds();
}

std::optional<QByteArray> FfmpegMediaInspector::posterJpeg(const QString& path, double atSeconds,
                                                           QSize maxSize, int quality) const {
    // A seek can land where nothing decodes, such as between the rare keyframes of a stream without an
    // index; decoding from the start then still reaches the frame.
    for (const bool seek : {true, false}) {
        VideoReader reader;
        if (!reader.open(path))
            return std::nullopt;
        const int64_t target = reader.ticksAt(atSeconds);
        const bool seeks = seek && target > reader.ticksAt(0);
        if (seeks)
            reader.seekBefore(target);
        if (const FramePtr frame = frameAt(reader, target))
            return posterOf(reader, frame.get(), maxSize, quality);
        if (!seeks)
            break;
    }
    return std::nullopt;
}
