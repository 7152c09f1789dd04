#include "formats/wav_header.h"

#include <cstring>

#include "common/little_endian.h"

WavHeader decodeWavHeader(const WavHeaderBytes& bytes) {
    const std::uint8_t* b = bytes.data();
    WavHeader header;
    std::memcpy(header.riffTag.data(), b + 0, 4);
    header.riffSize = readLe32(b + 4);
    std::memcpy(header.waveTag.data(), b + 8, 4);
    std::memcpy(header.fmtTag.data(), b + 12, 4);
    header.fmtSize = readLe32(b + 16);
    header.audioFormat = readLe16(b + 20);
    header.channelCount = readLe16(b + 22);
    header.sampleRate = readLe32(b + 24);
    header.byteRate = readLe32(b + 28);
    header.blockAlign = readLe16(b + 32);
    header.bitsPerSample = readLe16(b + 34);
    std::memcpy(header.dataTag.data(), b + 36, 4);
    header.dataSize = readLe32(b + 40);
    return header;
}

WavHeaderBytes encodeWavHeader(const WavHeader& header) {
    WavHeaderBytes bytes{};
    std::uint8_t* b = bytes.data();
    std::memcpy(b + 0, header.riffTag.data(), 4);
    writeLe32(b + 4, header.riffSize);
    std::memcpy(b + 8, header.waveTag.data(), 4);
    std::memcpy(b + 12, header.fmtTag.data(), 4);
    writeLe32(b + 16, header.fmtSize);
    writeLe16(b + 20, header.audioFormat);
    writeLe16(b + 22, header.channelCount);
    writeLe32(b + 24, header.sampleRate);
    writeLe32(b + 28, header.byteRate);
    writeLe16(b + 32, header.blockAlign);
    writeLe16(b + 34, header.bitsPerSample);
    std::memcpy(b + 36, header.dataTag.data(), 4);
    writeLe32(b + 40, header.dataSize);
    return bytes;
}

bool wavHeaderAccepted(const WavHeader& header) {
    const std::uint16_t bits = header.bitsPerSample;
    return header.channelCount == 1 && header.audioFormat == 1 &&
           (bits == 8 || bits == 16 || bits == 24 || bits == 32);
}

std::uint32_t headerSizeField(std::int64_t size) {
    if (size < 0) return 0;
    if (size > 0xFFFFFFFFLL) return 0xFFFFFFFFu;
    return static_cast<std::uint32_t>(size);
}

WavHeader makePcmHeader(std::uint32_t sampleRate, std::uint16_t bitsPerSample) {
    WavHeader header;
    std::memcpy(header.riffTag.data(), "RIFF", 4);
    std::memcpy(header.waveTag.data(), "WAVE", 4);
    std::memcpy(header.fmtTag.data(), "fmt ", 4);
    std::memcpy(header.dataTag.data(), "data", 4);
    header.fmtSize = 16;
    header.audioFormat = 1;
    header.channelCount = 1;
    header.sampleRate = sampleRate;
    header.byteRate = static_cast<std::uint32_t>(std::uint64_t{bitsPerSample} * sampleRate / 8);
    header.blockAlign = static_cast<std::uint16_t>(bitsPerSample / 8);
    header.bitsPerSample = bitsPerSample;
    return header;
}
