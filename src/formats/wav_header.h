#pragma once

#include <array>
#include <cstdint>

// The 44-byte canonical RIFF/WAVE PCM header: a 16-byte "fmt " chunk followed
// directly by the "data" chunk, so that the samples start at byte 44. Every
// WAV file the program writes has it; files with other layouts are read as
// formats/wav_layout.h describes.
struct WavHeader {
    std::array<char, 4> riffTag{};    // "RIFF"
    std::uint32_t riffSize = 0;       // file length - 8
    std::array<char, 4> waveTag{};    // "WAVE"
    std::array<char, 4> fmtTag{};     // "fmt "
    std::uint32_t fmtSize = 0;        // 16, the length of the format fields
    std::uint16_t audioFormat = 0;    // 1 = PCM
    std::uint16_t channelCount = 0;   // 1 = mono
    std::uint32_t sampleRate = 0;     // samples per second
    std::uint32_t byteRate = 0;       // bytes per second
    std::uint16_t blockAlign = 0;     // bytes per (mono) sample
    std::uint16_t bitsPerSample = 0;  // 8, 16, 24 or 32
    std::array<char, 4> dataTag{};    // "data"
    std::uint32_t dataSize = 0;       // sample bytes that follow, file length - 44
};

inline constexpr std::size_t kWavHeaderBytes = 44;
using WavHeaderBytes = std::array<std::uint8_t, kWavHeaderBytes>;

WavHeader decodeWavHeader(const WavHeaderBytes& bytes);
WavHeaderBytes encodeWavHeader(const WavHeader& header);

// The only header the decoder takes: PCM, mono, 8, 16, 24 or 32 bits.
bool wavHeaderAccepted(const WavHeader& header);

// A size for a 32-bit header field; sizes that do not fit are written as all ones.
std::uint32_t headerSizeField(std::int64_t size);

// The header of a canonical mono PCM file, with both size fields 0.
WavHeader makePcmHeader(std::uint32_t sampleRate, std::uint16_t bitsPerSample);
