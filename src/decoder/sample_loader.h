#pragma once

#include <cstdint>
#include <string>

// Loads a WAV recording for decoding: sets pathBase to the input path without
// its extension, reads and checks the header (taking the channel -c names
// from a multichannel recording), reduces every sample to one
// unsigned byte in the SampleBuffer, cleans away short notches, creates the
// output directory and writes the cleaned 8-bit WAV into it.
void loadWavSamples(const char* path);

// The same without the outputs and pathBase: the samples of the channel
// given (wav_input.h) loaded and cleaned, the directory not made and no
// cleaned copy written. `input` is closed on return.
struct WavInput;
void readWavSamples(const char* path, int channel, WavInput& input);

// Reduces count samples of the given width, little-endian, the first at
// `first` and each `stride` bytes after the one before, to one unsigned byte
// each: 8-bit samples stay as they are; wider ones keep their most
// significant byte with its top bit inverted (signed to offset binary).
void reduceSamples(const std::uint8_t* first, std::int64_t count, int bitsPerSample, std::int64_t stride,
                   std::uint8_t* out);

// Creates the output directory; an existing one, or a failure, is not reported.
void createOutputDirectory(const std::string& directory);

// The cleaned WAV's path inside the output directory: "rec" gives "rec/rec.wav".
std::string cleanedWavPath(const std::string& directory);
