#pragma once

#include <string>

// Synthesizes the cassette signal of every tape image in a PTP file and
// writes it as one WAV file beside the input, with ".wav" in place of the
// extension.
void convertPtpToWav(const char* path);

// The output path: the input path with its last '.' and what follows replaced by ".wav".
std::string wavPathFor(const std::string& ptpPath);
