#include "formats/wav_layout.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "common/file_position.h"
#include "common/little_endian.h"

namespace {

constexpr std::int64_t kChunkHeaderBytes = 8;  // 4-byte id, 32-bit little-endian size
constexpr std::uint32_t kFmtFieldBytes = 16;   // the fields at offsets 20..35 of the canonical header
constexpr std::uint32_t kExtensibleFmtBytes = 40;
constexpr std::uint16_t kExtensibleFormat = 0xFFFE;
// The PCM SubFormat GUID of WAVE_FORMAT_EXTENSIBLE, as it stands in the file.
constexpr std::array<std::uint8_t, 16> kPcmSubFormat = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                                        0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

bool tagIs(const std::uint8_t* bytes, const char* tag) { return std::memcmp(bytes, tag, 4) == 0; }

bool isCanonical(const WavHeaderBytes& b) {
    return tagIs(&b[0], "RIFF") && tagIs(&b[8], "WAVE") && tagIs(&b[12], "fmt ") && readLe32(&b[16]) == 16 &&
           tagIs(&b[36], "data");
}

// Reads small pieces of the file at any offset through one window, so that
// a walk over many tiny chunks costs no seek per chunk.
struct FileWindow {
    std::FILE* stream;
    std::vector<std::uint8_t> bytes = std::vector<std::uint8_t>(65536);
    std::int64_t start = 0;  // file offset of bytes[0]
    std::int64_t held = 0;   // bytes of the window read from the file

    // Copies count bytes from offset; bytes past the end of the file read as zero.
    void read(std::int64_t offset, std::uint8_t* out, std::int64_t count) {
        std::memset(out, 0, static_cast<std::size_t>(count));
        if (offset < start || offset + count > start + held) {
            start = offset;
            held = 0;
            if (seekFile(stream, offset, SEEK_SET)) {
                held = static_cast<std::int64_t>(std::fread(bytes.data(), 1, bytes.size(), stream));
            }
        }
        const std::int64_t available = std::min(count, start + held - offset);
        if (available > 0)
            std::memcpy(out, bytes.data() + (offset - start), static_cast<std::size_t>(available));
    }
};

// The format fields of a "fmt " chunk, laid out as in the canonical header.
void takeFormat(const std::uint8_t* body, std::uint32_t size, WavHeader& header) {
    WavHeaderBytes canonical{};
    std::memcpy(&canonical[20], body, kFmtFieldBytes);
    const WavHeader fields = decodeWavHeader(canonical);
    header.audioFormat = fields.audioFormat;
    header.channelCount = fields.channelCount;
    header.sampleRate = fields.sampleRate;
    header.byteRate = fields.byteRate;
    header.blockAlign = fields.blockAlign;
    header.bitsPerSample = fields.bitsPerSample;
    // WAVE_FORMAT_EXTENSIBLE with the PCM SubFormat is plain PCM; the
    // container width decides, samples being left-justified in it.
    if (header.audioFormat == kExtensibleFormat && size >= kExtensibleFmtBytes &&
        std::memcmp(body + 24, kPcmSubFormat.data(), kPcmSubFormat.size()) == 0) {
        header.audioFormat = 1;
    }
}

// Walks the chunks from offset 12: the first "fmt " chunk of 16 bytes or
// more, then the first "data" chunk after it. False when there is no such pair.
bool walkChunks(std::FILE* stream, std::int64_t fileLength, WavLayout& layout) {
    FileWindow window{stream};
    bool formatFound = false;
    for (std::int64_t at = 12; at + kChunkHeaderBytes <= fileLength;) {
        std::uint8_t chunk[kChunkHeaderBytes];
        window.read(at, chunk, kChunkHeaderBytes);
        const std::uint32_t size = readLe32(chunk + 4);
        const std::int64_t body = at + kChunkHeaderBytes;
        if (!formatFound && tagIs(chunk, "fmt ") && size >= kFmtFieldBytes) {
            std::uint8_t fields[kExtensibleFmtBytes];
            window.read(body, fields, kExtensibleFmtBytes);
            takeFormat(fields, size, layout.header);
            formatFound = true;
        } else if (formatFound && tagIs(chunk, "data")) {
            // A streamed file may leave the size at 0 or all ones, or state
            // more than was written: then the samples run to the end.
            const std::int64_t available = fileLength - body;
            const bool sizeKnown = size != 0 && size != 0xFFFFFFFFu && size <= available;
            layout.dataOffset = body;
            layout.dataBytes = sizeKnown ? size : available;
            return true;
        }
        at = body + size + (size & 1);  // an odd chunk is followed by a pad byte
    }
    return false;
}

}  // namespace

WavLayout readWavLayout(std::FILE* stream, std::int64_t fileLength) {
    WavHeaderBytes bytes{};
    seekFile(stream, 0, SEEK_SET);
    std::size_t got = std::fread(bytes.data(), 1, bytes.size(), stream);
    (void)got;  // a short file leaves the missing fields zero

    WavLayout layout;
    layout.header = decodeWavHeader(bytes);
    const bool riffWave = tagIs(&bytes[0], "RIFF") && tagIs(&bytes[8], "WAVE");
    if (riffWave && !isCanonical(bytes)) {
        WavLayout walked;
        walked.header = layout.header;
        if (walkChunks(stream, fileLength, walked)) {
            walked.walked = true;
            return walked;
        }
    }
    const auto headerBytes = static_cast<std::int64_t>(kWavHeaderBytes);
    layout.dataOffset = headerBytes;
    layout.dataBytes = std::max<std::int64_t>(0, fileLength - headerBytes);
    return layout;
}
