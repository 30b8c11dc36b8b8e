// FlvFile: a video-only FLV recording of H.264 frames that the host has encoded.
//
// Every tag is built in place and written with one write call: the sequence tag in
// headData, each frame tag at the start of frameBuffer, which is allocated once at
// construction, so writing a frame allocates nothing. All multi-byte fields are
// big-endian; timestamps are milliseconds in 32-bit unsigned arithmetic, so a
// presentation time before its decoding time stores a negative composition offset
// in 24-bit two's complement.
#include <pubfunc/flvfile.h>

#include "platform/fs.h"
#include "platform/recording.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

namespace platform = pf::platform;

constexpr size_t kFrameBufferSize = 10692000;
// A video tag: the 11-byte FLV tag header and the 5-byte AVC packet header before
// the payload, the 4-byte previous-tag size after it.
constexpr size_t kTagHead = 16;
constexpr size_t kTagTail = 4;
constexpr size_t kMaxFrame = kFrameBufferSize - kTagHead - kTagTail;

constexpr unsigned char kFileHeader[13] = {'F', 'L', 'V', 1, 1, 0, 0, 0, 9, 0, 0, 0, 0};
constexpr unsigned char kVideoTag = 9;
// Frame type in the high nibble (1 key frame, 2 inter frame), codec 7 (AVC) in the low.
constexpr unsigned char kKeyFrameAvc = 0x17;
constexpr unsigned char kInterFrameAvc = 0x27;
constexpr unsigned char kSequenceHeader = 0;
constexpr unsigned char kNalUnits = 1;

void put24(unsigned char* p, uint32_t v) {
    p[0] = static_cast<unsigned char>(v >> 16);
    p[1] = static_cast<unsigned char>(v >> 8);
    p[2] = static_cast<unsigned char>(v);
}

// Fills in a video tag around a payload of size bytes that starts at tag +
// kTagHead: the head before it and the previous-tag size after it. The stream id
// (bytes 8 to 10) is always 0.
void buildTag(unsigned char* tag, uint32_t size, uint32_t timestamp, unsigned char frame,
              unsigned char packet, uint32_t composition) {
    tag[0] = kVideoTag;
    put24(tag + 1, size + 5);
    put24(tag + 4, timestamp);
    tag[7] = static_cast<unsigned char>(timestamp >> 24);
    put24(tag + 8, 0);
    tag[11] = frame;
    tag[12] = packet;
    put24(tag + 13, composition);
    const uint32_t tagSize = size + kTagHead;
    unsigned char* tail = tag + kTagHead + size;
    tail[0] = static_cast<unsigned char>(tagSize >> 24);
    put24(tail + 1, tagSize);
}

} // namespace

FlvFile::FlvFile()
    : frameBuffer(kFrameBufferSize, '\0'), headerWritten(false), baseTimestamp(0),
      openTried(false) {}

FlvFile::FlvFile(const FlvFile& other) = default;
FlvFile& FlvFile::operator=(const FlvFile& other) = default;

FlvFile::~FlvFile() {
    if (stream) {
        stream->close();
        stream.reset();
    }
}

// The folder is read only by the first checkValid, so a later change has no effect.
void FlvFile::setOutputFolder(const wchar16* folder) {
    outputFolder = folder ? folder : W16("");
}

bool FlvFile::checkValid() {
    if (stream) return true;
    if (openTried) return false;
    openTried = true;
    const wstring16 folder = outputFolder.empty() ? platform::recordingFolder() : outputFolder;
    // An existing folder is reported as a failure too; a real one shows in the open.
    platform::createFolderChain(reinterpret_cast<const unsigned short*>(folder.c_str()));
    const platform::LocalTime t = platform::localTime();
    char name[100];
    const int n = std::snprintf(name, sizeof name, "%04d%02d%02d %02d%02d%02d", t.year, t.month,
                                t.day, t.hour, t.minute, t.second);
    wstring16 path = folder + platform::pathSeparator();
    path.append(name, name + n); // digits and a blank: ASCII widens unchanged
    path += W16(".flv");
    stream = platform::openSharedOutput(path);
    return true;
}

// A frame too large for the frame buffer is refused before anything else, so the
// writer is left as it was (no file opened, no base timestamp taken) and the next
// frame that fits is handled as if the refused one had never come. Growing the
// buffer instead would allocate on the writing path. A null frame with a size is
// refused the same way.
void FlvFile::saveVideoRawH264Data(const std::string& avcConfig, unsigned char* data,
                                   unsigned int size, unsigned int pts, unsigned int dts,
                                   bool isKeyFrame) {
    if (size > kMaxFrame || (!data && size) || !checkValid()) return;
    if (isKeyFrame && baseTimestamp == 0) baseTimestamp = dts;
    if (baseTimestamp == 0) return;
    if (!headerWritten) {
        headerWritten = true;
        _initFlvHeadData(avcConfig);
    }
    const uint32_t decode = dts - baseTimestamp;
    const uint32_t composition = (pts - baseTimestamp) - decode;
    unsigned char* tag = reinterpret_cast<unsigned char*>(&frameBuffer[0]);
    buildTag(tag, size, decode, isKeyFrame ? kKeyFrameAvc : kInterFrameAvc, kNalUnits, composition);
    if (size) std::memcpy(tag + kTagHead, data, size);
    stream->write(frameBuffer.data(), std::streamsize(kTagHead + size + kTagTail));
}

void FlvFile::_initFlvHeadData(const std::string& avcConfig) {
    const uint32_t n = uint32_t(avcConfig.size());
    headData.assign(sizeof kFileHeader + kTagHead + n + kTagTail, '\0');
    unsigned char* head = reinterpret_cast<unsigned char*>(&headData[0]);
    std::memcpy(head, kFileHeader, sizeof kFileHeader);
    unsigned char* tag = head + sizeof kFileHeader;
    buildTag(tag, n, 0, kKeyFrameAvc, kSequenceHeader, 0);
    std::copy(avcConfig.begin(), avcConfig.end(), tag + kTagHead); // bytes, not text
    stream->write(headData.data(), std::streamsize(headData.size()));
}
