#!/usr/bin/env python3
"""Plants single-line faults in src/ and runs the tests against each (standard library only).

Called by scripts/mutation-check.sh. Copies the repository (without build
directories, .git and out/) to a scratch directory, builds it there with
warnings as errors, checks that the tests pass, and then applies the mutants
below one at a time: each is built incrementally and tested with the README's
test command (ctest of the scratch copy's build-tests, two jobs, stopping at
the first failure, a time limit per test). A mutant is killed when a test
fails (or crashes or times out), and survives when every test passes. The
working tree is never touched; the scratch copy keeps its build between runs.

A mutant is one edit: the exact original text, which must occur exactly once
in its file, and its replacement. Every mutant must compile and must be able
to change what the program does; a mutant that no test kills carries, in
`survives`, the reason no test can see it or why that is acceptable.

Prints killed/survived per file and the score; exits with status 1 when the
score is below the threshold (90 %), when a survivor is unexplained, or when
a mutant is stale (its text not found once) or does not compile.
"""
import argparse
import collections
import json
import os
import shutil
import subprocess
import sys
import time

Mutant = collections.namedtuple('Mutant', 'file original replacement description survives', defaults=(None,))

# The faults, grouped by file, about in proportion to each part's share of
# the program. Descriptions say what the fault does, in the program's terms.
MUTANTS = [
    # ---------------------------------------------------------------- command line
    Mutant('src/cli/command_line.cpp', 'if (argc < 2) {', 'if (argc < 1) {',
           'usage only without a program name: no input reaches the extension check'),
    Mutant('src/cli/command_line.cpp', 'extension == input || extension[-1] == \'/\')',
           'extension == input)', 'a bare extension after a folder (tapes/.wav) is accepted'),
    Mutant('src/cli/command_line.cpp', "argument[1] < 'a' || argument[1] > 'z'",
           "argument[1] < 'A' || argument[1] > 'z'", 'an upper-case option letter passes as an option'),
    Mutant('src/cli/command_line.cpp', 'if (i + 1 >= argc) reportFailure', 'if (i + 1 > argc) reportFailure',
           'an option without its value at the end of the line is not reported'),
    Mutant('src/cli/command_line.cpp', 'if (direction == Direction::wavToPtp && rescueRequested()) {',
           'if (rescueRequested()) {', '-r I sends a PTP input to the rescue decoder'),
    Mutant('src/cli/option_table.cpp', "return c == ' ' || c == '\\t'", "return c == '\\t'",
           'leading spaces of an option value are not skipped'),
    Mutant('src/cli/option_table.cpp', "negative = *text == '-';", "negative = *text == '+';",
           'the sign of an option value is read the wrong way round'),
    Mutant('src/cli/option_table.cpp', "*text >= '0' && *text <= '9'", "*text >= '0' && *text < '9'",
           'the digit 9 ends an option value'),
    Mutant('src/cli/usage_text.cpp', '"     8 (ez a default érték), 16, 24, 32\\n"',
           '"     8 (ez a default érték), 16, 24\\n"', 'usage text: a width missing from the -b line'),
    Mutant('src/cli/usage_text.cpp', '"     lehetéges értékek 100-5000\\n"', '"     lehetéges értékek 100-500\\n"',
           'usage text: the wrong range for -s'),

    # ---------------------------------------------------------------- common
    Mutant('src/common/input_file.cpp', 'if (std::filesystem::is_directory(path, error)) return nullptr;',
           '(void)error;', 'a directory as input is opened like a file'),
    Mutant('src/common/output_file.cpp', 'if (std::fwrite(bytes, 1, count, file.stream) != count) failWrite(file);',
           'std::size_t written = std::fwrite(bytes, 1, count, file.stream);\n    (void)written;',
           'a failed write is not checked (the run goes on until the file is closed)'),
    Mutant('src/common/output_file.cpp', 'if (!flushed || !closed) reportFailure(kWriteFailedMessage, file.path.c_str());',
           '(void)flushed, (void)closed;', 'a failed flush or close of an output file passes unreported'),
    Mutant('src/common/little_endian.h', 'writeLe16(bytes + 2, value >> 16);', 'writeLe16(bytes + 2, value >> 8);',
           '32-bit fields written with the wrong upper half'),

    # ---------------------------------------------------------------- file formats
    Mutant('src/formats/wav_header.cpp', 'header.channelCount = readLe16(b + 22);',
           'header.channelCount = readLe16(b + 20);', 'the channel count read from the format field'),
    Mutant('src/formats/wav_header.cpp', 'writeLe32(b + 28, header.byteRate);', 'writeLe32(b + 28, header.sampleRate);',
           'the sample rate written where the byte rate belongs'),
    Mutant('src/formats/wav_header.cpp', 'return header.channelCount == 1 &&', 'return header.channelCount <= 1 &&',
           'a header with 0 channels is accepted'),
    Mutant('src/formats/wav_header.cpp', 'if (size > 0xFFFFFFFFLL) return 0xFFFFFFFFu;', '',
           'a size past 4 GiB wraps instead of saturating'),
    Mutant('src/formats/wav_header.cpp', 'header.fmtSize = 16;', 'header.fmtSize = 18;',
           'a wrong "fmt " chunk size in written headers'),
    Mutant('src/formats/wav_layout.cpp', 'tagIs(chunk, "fmt ") && size >= kFmtFieldBytes',
           'tagIs(chunk, "fmt ") && size > kFmtFieldBytes', 'a walk skips a format chunk of exactly 16 bytes'),
    Mutant('src/formats/wav_layout.cpp', 'at = body + size + (size & 1);', 'at = body + size;',
           'the pad byte after an odd chunk is not skipped'),
    Mutant('src/formats/wav_layout.cpp', 'size >= kExtensibleFmtBytes', 'size > kExtensibleFmtBytes',
           'an extensible format chunk of exactly 40 bytes is not recognised'),
    Mutant('src/formats/wav_layout.cpp', 'layout.dataBytes = std::max<std::int64_t>(0, fileLength - headerBytes);',
           'layout.dataBytes = fileLength - headerBytes;', 'a file shorter than its header has a negative size'),
    Mutant('src/formats/ptp_image.cpp', 'seekOutput(file, 1);', 'seekOutput(file, 0);',
           'the image length written over the image marker'),
    Mutant('src/formats/ptp_image.cpp', 'if (header[0] != kRecordType && header[0] != kLastRecordType) {',
           'if (header[0] != kRecordType) {', 'a last record (0xAA) is refused'),
    Mutant('src/formats/ptp_image.h', 'return header[1] + 256u * header[2];', 'return header[2] + 256u * header[1];',
           'a record length read big-endian'),

    # ---------------------------------------------------------------- encoder
    Mutant('src/encoder/encoder_settings.cpp', '{8000, 11050, 16000, 22050, 44100, 48000}',
           '{8000, 11025, 16000, 22050, 44100, 48000}', '-m 11 gives 11025 Hz instead of 11050'),
    Mutant('src/encoder/encoder_settings.cpp', 'width == 16 || width == 24 || width == 32',
           'width == 16 || width == 32', '-b 24 is ignored'),
    Mutant('src/encoder/encoder_settings.cpp', 'std::ceil(settings.encRate * 312.0 / 1000000.0)',
           'std::round(settings.encRate * 312.0 / 1000000.0)', 'the unit of 312 µs rounded instead of rounded up'),
    Mutant('src/encoder/encoder_settings.cpp', 'value > 2 * static_cast<std::int64_t>(settings.halfBitSamples)',
           'value >= 2 * static_cast<std::int64_t>(settings.halfBitSamples)', '-f 2h (the triangle) becomes a sine'),
    Mutant('src/encoder/bit_waveform.cpp', 'one ? 2 * h : 6 * h', 'one ? 2 * h : 3 * h',
           'the sine of a 0 bit half as long'),
    Mutant('src/encoder/bit_waveform.cpp', '128 + rounded(-128.0 * v)', '128 + rounded(-127.0 * v)',
           'the negative full scale of 8-bit samples one short'),
    Mutant('src/encoder/bit_waveform.cpp',
           'if (settings.encShape >= 2) out.push_back(zeroLevel());\n    for (double v : levels) out.push_back(negativeSample',
           'if (settings.encShape > 2) out.push_back(zeroLevel());\n    for (double v : levels) out.push_back(negativeSample',
           'shape 2 loses the zero sample after its positive half-wave'),
    Mutant('src/encoder/bit_waveform.cpp', 'static_cast<std::size_t>(now) * sample.size());',
           'static_cast<std::size_t>(now));', 'silence written short for samples wider than 8 bits'),
    Mutant('src/encoder/ptp_to_wav.cpp', 'constexpr int kLeadInBytes = 512;', 'constexpr int kLeadInBytes = 256;',
           'a lead-in of half the length'),
    Mutant('src/encoder/ptp_to_wav.cpp', 'renderByte(out, kEndMark);\n            return;',
           'renderByte(out, kEndMark);', 'a last record does not end its image'),
    Mutant('src/encoder/ptp_to_wav.cpp', 'header.riffSize = headerSizeField(length - 8);',
           'header.riffSize = headerSizeField(length);', 'the RIFF size counts its own header'),
    Mutant('src/encoder/ptp_to_wav.cpp', 'closeOutputFile(out);\n    endRun(1);', 'closeOutputFile(out);\n    endRun(0);',
           'a malformed PTP file ends with status 0'),

    # ---------------------------------------------------------------- bit decoder
    Mutant('src/decoder/bit_decoder.cpp', 'samples[state.samplePos] > 128 ? 1 : -1',
           'samples[state.samplePos] >= 128 ? 1 : -1', 'a sample of exactly 128 counts as high'),
    Mutant('src/decoder/bit_decoder.cpp', 'run.highRunLength >= runLimit || run.lowRunLength >= runLimit',
           'run.highRunLength > runLimit || run.lowRunLength > runLimit', 'a run at the lead-in limit passes as lead-in'),
    Mutant('src/decoder/bit_decoder.cpp', 'sampleRate() * 60 / 22050', 'sampleRate() * 60 / 44100',
           'the lead-in run limit half as long'),
    Mutant('src/decoder/bit_decoder.cpp', 'std::round(static_cast<double>(sampleRate())',
           'std::floor(static_cast<double>(sampleRate())', '-s converted to samples rounding down'),
    Mutant('src/decoder/bit_decoder.cpp', 'run.bestHalf <= run.separator ? 1 : 0', 'run.bestHalf < run.separator ? 1 : 0',
           'a half-wave equal to the separator reads as 0'),
    Mutant('src/decoder/bit_decoder.cpp', "(first[0] == 'H' || first[0] == 'h')", "(first[0] == 'H')",
           '-j h (lower case) is not taken for low first'),
    Mutant('src/decoder/bit_decoder.cpp', 'state.blockDeadline < state.samplePos ||', 'state.blockDeadline <= state.samplePos ||',
           'a cell ending exactly on the block deadline is too late'),
    Mutant('src/decoder/bit_decoder.cpp', 'return byte == 0x55 || byte == 0xAA', 'return byte == 0xAA',
           'a lead-in shifted by one bit (0x55) counts toward the idle limit'),
    Mutant('src/decoder/bit_decoder.cpp', 'state.preambleRunCount = 0;\n    state.idleByteCount = 0;',
           'state.preambleRunCount = 0;', 'a restart keeps the idle count'),
    Mutant('src/decoder/bit_decoder.cpp', '? run.runPolarity < 0 : run.runPolarity > 0',
           '? run.runPolarity > 0 : run.runPolarity < 0', 'the lock takes the cells\' polarity the wrong way round'),
    Mutant('src/decoder/bit_decoder.cpp', 'if (state.preambleRunCount <= kLeadInLockChanges) return;',
           'if (state.preambleRunCount < kLeadInLockChanges) return;', 'the lock comes one lead-in change early'),

    # ---------------------------------------------------------------- block framing
    Mutant('src/decoder/block_framing.cpp', 'if (state.bitCount - 40 <= 8 * n) return false;',
           'if (state.bitCount - 40 < 8 * n) return false;', 'a name block ends a byte early'),
    Mutant('src/decoder/block_framing.cpp', 'consolePrint(" %c\\n", checksumMark(n + 4));',
           'consolePrint(" %c\\n", checksumMark(n + 3));', 'a data block\'s checksum over one byte too few'),
    Mutant('src/decoder/block_framing.cpp', 'static_cast<std::int64_t>(decoderHeader.sampleRate);',
           'static_cast<std::int64_t>(decoderHeader.sampleRate) / 2;', 'half a second, not one, after a 0xB9 block'),
    Mutant('src/decoder/block_framing.cpp', '    state.syncLocked = false;\n    state.preambleRunTotal = 0;\n',
           '    state.syncLocked = false;\n', 'an end block leaves the lead-in sum of its program'),
    Mutant('src/decoder/block_framing.cpp', '    state.preambleRunCount = 0;\n    state.idleByteCount = 0;\n}',
           '    state.idleByteCount = 0;\n}', 'an end block leaves the lead-in count of its program'),
    Mutant('src/decoder/block_framing.cpp', 'if (state.bitCount > kLastBlockBit) {', 'if (state.bitCount >= kLastBlockBit) {',
           'the block length cap one byte short'),
    Mutant('src/decoder/block_framing.cpp', 'if (bitCount < 56) return false;', 'if (bitCount < 48) return false;',
           'a 0xB9 block ends a byte early'),
    Mutant('src/decoder/block_kinds.h', 'for (int i = 1; i <= n; ++i) sum += block[i];',
           'for (int i = 0; i <= n; ++i) sum += block[i];', 'the checksum counts the type byte'),
    Mutant('src/decoder/block_kinds.h', 'if (type >= 0xF0 || type == 0x0C)', 'if (type > 0xF0 || type == 0x0C)',
           'type 0xF0 is no data block'),
    Mutant('src/decoder/block_kinds.h', 'lengthByte == 0 ? 256 : lengthByte', 'lengthByte == 0 ? 255 : lengthByte',
           'a length byte of 0 taken for 255'),

    # ---------------------------------------------------------------- program files
    Mutant('src/decoder/program_files.cpp', "table[0x5D] = 'A';", "table[0x5D] = 'a';",
           'a wrong letter for an accented name character'),
    Mutant('src/decoder/program_files.cpp', 'std::to_string(number);', 'std::to_string(number % 100);',
           'file numbers wrap after 99'),
    Mutant('src/decoder/program_files.cpp', 'if (!state.headerlessOutput) completePtpImage(state.outFile);',
           'completePtpImage(state.outFile);', 'a headerless record file gets an image length written into it'),
    Mutant('src/decoder/program_files.cpp', 'if (state.rawOutput || !outputIsOpen(state.outFile)) return;',
           'if (!outputIsOpen(state.outFile)) return;', 'a 0xB9 block is written into a raw (.ass) file'),
    Mutant('src/decoder/program_files.cpp', 'i < length && name[i] != 0; ++i', 'i < length; ++i',
           'a name does not end at its first NUL byte'),

    # ---------------------------------------------------------------- loading
    Mutant('src/decoder/sample_loader.cpp', '((sample >> 8) ^ 0x80)', '(sample >> 8)',
           '16-bit samples keep their sign bit'),
    Mutant('src/decoder/sample_loader.cpp', 'const std::uint8_t* top = first + sampleBytes - 1;',
           'const std::uint8_t* top = first + sampleBytes - 2;', 'the byte below the top one of a wide sample'),
    Mutant('src/decoder/sample_loader.cpp', 'block.stride, samples + stored);', 'block.stride, samples);',
           'every read block stored at the start of the buffer'),
    Mutant('src/decoder/sample_loader.cpp', 'cleanPulses(samples, sampleCount);', '',
           'the samples are not cleaned'),
    Mutant('src/decoder/sample_loader.cpp', 'directory.substr(slash)', 'directory.substr(slash + 1)',
           'the cleaned WAV beside, not inside, its folder'),
    Mutant('src/decoder/wav_input.cpp', 'channel >= 1 && channel <= header.channelCount',
           'channel >= 1 && channel < header.channelCount', '-c cannot name the last channel'),
    Mutant('src/decoder/wav_input.cpp', '? (channel - 1) * input.sampleBytes : 0', '? channel * input.sampleBytes : 0',
           '-c counts channels from 0'),
    Mutant('src/decoder/wav_input.cpp', 'if (input.layout.walked)\n', 'if (!input.layout.walked)\n',
           'a walked file is read past its data chunk'),
    Mutant('src/decoder/wav_input.cpp', 'if (input.channelChosen) header.channelCount = 1;', '',
           'the cleaned copy of one channel keeps the input\'s channel count'),
    Mutant('src/decoder/wav_input.cpp', 'header.byteRate = header.sampleRate;', '',
           'the cleaned copy keeps the input\'s byte rate'),
    Mutant('src/decoder/decoder_state.cpp', 'if (decoderHeader.sampleRate == 0) return 0.0;', '',
           'times divide by a sample rate of 0'),

    # ---------------------------------------------------------------- search and cleaning
    Mutant('src/decoder/best_fit_search.cpp', 'if (score <= bestScore) {', 'if (score < bestScore) {',
           'on equal scores the shorter candidate wins'),
    Mutant('src/decoder/best_fit_search.cpp', 'return kHighFirst ? start[k] < 128 : start[k] > 128;',
           'return kHighFirst ? start[k] <= 128 : start[k] > 128;', 'a sample of 128 counts as wrong in a high half'),
    Mutant('src/decoder/best_fit_search.cpp', 'return 6 * i / 5 + 1;', 'return 6 * i / 5;',
           'the second half\'s range starts one offset early'),
    Mutant('src/decoder/pulse_cleaning.cpp', 'const bool peak = a <= kHigh && c <= kHigh && m > a && m > c;',
           'const bool peak = a < kHigh && c < kHigh && m > a && m > c;', 'a peak between samples of 128 is kept'),
    Mutant('src/decoder/pulse_cleaning.cpp', 'w[2] = static_cast<std::uint8_t>((a + 2 * d) / 3);',
           'w[2] = static_cast<std::uint8_t>((2 * a + d) / 3);', 'a two-sample notch smoothed to a flat step'),
    Mutant('src/decoder/pulse_cleaning.cpp', 'PipelinedSweeps<TwoSampleNotch>(samples, count - 4)',
           'PipelinedSweeps<TwoSampleNotch>(samples, count - 5)', 'the last two-sample window is never looked at'),
    Mutant('src/decoder/pulse_cleaning.cpp', 'extendHead(std::min(lastChange + kWidth - 2, lastWindow_))',
           'extendHead(std::min(lastChange + kWidth - 3, lastWindow_))',
           'a sweep does not look again at the last window a change reaches'),

    # ---------------------------------------------------------------- fine rules outside the rescue decoder
    # Each threshold of a guard a little laxer and a little stricter, each half
    # of a guard dropped, each stride and bound shifted by one, a reset left out.
    Mutant('src/cli/command_line.cpp', "argument[1] < 'a' || argument[1] > 'z'",
           "argument[1] < 'a' - 1 || argument[1] > 'z'", "'-`' passes as an option"),
    Mutant('src/cli/command_line.cpp', "argument[1] < 'a' || argument[1] > 'z'",
           "argument[1] < 'a' || argument[1] > 'z' + 1", "'-{' passes as an option"),
    Mutant('src/cli/command_line.cpp', "return *text == '\\0' && *lowerCaseWord == '\\0';", "return *text == '\\0';",
           'an input ending in a part of the extension (rec.wa) is taken'),
    Mutant('src/cli/command_line.cpp', "return *text == '\\0' && *lowerCaseWord == '\\0';",
           "return *lowerCaseWord == '\\0';", 'an input with more after the extension (rec.wavx) is taken'),
    Mutant('src/cli/command_line.cpp', "if (c >= 'A' && c <= 'Z')", "if (c > 'A' && c <= 'Z')",
           'an upper-case A in the extension is not lowered'),
    Mutant('src/cli/command_line.cpp', 'if (argc < 2) {', 'if (argc < 3) {', 'an input without options gets the usage'),
    Mutant('src/cli/command_line.cpp', "if (argument[0] != '-' || argument[1] < 'a'", "if (argument[1] < 'a'",
           'an option written with another character than - (/s624) is taken'),
    Mutant('src/cli/option_table.cpp', "*text >= '0' && *text <= '9'", "*text > '0' && *text <= '9'",
           'the digit 0 ends an option value'),
    Mutant('src/cli/option_table.cpp', 'if (value >= kLimit) {', 'if (value >= kLimit && false) {',
           'a huge option value wraps around instead of saturating'),
    Mutant('src/cli/option_table.cpp', "if (*text == '+' || *text == '-') {", "if (*text == '-') {",
           'a plus sign ends an option value'),

    Mutant('src/formats/wav_layout.cpp', 'offset + count > start + held', 'offset > start + held',
           'a chunk header across the end of the read window is read in part, the rest as zeros'),
    Mutant('src/formats/wav_layout.cpp', 'at + kChunkHeaderBytes <= fileLength', 'at + kChunkHeaderBytes < fileLength',
           'a chunk header that ends the file is not read'),
    Mutant('src/formats/wav_layout.cpp', 'if (!formatFound && tagIs(chunk, "fmt ")', 'if (tagIs(chunk, "fmt ")',
           'a second format chunk replaces the first'),
    Mutant('src/formats/wav_layout.cpp', 'tagIs(chunk, "fmt ") && size >= kFmtFieldBytes', 'tagIs(chunk, "fmt ")',
           'a format chunk too short for the fields is taken'),
    Mutant('src/formats/wav_layout.cpp', 'formatFound && tagIs(chunk, "data")', 'tagIs(chunk, "data")',
           'a data chunk before the format is taken'),
    Mutant('src/formats/wav_layout.cpp', 'size != 0 && size != 0xFFFFFFFFu && size <= available',
           'size != 0xFFFFFFFFu && size <= available', 'a data size of 0 is taken as no samples'),
    Mutant('src/formats/wav_layout.cpp', 'size != 0 && size != 0xFFFFFFFFu && size <= available',
           'size != 0 && size <= available', 'a data size of all ones is taken as stated',
           survives='All ones is more than any file under 4 GiB holds, so the size is not taken anyway; only a '
           'streamed recording of 4 GiB or more would lose its samples past 4 GiB, and a test does not write one '
           '(scripts/large-file-check.sh --huge writes canonical files).'),
    Mutant('src/formats/wav_layout.cpp', 'size != 0 && size != 0xFFFFFFFFu && size <= available',
           'size != 0 && size != 0xFFFFFFFFu', 'a data size past the end of the file is believed'),
    Mutant('src/formats/wav_layout.cpp', 'riffWave = tagIs(&bytes[0], "RIFF") && ', 'riffWave = ',
           'a file that does not start with RIFF is walked'),
    Mutant('src/formats/wav_layout.cpp', 'readLe32(&b[16]) == 16 &&\n           tagIs(&b[36], "data")',
           'readLe32(&b[16]) == 16', 'a format chunk followed by another chunk than data is read as canonical'),
    Mutant('src/formats/wav_header.cpp', 'header.channelCount == 1 && header.audioFormat == 1 &&',
           'header.channelCount == 1 &&', 'a header of another format than PCM is accepted'),
    Mutant('src/formats/wav_header.cpp', 'bits == 16 || bits == 24 || bits == 32', 'bits == 16 || bits == 32',
           '24-bit recordings are refused'),
    Mutant('src/formats/ptp_image.cpp', 'header[0] != kRecordType && header[0] != kLastRecordType',
           'header[0] != kRecordType && header[0] != kLastRecordType && header[0] != kImageMarker',
           '0xFF where a record header is due is taken for a record'),
    Mutant('src/formats/ptp_image.cpp', 'header.data(), 1, header.size(), stream) == header.size();',
           'header.data(), 1, header.size(), stream) != 0;', 'one or two stray bytes at the end are read as a header'),

    Mutant('src/encoder/encoder_settings.cpp', 'if (value < 1 || value >', 'if (value >',
           'a negative -f is taken as a shape'),
    Mutant('src/encoder/bit_waveform.cpp', 'std::min(k, count + 1 - k)', 'std::min(k, count - k)',
           'a half-wave\'s ramp down one sample early'),
    Mutant('src/encoder/bit_waveform.cpp', 'levels.push_back(std::min(v, 1.0));', 'levels.push_back(v);',
           'the trapezoid not clipped at full scale'),
    Mutant('src/encoder/bit_waveform.cpp',
           'out.push_back(negativeSample(v, bits));\n    if (settings.encShape >= 2)',
           'out.push_back(negativeSample(v, bits));\n    if (settings.encShape > 2)',
           'shape 2 loses the zero sample after its negative half-wave'),
    Mutant('src/encoder/bit_waveform.cpp', 'shift < bits; shift += 8', 'shift < bits - 8; shift += 8',
           'every sample written a byte short'),

    Mutant('src/encoder/ptp_to_wav.cpp', 'if (got < wanted) return false;', 'if (got <= wanted) return false;',
           'every payload taken for one cut short'),

    Mutant('src/decoder/wav_input.cpp', "if (header.channelCount < 2) return 0;",
           "if (header.channelCount < 3) return 0;", '-c is ignored for a stereo recording'),
    Mutant('src/decoder/wav_input.cpp', 'channel >= 1 && channel <= header.channelCount', 'channel <= header.channelCount',
           '-c with a negative channel reads before the frame'),
    Mutant('src/decoder/wav_input.cpp', 'if (whole > input.sampleCount - input.samplesRead) {',
           'if (whole >= input.sampleCount - input.samplesRead) {', 'the last samples taken for one too many'),
    Mutant('src/decoder/wav_input.cpp', 'if (got < wanted && input.samplesRead != input.sampleCount) {',
           'if (got < wanted) {', 'the end of a file after its last whole frame taken for a changed file'),
    Mutant('src/decoder/wav_input.cpp', '    header.blockAlign = 1;\n', '',
           'the cleaned copy keeps the input\'s blockAlign'),
    Mutant('src/decoder/sample_loader.cpp', 'bitsPerSample == 8 && stride == 1', 'bitsPerSample == 8',
           'one channel of 8-bit frames copied as if mono'),
    Mutant('src/decoder/sample_loader.cpp', 'bitsPerSample == 16 && stride == 2', 'bitsPerSample == 16',
           'one channel of 16-bit frames read as if mono'),
    Mutant('src/decoder/sample_loader.cpp', 'const std::uint8_t flip = bitsPerSample == 8 ? 0x00 : 0x80;',
           'const std::uint8_t flip = 0x80;', 'one channel of 8-bit frames flipped like signed samples'),
    Mutant('src/decoder/sample_loader.cpp', 'top[i * stride]', 'top[i * sampleBytes]',
           'one channel of wide frames read with the sample\'s width as stride'),

    Mutant('src/decoder/bit_decoder.cpp', 'if (run.highRunLength >= runLimit || run.lowRunLength >= runLimit) {',
           'if (run.lowRunLength >= runLimit) {', 'a long high run does not start the lead-in count again'),
    Mutant('src/decoder/bit_decoder.cpp', 'if (run.highRunLength >= runLimit || run.lowRunLength >= runLimit) {',
           'if (run.highRunLength >= runLimit) {', 'a long low run does not start the lead-in count again'),
    Mutant('src/decoder/bit_decoder.cpp', '        state.preambleRunTotal = 0;\n        state.preambleRunCount = 0;\n',
           '        state.preambleRunCount = 0;\n', 'a run too long for a lead-in leaves the lead-in sum'),
    Mutant('src/decoder/bit_decoder.cpp', '        state.preambleRunTotal = 0;\n        state.preambleRunCount = 0;\n',
           '        state.preambleRunTotal = 0;\n', 'a run too long for a lead-in leaves the lead-in count'),
    Mutant('src/decoder/bit_decoder.cpp', 'if (state.preambleRunCount > kLeadInSkippedChanges)',
           'if (state.preambleRunCount >= kLeadInSkippedChanges)', 'the lead-in sum starts one change early'),
    Mutant('src/decoder/bit_decoder.cpp', 'if (state.preambleRunCount > kLeadInSkippedChanges)',
           'if (state.preambleRunCount > kLeadInSkippedChanges + 1)', 'the lead-in sum starts one change late'),
    Mutant('src/decoder/bit_decoder.cpp', 'state.preambleRunTotal += run.highRunLength;',
           'state.preambleRunTotal += run.lowRunLength;', 'the lead-in\'s low runs summed'),
    Mutant('src/decoder/bit_decoder.cpp', 'if (state.preambleRunCount <= kLeadInLockChanges) return;',
           'if (state.preambleRunCount <= kLeadInLockChanges + 1) return;', 'the lock comes one lead-in change late'),
    Mutant('src/decoder/bit_decoder.cpp', 'state.preambleRunTotal / kLeadInSummedRuns',
           'state.preambleRunTotal / (kLeadInSummedRuns - 1)', 'the lead-in sum divided by 499'),
    Mutant('src/decoder/bit_decoder.cpp', 'state.preambleRunTotal / kLeadInSummedRuns',
           'state.preambleRunTotal / (kLeadInSummedRuns + 1)', 'the lead-in sum divided by 501'),
    Mutant('src/decoder/bit_decoder.cpp', 'bothBelow = run.highRunLength < run.separator && ',
           'bothBelow = ', 'at the lock, a high run above the separator counts as below'),
    Mutant('src/decoder/bit_decoder.cpp', 'bothBelow = run.highRunLength < run.separator && run.lowRunLength < run.separator;',
           'bothBelow = run.highRunLength < run.separator;', 'at the lock, a low run above the separator counts as below'),
    Mutant('src/decoder/bit_decoder.cpp', 'bothBelow = run.highRunLength < run.separator',
           'bothBelow = run.highRunLength <= run.separator', 'at the lock, a high run equal to the separator counts as below'),
    Mutant('src/decoder/bit_decoder.cpp', '&& run.lowRunLength < run.separator;', '&& run.lowRunLength <= run.separator;',
           'at the lock, a low run equal to the separator counts as below'),
    Mutant('src/decoder/bit_decoder.cpp', 'bothAbove = run.highRunLength > run.separator && ',
           'bothAbove = ', 'at the lock, a high run below the separator counts as above'),
    Mutant('src/decoder/bit_decoder.cpp', 'bothAbove = run.highRunLength > run.separator && run.lowRunLength > run.separator;',
           'bothAbove = run.highRunLength > run.separator;', 'at the lock, a low run below the separator counts as above'),
    Mutant('src/decoder/bit_decoder.cpp', 'bothAbove = run.highRunLength > run.separator',
           'bothAbove = run.highRunLength >= run.separator', 'at the lock, a high run equal to the separator counts as above'),
    Mutant('src/decoder/bit_decoder.cpp', '&& run.lowRunLength > run.separator;', '&& run.lowRunLength >= run.separator;',
           'at the lock, a low run equal to the separator counts as above'),
    Mutant('src/decoder/bit_decoder.cpp', '(bothBelow || bothAbove) ?', '((bothBelow && false) || bothAbove) ?',
           'at the lock, two runs below the separator taken for two cells'),
    Mutant('src/decoder/bit_decoder.cpp', '(bothBelow || bothAbove) ?', '(bothBelow || (bothAbove && false)) ?',
           'at the lock, two runs above the separator taken for two cells'),
    Mutant('src/decoder/bit_decoder.cpp', 'microseconds < 100 || microseconds > 5000',
           'microseconds < 99 || microseconds > 5000', '-s 99 is taken'),
    Mutant('src/decoder/bit_decoder.cpp', 'microseconds < 100 || microseconds > 5000',
           'microseconds <= 100 || microseconds > 5000', '-s 100 falls back to 624'),
    Mutant('src/decoder/bit_decoder.cpp', 'microseconds < 100 || microseconds > 5000',
           'microseconds < 100 || microseconds > 5001', '-s 5001 is taken'),
    Mutant('src/decoder/bit_decoder.cpp', 'microseconds < 100 || microseconds > 5000',
           'microseconds < 100 || microseconds >= 5000', '-s 5000 falls back to 624'),
    Mutant('src/decoder/bit_decoder.cpp', "(first[0] == 'H' || first[0] == 'h')", "(first[0] == 'h')",
           '-j H (upper case) is not taken for low first'),
    Mutant('src/decoder/bit_decoder.cpp', 'if (state.samplePos + 3 * run.separator >= state.sampleCount) return;',
           'if (state.samplePos + 3 * run.separator > state.sampleCount) return;',
           'a cell read with exactly three separators of samples left'),
    Mutant('src/decoder/bit_decoder.cpp', 'if (state.samplePos + 3 * run.separator >= state.sampleCount) return;',
           'if (state.samplePos + 3 * run.separator + 1 >= state.sampleCount) return;',
           'the last cell not read with three separators and one sample left'),
    Mutant('src/decoder/bit_decoder.cpp', 'if (state.bitCount == 0 && !isLeadInOrFill', 'if (!isLeadInOrFill',
           'bits inside a block counted toward the idle limit'),
    Mutant('src/decoder/bit_decoder.cpp', 'byte == 0xAA || byte == 0xFF; }', 'byte == 0xAA; }',
           'fill (0xFF) counted toward the idle limit'),
    Mutant('src/decoder/bit_decoder.cpp', 'byte == 0x55 || byte == 0xAA || byte == 0xFF', 'byte == 0x55 || byte == 0xFF',
           'a lead-in (0xAA) counted toward the idle limit'),
    Mutant('src/decoder/bit_decoder.cpp', 'state.idleByteCount > kIdleBitLimit', 'state.idleByteCount >= kIdleBitLimit',
           'the idle restart one bit early'),
    Mutant('src/decoder/bit_decoder.cpp', '    state.blockDeadline = kNoDeadline;\n    for (;;) {', '    for (;;) {',
           'bit decoding starts without lifting the deadline (0 at the start: every lock restarts at once)'),
    Mutant('src/decoder/bit_decoder.cpp', '    state.syncLocked = false;\n    state.preambleRunTotal = 0;\n    state.preambleRunCount = 0;\n    state.idleByteCount = 0;\n}',
           '    state.preambleRunTotal = 0;\n    state.preambleRunCount = 0;\n    state.idleByteCount = 0;\n}',
           'a restart keeps the lock'),
    Mutant('src/decoder/bit_decoder.cpp', '    state.preambleRunCount = 0;\n    state.idleByteCount = 0;\n}',
           '    state.idleByteCount = 0;\n}', 'a restart keeps the lead-in count of the lock'),
    Mutant('src/decoder/bit_decoder.cpp', '} else if (run.runLength <= 0) {', '} else if (run.runLength < 0) {',
           'the first sample taken for a change of polarity'),

    Mutant('src/decoder/block_framing.cpp', 'if (state.bitCount - 40 <= 8 * n) return false;',
           'if (state.bitCount - 40 <= 8 * n + 8) return false;', 'a name block ends a byte late'),
    Mutant('src/decoder/block_framing.cpp', 'if (state.bitCount - 56 <= 8 * n) return false;',
           'if (state.bitCount - 56 < 8 * n) return false;', 'a data block ends a byte early'),
    Mutant('src/decoder/block_framing.cpp', 'if (state.bitCount - 56 <= 8 * n) return false;',
           'if (state.bitCount - 56 <= 8 * n + 8) return false;', 'a data block ends a byte late'),
    Mutant('src/decoder/block_framing.cpp', 'checksumMark(n + 2)', 'checksumMark(n + 1)',
           'a name block\'s checksum over one byte too few'),
    Mutant('src/decoder/block_framing.cpp', 'if (bitCount < 56) return false;', 'if (bitCount < 64) return false;',
           'a 0xB9 block ends a byte late'),
    Mutant('src/decoder/block_framing.cpp', 'if (bitCount < 40) return false;', 'if (bitCount < 32) return false;',
           'an end block ends a byte early'),
    Mutant('src/decoder/block_framing.cpp', 'if (bitCount < 40) return false;', 'if (bitCount < 48) return false;',
           'an end block ends a byte late'),
    Mutant('src/decoder/block_framing.cpp', 'return bitCount >= 40 && nameBlockByte', 'return bitCount > 40 && nameBlockByte',
           'a name block lifts the deadline a byte after its length byte'),
    Mutant('src/decoder/block_framing.cpp', 'return bitCount >= 56 && dataBlockByte', 'return bitCount > 56 && dataBlockByte',
           'a data block lifts the deadline a byte after its length byte'),
    Mutant('src/decoder/block_framing.cpp', '    state.blockDeadline = kNoDeadline;\n    const int n = blockLength(state.blockBuf[2]);',
           '    const int n = blockLength(state.blockBuf[2]);', 'a name block after a 0xB9 block keeps its deadline'),
    Mutant('src/decoder/block_framing.cpp', '    state.blockDeadline = kNoDeadline;\n    const int n = blockLength(state.blockBuf[4]);',
           '    const int n = blockLength(state.blockBuf[4]);', 'a data block after a 0xB9 block keeps its deadline'),
    Mutant('src/decoder/block_framing.cpp', 'if (byte != kSyncByte) {\n            shiftRegister = 0;',
           'if (byte != kSyncByte) {', 'a wrong second or third sync byte leaves the register for a false sync'),
    Mutant('src/decoder/block_framing.cpp', 'state.bitCount == 8 || state.bitCount == 16', 'state.bitCount == 8',
           'the third sync byte not checked'),
    Mutant('src/decoder/block_framing.cpp', 'state.bitCount == 8 || state.bitCount == 16', 'state.bitCount == 16',
           'the second sync byte not checked'),
    Mutant('src/decoder/block_framing.cpp',
           '        state.syncLocked = false;\n        state.preambleRunTotal = 0;\n        state.preambleRunCount = 0;\n        return;',
           '        state.syncLocked = false;\n        state.preambleRunCount = 0;\n        return;',
           'a block dropped at the length cap leaves the lead-in sum'),
    Mutant('src/decoder/block_framing.cpp', 'startNamedProgram(n);\n    }\n    state.idleByteCount = 0;', 'startNamedProgram(n);\n    }',
           'a name block leaves the idle count'),
    Mutant('src/decoder/block_framing.cpp', 'storeDataBlock(n);\n    }\n    state.idleByteCount = 0;', 'storeDataBlock(n);\n    }',
           'a data block leaves the idle count (a program of some 150 blocks restarts)'),
    Mutant('src/decoder/block_framing.cpp', 'decoderHeader.sampleRate);\n    state.idleByteCount = 0;',
           'decoderHeader.sampleRate);', 'a 0xB9 block leaves the idle count'),
    Mutant('src/decoder/block_framing.cpp', '    state.preambleRunCount = 0;\n    state.idleByteCount = 0;\n}',
           '    state.preambleRunCount = 0;\n}', 'an end block leaves the idle count'),
    Mutant('src/decoder/program_files.cpp', '        state.rawOutput = false;\n        state.headerlessOutput = true;',
           '        state.headerlessOutput = true;', 'data without a name block after a raw program written bare'),
    Mutant('src/decoder/program_files.cpp', '    state.headerlessOutput = false;\n', '',
           'a named image after a headerless file gets no length'),
    Mutant('src/decoder/block_kinds.h', 'type >= 0x80 && type <= 0x8F', 'type >= 0x7F && type <= 0x8F',
           'type 0x7F is a name block'),
    Mutant('src/decoder/block_kinds.h', 'type >= 0x80 && type <= 0x8F', 'type >= 0x80 && type <= 0x90',
           'type 0x90 is a name block'),
    Mutant('src/decoder/block_kinds.h', 'type >= 0x80 && type <= 0x8F', 'type >= 0x80 && type < 0x8F',
           'type 0x8F is no name block'),
    Mutant('src/decoder/block_kinds.h', 'if (type >= 0xF0 || type == 0x0C)', 'if (type >= 0xEF || type == 0x0C)',
           'type 0xEF is a data block'),
    Mutant('src/decoder/block_kinds.h', 'type >= 0xB0 && type <= 0xBF', 'type >= 0xAF && type <= 0xBF',
           'type 0xAF is an end block'),
    Mutant('src/decoder/block_kinds.h', 'type >= 0xB0 && type <= 0xBF', 'type >= 0xB0 && type <= 0xC0',
           'type 0xC0 is an end block'),
    Mutant('src/decoder/block_kinds.h', 'type >= 0xB0 && type <= 0xBF', 'type > 0xB0 && type <= 0xBF',
           'type 0xB0 is no end block'),
    Mutant('src/decoder/block_kinds.h', 'for (int i = 1; i <= n; ++i) sum += block[i];',
           'for (int i = 1; i < n; ++i) sum += block[i];', 'the checksum leaves out the last byte'),
    Mutant('src/decoder/program_files.cpp', 'if (digits.size() < 2)', 'if (digits.size() < 1)',
           'file numbers below 10 not padded to two digits'),
    Mutant('src/decoder/program_files.cpp', 'state.blockBuf.data(), length + 6);', 'state.blockBuf.data(), length + 5);',
           'a data block\'s record one byte short'),
    Mutant('src/decoder/best_fit_search.cpp', 'const std::int64_t highest = 3 * separator - 1;',
           'const std::int64_t highest = 3 * separator;', 'one candidate half too many'),
    Mutant('src/decoder/best_fit_search.cpp', 'std::max<std::int64_t>(1, separator / 2)',
           'std::max<std::int64_t>(1, separator / 2 + 1)', 'the shortest candidate half left out'),
    Mutant('src/decoder/best_fit_search.cpp', 'return (4 * i + 4) / 5;', 'return (4 * i + 5) / 5;',
           'the first half\'s range one offset too long where 5 divides 4i + 1'),
    Mutant('src/decoder/best_fit_search.cpp', 'if (firstWrong > bestScore) return false;',
           'if (firstWrong >= bestScore) return false;', 'the search ends before a longer candidate that ties'),
    Mutant('src/decoder/pulse_cleaning.cpp', 'const bool dip = a > kHigh && c > kHigh && m < a && m < c;',
           'const bool dip = a > kHigh && c > kHigh && m <= a && m < c;', 'a flat step inside a high half-wave taken for a dip'),
    Mutant('src/decoder/pulse_cleaning.cpp', 'if (count >= 3) PipelinedSweeps', 'if (count > 3) PipelinedSweeps',
           'three samples are not cleaned'),
    Mutant('src/decoder/pulse_cleaning.cpp', 'if (count >= 4) PipelinedSweeps', 'if (count > 4) PipelinedSweeps',
           'four samples are not cleaned of a two-sample notch'),

    # ---------------------------------------------------------------- rescue decoder
    Mutant('src/rescue/rescue_decoder.cpp', "(option[0] == 'I' || option[0] == 'i')", "(option[0] == 'I')",
           '-r i (lower case) keeps the default decoder'),
    Mutant('src/rescue/block_search.cpp', 'if (end == ReadEnd::nextBlock) continue;', '',
           'the block after one cut short is hunted afresh and lost'),
    Mutant('src/rescue/block_search.cpp', 'if (inProgram) {', 'if (!inProgram) {',
           'the restart line printed between programs instead of within one'),
    Mutant('src/rescue/block_writer.cpp', 'if (kind == BlockKind::b9) storeB9Block();', '',
           'a 0xB9 block is not written'),
    Mutant('src/rescue/block_writer.cpp', 'consolePrint(" %c: ", decision.mark);', 'consolePrint(" %c ", decision.mark);',
           'the name block\'s line without its colon'),
    Mutant('src/rescue/block_search.cpp', "(trackers[i].polarity < 0) != (first[0] == 'H'",
           "(trackers[i].polarity < 0) == (first[0] == 'H'", '-j with -s runs the other polarity'),
    Mutant('src/rescue/block_search.cpp', '1e-6 * rate / 2;', '1e-6 * rate;',
           '-s taken for T instead of 2T'),
    Mutant('src/rescue/block_search.cpp', 'static_cast<int>(2 * halfWave(chosen) * 1e6',
           'static_cast<int>(halfWave(chosen) * 1e6', 'the separator printed as T instead of 2T'),
    Mutant('src/rescue/block_search.cpp',
           'if (reading.kind == BlockKind::end && end == ReadEnd::complete) inProgram = false;', '',
           'a complete program still counts as running: a restart line after its end'),
    Mutant('src/rescue/block_writer.cpp', 'if (kind == BlockKind::end) finishProgramFile();', '',
           'an end block neither written nor closing its image'),
    Mutant('src/rescue/conditioning.cpp', 'static_cast<float>(bytes[0] - 128) / 128.0f',
           'static_cast<float>(bytes[0] - 127) / 128.0f', '8-bit samples centred on 127'),
    Mutant('src/rescue/conditioning.cpp', 'samples[3 * part + i]};', 'samples[2 * part + i]};',
           'the last of the four parts of the recording filtered from the third one\'s samples'),
    Mutant('src/rescue/conditioning.cpp', 'filter.b2 = lowPass.b2;', 'filter.b2 = lowPass.b1;',
           'a wrong low-pass coefficient'),
    Mutant('src/rescue/rescue_decoder.cpp', 'createOutputDirectory(pathBase);', '',
           'the output directory is not made'),
    Mutant('src/rescue/conditioning.cpp', 'std::min(hz, 0.45 * rate)',
           'std::max(hz, 0.45 * rate)', 'the low-pass set near the Nyquist frequency'),
    Mutant('src/rescue/recording.cpp', 'block.count, recording.signal.get() + stored);', 'block.count, recording.signal.get());',
           'every read block conditioned into the start of the signal'),
    Mutant('src/rescue/recording.cpp', 'static_cast<float>(0.3 * 127.0 / level)', 'static_cast<float>(0.3 / level)',
           'the cleaned copy written at a level too low to see'),
    Mutant('src/rescue/recording.cpp', 'header.riffSize = headerSizeField(count + 36);',
           'header.riffSize = headerSizeField(count + 44);', 'a wrong RIFF size in the cleaned copy'),
    Mutant('src/rescue/cell_tracker.cpp', 'if (t.missedEdges >= kLostAfterMissedEdges) return true;', '',
           'cells without their end edge never count as a loss of signal'),
    Mutant('src/rescue/cell_tracker.cpp', 'const double slot = t.polarity * (meanOver(', 'const double slot = (meanOver(',
           'the slot decided without the polarity'),
    Mutant('src/rescue/cell_tracker.cpp', 't.cell[0] = t.measuredCell[0] = 6 * half;',
           't.cell[0] = t.measuredCell[0] = 3 * half;',
           'a 0 cell first taken for 3T'),
    Mutant('src/rescue/cell_tracker.cpp', '(shortSum + longSum / 3.0)', '(shortSum + longSum / 2.0)',
           'long half-waves counted as 2T in the timing estimate'),
    Mutant('src/rescue/cell_tracker.cpp', 'next = std::max(next, t.start + t.shortestHalf);', '',
           'a tracker may stand still where a half-wave is a sample'),
    Mutant('src/rescue/cell_tracker.cpp', 'halfWave(t) < kFewSamples', 'false',
           'half-waves of a few samples held to 3:1 cells'),
    Mutant('src/rescue/cell_tracker.cpp', 'std::upper_bound(sorted, sorted + count - 1, value)',
           'std::upper_bound(sorted, sorted + count, value)', 'the sorted window of spreads overrun by one'),
    Mutant('src/rescue/block_search.cpp', 'trackers[i].settings.decideOnLength = i >= 2;',
           'trackers[i].settings.decideOnLength = false;', 'no tracker decides on lengths'),
    Mutant('src/rescue/cell_tracker.cpp', 'if (cellEnd >= 0) bit = fromBetween < 0 ? 1 : 0;',
           'if (cellEnd >= 0) bit = fromBetween > 0 ? 1 : 0;', 'a tracker deciding on lengths takes a long cell for a 1'),
    Mutant('src/rescue/retry_ladder.cpp', '[&](const auto& bytes) { return bytes != agreed.bytes; })) {',
           '[&](const auto& bytes) { return false && bytes != agreed.bytes; })) {',
           'two agreeing readings decide a block that another reading contradicts'),
    Mutant('src/rescue/cell_tracker.cpp', 'evidence(levelNow, levelNow, deviation) < kGoneEvidence',
           'evidence(levelNow, levelNow, deviation) > kGoneEvidence',
           'bits erased where the signal stands clear of the noise, not where it sinks into it'),
    Mutant('src/rescue/block_reader.cpp', ' &&\n           std::popcount(hunt.missed & 0xFFFFFFu) <= kMostMissedSyncEdges;', ';',
           'a sync read off the cells\' edges is accepted'),
    Mutant('src/rescue/block_reader.cpp', '(bit.edgeFound ? 0u : 1u)', '(bit.edgeFound ? 1u : 0u)',
           'the edges found counted as missed in the sync'),
    Mutant('src/rescue/block_reader.cpp', 'startOf(hunt, 8) / rate', 'startOf(hunt, 16) / rate',
           'the first sync byte\'s time printed for the second'),
    Mutant('src/rescue/block_reader.cpp', 'reading.syncStart = startOf(hunt, 23);', 'reading.syncStart = startOf(hunt, 0);',
           'the ladder looks for the sync where its last bit began'),
    Mutant('src/rescue/block_reader.cpp', 'count == lengthAt + 1)', 'count == lengthAt)',
           'the block length taken from the byte before the length byte'),
    Mutant('src/rescue/block_reader.cpp', 'reading.end = ReadEnd::unknownType;\n            return true;',
           'reading.end = ReadEnd::unknownType;', 'a block of unknown type is read on'),
    Mutant('src/rescue/block_reader.cpp', 'reading.bits.size() + 1 - 40;', 'reading.bits.size() - 40;',
           'a block cut short by the next sync loses one bit too many'),
    Mutant('src/rescue/retry_ladder.cpp', 'decision.bytes.resize(static_cast<std::size_t>(first.expectedBytes), 0);', '',
           'a block cut short is written without its missing bytes'),
    Mutant('src/rescue/retry_ladder.cpp', 'const int number = static_cast<int>(i) + 1;',
           'const int number = static_cast<int>(i);', 'the report counts bytes from 0'),
    Mutant('src/rescue/retry_ladder.cpp', 'if (!other.checksumHolds) continue;', '',
           'readings whose checksum fails may agree on a repair'),
    Mutant('src/rescue/retry_ladder.cpp', 'if (step != kBestFitSearch && (!other.timingSure',
           'if ((!other.timingSure', 'the best-fit search held to an evidence it does not have: it never confirms'),
    Mutant('src/rescue/reading_verdict.cpp', 'bit.llr < kUncertainEvidence', 'bit.llr > kUncertainEvidence',
           'the sure bits counted as the uncertain ones'),
    Mutant('src/rescue/reading_verdict.cpp', 'return verdict.checksumHolds && !verdict.onLengths &&',
           'return !verdict.onLengths &&', 'a sure reading trusted alone whatever its checksum'),
    Mutant('src/rescue/reading_verdict.cpp', 'reading.expectedBytes - 2);', 'reading.expectedBytes - 1);',
           'the checksum looked for one byte too far'),
    Mutant('src/rescue/damage_report.cpp', '++(decision.mark == \'J\' ? report.repaired : report.failed);',
           '++report.failed;', 'a repaired block counted as failed'),
    Mutant('src/rescue/damage_report.cpp', 'report.clean + report.repaired + report.failed, report.clean',
           'report.clean + report.repaired, report.clean', 'the failed blocks left out of the total'),
    Mutant('src/rescue/damage_report.cpp', '"  minden blokk hibátlan\\n"', '"  minden blokk hibatlan\\n"',
           'a changed message in the report'),
    Mutant('src/rescue/damage_report.cpp', 'if (!reported(s)) continue;', '',
           'a moment of noise reported as tape signal without a block'),
    Mutant('src/rescue/block_search.cpp', 'noteBlockless(search, static_cast<double>(position), static_cast<double>(reached));',
           '', 'tape signal without a block is not reported'),
    Mutant('src/rescue/cell_tracker.cpp', 'constexpr double kLostLengthEvidence = 1.0;',
           'constexpr double kLostLengthEvidence = 3.0;', 'a tracker deciding on lengths lost at the slot\'s bar'),
    Mutant('src/rescue/cell_tracker.cpp', 't.settings.decideOnLength && half >= kFewSamples ? kLostLengthEvidence',
           't.settings.decideOnLength ? kLostLengthEvidence', 'the lower bar for a loss at half-waves of a few samples too',
           survives='It shows on recordings resampled to 11025 or 8000 Hz by sox, whose resampling filter rings '
           '(the tolerance matrix lost 4 of them): the encoder\'s own 11025 and 8000 Hz recordings, and the '
           'simulation bench\'s, read either way, and a test would have to carry such a recording.'),
    Mutant('src/rescue/block_search.cpp', 'if (findMissedBlock(search, tracker, huntFrom, reading.syncStart, missed))',
           'if (false && findMissedBlock(search, tracker, huntFrom, reading.syncStart, missed))',
           'no second look for a block whose sync was misread'),
    Mutant('src/rescue/take.cpp', 'if (take.search.blocks.empty() && !take.search.blockless.empty()) {',
           'if (take.search.blocks.empty() && false) {',
           'a recording that gave no block is not read again with its short half-waves louder'),
    Mutant('src/rescue/conditioning.cpp', 'butterworth(settings.emphasisHz, rate, true)',
           'butterworth(settings.emphasisHz, rate, false)', 'the emphasis a low-pass instead'),
    Mutant('src/rescue/block_search.cpp', 'if (findMissedBlock(search, tracker, huntFrom, tracker.start, missed)) {',
           'if (false && findMissedBlock(search, tracker, huntFrom, tracker.start, missed)) {',
           'no second look before a loss of the signal within a program',
           survives='A block the reading tracker passed over before it lost the signal is found by the trackers of '
           'the other kinds, which look for syncs side by side over the whole recording; the tests\' recordings '
           'hide no block from all of them (LooksAgainWhereABlockWasMissed shows the look after a long gap).'),
    Mutant('src/decoder/wav_input.cpp', 'input.bytesRead = index * input.frameBytes;', 'input.bytesRead = index;',
           'a stretch read again from the wrong place (wider samples)'),

    # ---------------------------------------------------------------- rescue decoder, the fine rules
    # Each threshold of a guard a little laxer and a little stricter, each
    # condition of a guard dropped, each bound shifted by one, a state not reset.
    # trusting one reading, and judging it
    Mutant('src/rescue/reading_verdict.h', 'kTrustedSlipRisk = 0.0025;', 'kTrustedSlipRisk = 0.003;',
           'a reading trusted alone up to a slip risk of 0.003'),
    Mutant('src/rescue/reading_verdict.h', 'kTrustedSlipRisk = 0.0025;', 'kTrustedSlipRisk = 0.002;',
           'a reading trusted alone only up to a slip risk of 0.002'),
    Mutant('src/rescue/reading_verdict.cpp', '!verdict.onLengths && verdict.timingSure &&', '!verdict.onLengths &&',
           'a reading trusted alone whatever its timing'),
    Mutant('src/rescue/reading_verdict.cpp', 'return verdict.checksumHolds && !verdict.onLengths &&',
           'return verdict.checksumHolds &&', 'a reading on lengths trusted alone'),
    Mutant('src/rescue/reading_verdict.cpp', 'verdict.slipRisk += std::exp(-static_cast<double>(bit.llr));',
           'verdict.slipRisk = std::max(verdict.slipRisk, std::exp(-static_cast<double>(bit.llr)));',
           'the slip risk the largest of the bits\' instead of their sum'),
    Mutant('src/rescue/reading_verdict.cpp', 'verdict.timingSure = verdict.timingSure && bit.timingSure;',
           'verdict.timingSure = verdict.timingSure || bit.timingSure;', 'one cell on its edges makes the timing sure'),
    Mutant('src/rescue/reading_verdict.cpp', 'kUncertainEvidence = 4.6;', 'kUncertainEvidence = 4.5;',
           'bits in doubt only below an evidence of 4.5'),
    Mutant('src/rescue/reading_verdict.cpp', 'kUncertainEvidence = 4.6;', 'kUncertainEvidence = 4.7;',
           'bits in doubt up to an evidence of 4.7'),
    Mutant('src/rescue/reading_verdict.cpp', 'verdict.silentBits++ == 0', 'verdict.silentBits++ == 1',
           'the dropout reported from its second bit'),
    Mutant('src/rescue/reading_verdict.cpp', 'verdict.firstSilence = bit.start;', 'verdict.firstSilence = bit.end;',
           'the dropout reported from the end of its first bit'),
    # agreeing and contradicting readings
    Mutant('src/rescue/retry_ladder.cpp', 'kAgreeingSlipRisk = 0.05;', 'kAgreeingSlipRisk = 0.06;',
           'agreeing readings trusted up to a slip risk of 0.06'),
    Mutant('src/rescue/retry_ladder.cpp', 'kAgreeingSlipRisk = 0.05;', 'kAgreeingSlipRisk = 0.04;',
           'agreeing readings trusted only up to a slip risk of 0.04'),
    Mutant('src/rescue/retry_ladder.cpp', 'if (firstCounts && verdict.slipRisk <= kAgreeingSlipRisk) candidates',
           'if (firstCounts) candidates', 'the first reading agrees whatever its slip risk'),
    Mutant('src/rescue/retry_ladder.cpp', '    if (verdict.checksumHolds) holding.push_back(first.bytes);\n', '',
           'a first reading whose checksum holds never contradicts a repair'),
    Mutant('src/rescue/retry_ladder.cpp', '        holding.push_back(again.bytes);\n', '',
           'a reading of the ladder never contradicts the agreeing ones'),
    Mutant('src/rescue/retry_ladder.cpp', 'if (verdict.checksumHolds) testimony.holding.push_back(reading.bytes);', '',
           'no good block a reading of the trackers gives contradicts the default decoder\'s'),
    Mutant('src/rescue/retry_ladder.cpp', '(!other.timingSure || other.slipRisk > kAgreeingSlipRisk)',
           '(other.slipRisk > kAgreeingSlipRisk)', 'a reading of the ladder agrees whatever its timing'),
    Mutant('src/rescue/retry_ladder.cpp', '(!other.timingSure || other.slipRisk > kAgreeingSlipRisk)',
           '(!other.timingSure)', 'a reading of the ladder agrees whatever its slip risk'),
    Mutant('src/rescue/retry_ladder.cpp', 'firstCounts && verdict.silentBits == 0 &&',
           'firstCounts &&', 'the best-fit search confirms a first reading through a dropout'),
    Mutant('src/rescue/retry_ladder.cpp', '        if (agreed.mark != \'X\') continue;\n', '',
           'a later pair of agreeing readings replaces the first'),
    Mutant('src/rescue/retry_ladder.cpp', 'if (verdict.uncertainBits == 0 && verdict.timingSure)',
           'if (verdict.timingSure)', 'every bit called sure where some were in doubt'),
    Mutant('src/rescue/retry_ladder.cpp', 'if (verdict.uncertainBits == 0 && verdict.timingSure)',
           'if (verdict.uncertainBits == 0)', 'every bit called sure where a cell lay off its edges'),
    Mutant('src/rescue/retry_ladder.cpp', 'if (++shown > 4) {', 'if (++shown > 5) {',
           'the report names five changed bytes, not four'),
    Mutant('src/rescue/retry_ladder.cpp', '{"a szűkebb sávú",\n                                              "a szélesebb sávú",',
           '{"a szélesebb sávú",\n                                              "a szűkebb sávú",', 'the bands named the other way round'),
    Mutant('src/rescue/retry_ladder.cpp', 'step == kNarrowerBand ? 0.6 : 1.6', 'step == kNarrowerBand ? 1.0 : 1.6',
           'the narrower band as wide as the first'),
    Mutant('src/rescue/retry_ladder.cpp', 'if (step == kWiderBand) settings.highPassHz /= 2;', '',
           'the wider band keeps the high-pass at 40 Hz',
           survives='Only the tape\'s own low frequencies pass a high-pass at 40 Hz differently from one at '
           '20 Hz, and the conditioning\'s zero line follows them either way; the wider band\'s reading differs '
           'in its low-pass, which the tests see.'),
    Mutant('src/rescue/retry_ladder.cpp', 'offset = std::max<std::int64_t>(0, from - kWarmUpSamples);',
           'offset = from;', 'a stretch read again without the filters\' warm-up',
           survives='The stretch read again begins 90 T before the sync, in the fill, and the filters settle within a few '
           'milliseconds (the high-pass\'s time constant is 4 ms): the warm-up matters only where the fill is '
           'shorter than a tape\'s.'),
    Mutant('src/rescue/retry_ladder.cpp', 'again.firstSample += shift;', '',
           'a block repaired from a band read again placed at the start of the recording in the report'),
    # the cell tracker: the loss of the signal, the dropout, the edges
    Mutant('src/rescue/cell_tracker.h', 'kLostAfterMissedEdges = 4;', 'kLostAfterMissedEdges = 3;',
           'the signal lost after three cells in a row without an end edge'),
    Mutant('src/rescue/cell_tracker.h', 'kLostAfterMissedEdges = 4;', 'kLostAfterMissedEdges = 5;',
           'the signal lost only after five cells in a row without an end edge'),
    Mutant('src/rescue/cell_tracker.cpp', 'kLostMedianEvidence = 3.0;', 'kLostMedianEvidence = 2.5;',
           'the signal lost only below a median evidence of 2.5'),
    Mutant('src/rescue/cell_tracker.cpp', 'kLostMedianEvidence = 3.0;', 'kLostMedianEvidence = 3.5;',
           'the signal lost below a median evidence of 3.5'),
    Mutant('src/rescue/cell_tracker.cpp', 'std::popcount(t.weakBits) >= 9;', 'std::popcount(t.weakBits) >= 8;',
           'the signal lost where 8 of the last 16 bits are weak'),
    Mutant('src/rescue/cell_tracker.cpp', 'std::popcount(t.weakBits) >= 9;', 'std::popcount(t.weakBits) >= 10;',
           'the signal lost only where 10 of the last 16 bits are weak'),
    Mutant('src/rescue/cell_tracker.cpp', 'return t.bitsSinceStart >= 16 && std::popcount',
           'return t.bitsSinceStart >= 15 && std::popcount', 'the loss judged on weak bits from the fifteenth bit'),
    Mutant('src/rescue/cell_tracker.h', 'kGoneEvidence = 2.0;', 'kGoneEvidence = 2.2;',
           'a bit erased where its level would give it an evidence of 2.2'),
    Mutant('src/rescue/cell_tracker.h', 'kGoneEvidence = 2.0;', 'kGoneEvidence = 1.8;',
           'a bit erased only where its level would give it an evidence below 1.8'),
    Mutant('src/rescue/cell_tracker.cpp', 'kSureTiming = 0.75;', 'kSureTiming = 0.7;',
           'a cell\'s timing sure only within 0.7 of the window',
           survives='Only an edge lying between 0.7 and 0.75 of its window from where it was expected shows it, and then only '
           'in a reading whose checksum holds wrongly; the conditioning moves edges by parts of a sample, so a '
           'recording cannot put one there on purpose.'),
    Mutant('src/rescue/cell_tracker.cpp', 'kSureTiming = 0.75;', 'kSureTiming = 0.8;',
           'a cell\'s timing sure within 0.8 of the window'),
    Mutant('src/rescue/cell_tracker.cpp', 'kEdgeShare = 0.1;', 'kEdgeShare = 0.09;',
           'a step of 0.09 of the level counts as an edge',
           survives='The least step of an edge is tuning: the tests\' edges step by twice the level, or by 0.16 of it where '
           'they must not count; a recording that pinned 0.1 would pin the filters\' exact shape.'),
    Mutant('src/rescue/cell_tracker.cpp', 'kEdgeShare = 0.1;', 'kEdgeShare = 0.11;',
           'a step of 0.1 of the level no longer counts as an edge',
           survives='As the one before.'),
    Mutant('src/rescue/cell_tracker.cpp', '        t.missedEdges = 0;\n    } else {', '    } else {',
           'cells without an end edge counted in a row across edges found'),
    Mutant('src/rescue/cell_tracker.cpp', '    t.missedEdges = 0;\n    t.missedCells = 0;', '    t.missedCells = 0;',
           'a tracker started again keeps its count of cells without an end edge'),
    Mutant('src/rescue/cell_tracker.cpp', '    t.missedCells = 0;\n    t.recentEvidence', '    t.recentEvidence',
           'a tracker started again keeps the missed edges of its last 64 cells'),
    Mutant('src/rescue/cell_tracker.cpp', '    t.recentEvidence = 0;\n    t.bitsSinceStart = 0;', '    t.bitsSinceStart = 0;',
           'a tracker started again keeps its recent evidence'),
    Mutant('src/rescue/cell_tracker.cpp', '    t.bitsSinceStart = 0;\n    t.weakBits = 0;', '    t.weakBits = 0;',
           'a tracker started again keeps its count of bits'),
    Mutant('src/rescue/cell_tracker.cpp', '    t.weakBits = 0;\n    t.deviation = 0;', '    t.deviation = 0;',
           'a tracker started again keeps its weak bits'),
    Mutant('src/rescue/cell_tracker.cpp', '(static_cast<std::int64_t>(to) + t.offset) / kEnvelopeStride',
           '(static_cast<std::int64_t>(to) + t.offset) / kEnvelopeStride - 1',
           'the envelope\'s last stride under a cell left out'),
    # the sync, the second look, the choice of the reading tracker
    Mutant('src/rescue/block_reader.cpp', 'kMostMissedSyncEdges = 3;', 'kMostMissedSyncEdges = 2;',
           'a sync may miss only two edges'),
    Mutant('src/rescue/block_reader.cpp', 'kMostMissedSyncEdges = 3;', 'kMostMissedSyncEdges = 4;',
           'a sync may miss four edges'),
    Mutant('src/rescue/block_reader.cpp', 'std::popcount(hunt.missed & 0xFFFFFFu)', 'std::popcount(hunt.missed & 0xFFFFFu)',
           'missed edges counted over the last 20 bits of the sync'),
    Mutant('src/rescue/block_reader.cpp', 'std::popcount(hunt.missed & 0xFFFFFFu)', 'std::popcount(hunt.missed & 0xFFFFFFFu)',
           'missed edges counted over the sync and four bits before it'),
    Mutant('src/rescue/block_search.cpp', 'kLongestGapSeconds = 1.5;', 'kLongestGapSeconds = 1.4;',
           'a missed block looked for after a gap of 1.4 s'),
    Mutant('src/rescue/block_search.cpp', 'kLongestGapSeconds = 1.5;', 'kLongestGapSeconds = 1.6;',
           'a missed block looked for only after a gap of 1.6 s'),
    Mutant('src/rescue/block_search.cpp', 'for (const bool onLength : {reader.settings.decideOnLength, !reader.settings.decideOnLength})',
           'for (const bool onLength : {reader.settings.decideOnLength})',
           'the second look for a missed block with a tracker of the reader\'s kind only'),
    Mutant('src/rescue/block_search.cpp', 'if (missedA != missedB) return missedA < missedB;',
           'if (missedA != missedB) return missedA > missedB;', 'the tracker that missed the most edges reads'),
    Mutant('src/rescue/take.cpp', 'if (take.search.blocks.empty() && !take.search.blockless.empty()) {',
           'if (take.blocks.empty() && !take.search.blockless.empty()) {',
           'a recording of X blocks conditioned and read again'),
    Mutant('src/rescue/block_writer.cpp', 'if (kind == BlockKind::end) finishProgramFile();',
           'if (kind == BlockKind::end && decision.mark != \'X\') finishProgramFile();',
           'an X end block leaves its image unfinished'),
    # the report and the cleaned copy
    Mutant('src/rescue/damage_report.cpp', 'kJoinSeconds = 0.25;', 'kJoinSeconds = 0.2;',
           'stretches without a block joined only within 0.2 s'),
    Mutant('src/rescue/damage_report.cpp', 'kJoinSeconds = 0.25;', 'kJoinSeconds = 0.3;',
           'stretches without a block joined within 0.3 s'),
    Mutant('src/rescue/damage_report.cpp', 'kShortestReportedSeconds = 0.5;', 'kShortestReportedSeconds = 0.45;',
           'a stretch without a block reported from 0.45 s'),
    Mutant('src/rescue/damage_report.cpp', 'kShortestReportedSeconds = 0.5;', 'kShortestReportedSeconds = 0.55;',
           'a stretch without a block reported only from 0.55 s'),
    Mutant('src/rescue/recording.cpp', '0.3 * 127.0 / level', '0.33 * 127.0 / level',
           'the cleaned copy a tenth louder'),
    Mutant('src/rescue/recording.cpp', '0.3 * 127.0 / level', '0.27 * 127.0 / level',
           'the cleaned copy a tenth quieter'),
    Mutant('src/rescue/recording.cpp', 'levels.size() * 9 / 10', 'levels.size() * 5 / 10',
           'the cleaned copy\'s level set from the median stretch'),
    Mutant('src/rescue/conditioning.cpp', 'for (std::int64_t n = kParts * part; n < count; ++n) {',
           'for (std::int64_t n = kParts * part; n + 1 < count; ++n) {',
           'the recording\'s last sample, after the four parts, left unconditioned'),
    Mutant('src/rescue/recording.cpp', 'seekSample(input, 0);', 'seekSample(input, 1);',
           'the second conditioning a sample late'),
    Mutant('src/rescue/recording.cpp', 'seekSample(input, first);', 'seekSample(input, 0);',
           'a stretch read again from the start of the recording'),
    # the noise floor: which windows are quiet, and where the hiss is measured
    Mutant('src/rescue/noise_floor.cpp', 'kQuietShare = 0.8f;', 'kQuietShare = 0.9f;',
           'a window without tape signal counts as quiet up to 0.9 of the tape signal\'s level'),
    Mutant('src/rescue/noise_floor.cpp', 'kQuietShare = 0.8f;', 'kQuietShare = 0.7f;',
           'a window without tape signal counts as quiet only below 0.7 of the tape signal\'s level'),
    Mutant('src/rescue/noise_floor.cpp', 'kHissReach = 1.5f;', 'kHissReach = 1.7f;',
           'the hiss measured on windows up to 1.7 times the floor'),
    Mutant('src/rescue/noise_floor.cpp', 'kHissReach = 1.5f;', 'kHissReach = 1.3f;',
           'the hiss measured only on windows up to 1.3 times the floor'),
    Mutant('src/rescue/noise_floor.cpp', 'const std::size_t fifth = windows.size() / 5 + 1;', 'const std::size_t fifth = windows.size() / 5;',
           'one window fewer of the quietest fifth looked at'),
    Mutant('src/rescue/noise_floor.cpp', 'const std::size_t fifth = windows.size() / 5 + 1;', 'const std::size_t fifth = windows.size() / 4 + 1;',
           'the quietest quarter of the windows looked at'),
    Mutant('src/rescue/noise_floor.cpp', 'if (!tapeLevels.empty()) {', 'if (false) {',
           'a window as loud as the tape signal, where no half-waves of a tape show, counts as quiet'),
    Mutant('src/rescue/noise_floor.cpp', 'const float floor = quiet[quiet.size() / 2];', 'const float floor = quiet.back();',
           'the loudest quiet window sets the floor'),
    Mutant('src/rescue/noise_floor.cpp', 'while (quiet.size() > 1 && quiet.back() > kHissReach * floor) {',
           'while (false) {', 'the hiss measured on every quiet window, a program\'s edge among them'),
    Mutant('src/rescue/noise_floor.cpp', '    recording.noiseFloor = 0;\n', '',
           'a recording read again keeps the floor of its first reading where it now shows none'),
    # the evidence model: the noise on a bit, the signal's share, the erasure
    Mutant('src/rescue/cell_tracker.cpp', 'hiss = std::max(hiss * hissShare, t.recording->quantisation);',
           'hiss = std::max(hiss, t.recording->quantisation);', 'a dropout of the tape itself leaves its hiss as it was'),
    Mutant('src/rescue/cell_tracker.cpp', 'if (!measured.empty()) hiss = measured[std::min(slot, measured.size() - 1)];', '',
           'the hiss measured in the silence not used: the spread of the bits counts as hiss'),
    Mutant('src/rescue/cell_tracker.cpp', 'withSignal * withSignal * levelNow * levelNow',
           'withSignal * withSignal * level * level', 'the noise that comes with the signal does not fall with it'),
    Mutant('src/rescue/cell_tracker.cpp', 'const double sure = 1 - 2 * recording.noiseFluctuation',
           'const double sure = 1 - 2.5 * recording.noiseFluctuation',
           'the noise taken off the envelope only within 2.5 deviations of its floor'),
    Mutant('src/rescue/cell_tracker.cpp', 'const double sure = 1 - 2 * recording.noiseFluctuation',
           'const double sure = 1 - 1.5 * recording.noiseFluctuation',
           'the noise taken off the envelope up to 1.5 deviations below its floor'),
    Mutant('src/rescue/cell_tracker.cpp', 'if (envelope < noise) {', 'if (false) {',
           'an envelope below the noise floor taken for no signal over unchanged hiss'),
    Mutant('src/rescue/cell_tracker.cpp', 'kEnvelopeSlack = 0.8;', 'kEnvelopeSlack = 0.85;',
           'a fall of the envelope counted from 1.4 dB'),
    Mutant('src/rescue/cell_tracker.cpp', 'kEnvelopeSlack = 0.8;', 'kEnvelopeSlack = 0.75;',
           'a fall of the envelope counted only from 2.5 dB'),
    Mutant('src/rescue/cell_tracker.cpp', 'return envelope <= recording.quantisation || std::fabs(',
           'return std::fabs(', 'an envelope below the sample width\'s quantisation is not taken for no signal'),
    Mutant('src/rescue/cell_tracker.cpp', 'return envelope <= recording.quantisation || std::fabs(envelope - floor) <= stray;',
           'return envelope <= recording.quantisation;', 'an envelope at the noise floor is not taken for no signal'),
    Mutant('src/rescue/cell_tracker.cpp', 'const double stray = 2 * recording.noiseFluctuation',
           'const double stray = 2.5 * recording.noiseFluctuation', 'the noise floor reaches 2.5 deviations'),
    Mutant('src/rescue/cell_tracker.cpp', 'const double stray = 2 * recording.noiseFluctuation',
           'const double stray = 1.5 * recording.noiseFluctuation', 'the noise floor reaches 1.5 deviations only'),
    Mutant('src/rescue/cell_tracker.cpp', 'out.noSignal = share < 1 && (', 'out.noSignal = (',
           'a bit erased where the signal has not fallen at all'),
    Mutant('src/rescue/cell_tracker.cpp',
           '(evidence(levelNow, levelNow, deviation) < kGoneEvidence ||\n                                 onlyNoise(t, envelope, values));',
           '(onlyNoise(t, envelope, values));', 'a bit whose level has sunk into the noise is not erased'),
    Mutant('src/rescue/cell_tracker.cpp',
           '(evidence(levelNow, levelNow, deviation) < kGoneEvidence ||\n                                 onlyNoise(t, envelope, values));',
           '(evidence(levelNow, levelNow, deviation) < kGoneEvidence);', 'a bit over nothing but the noise is not erased'),
    Mutant('src/rescue/cell_tracker.cpp', 'std::min(t.level[bit], t.steadyLevel[bit] * share)',
           'std::min(t.level[bit], t.steadyLevel[bit])', 'a bit\'s level does not follow the envelope into a dip'),
    Mutant('src/rescue/cell_tracker.cpp', 'level = std::min(level, recent * signalShare(t, near, values, hissShare));', '',
           'an edge in a dip held to the level before it',
           survives='Not pinned yet: the dips the tests make (ReadsADipThatLeavesTheSignalAboveTheHiss) are read '
           'without the lowered bar; a recording whose dip needs it is still to be written.'),
    # the tape's blocks: gathering the readings, and the default decoder's reading weighed
    Mutant('src/rescue/tape_blocks.cpp', 'kSameBlockHalves = 32;', 'kSameBlockHalves = 33;',
           'readings 33 T apart taken for one block'),
    Mutant('src/rescue/tape_blocks.cpp', 'kSameBlockHalves = 32;', 'kSameBlockHalves = 31;',
           'readings 32 T apart taken for two blocks'),
    Mutant('src/rescue/tape_blocks.cpp', 'reading.at - blocks.back().at > tolerance', 'reading.at - blocks.back().at >= tolerance',
           'a reading exactly 32 T after a block\'s first begins another'),
    Mutant('src/rescue/tape_blocks.cpp', 'if (plain == nullptr && block.found.empty() && !block.plain.empty())',
           'if (plain == nullptr && !block.plain.empty())',
           'the default decoder\'s failed reading decides a block the rescue decoder read too'),
    Mutant('src/rescue/tape_blocks.cpp', '        join(testimony, decideBlock(recording, probeAt(*plain), plain->highFirst ? 1 : -1).testimony);\n', '',
           'a block only the default decoder found is not read again where it lies'),
    Mutant('src/rescue/tape_blocks.cpp', 'plain->checksumOk && !holds(testimony.read, plain->bytes)', 'plain->checksumOk && own.empty()',
           'a block the rescue decoder read otherwise is not read again where the default decoder found it'),
    Mutant('src/rescue/tape_blocks.cpp', 'return other != bytes && (!sure || ', 'return other != bytes && (',
           'a good block of another type byte alone never contradicts'),
    Mutant('src/rescue/tape_blocks.cpp', '(!sure || holds(testimony.sure, other) || ', '(!sure || ',
           'a good block of another type byte alone, read sure of every bit, does not contradict one read so too'),
    Mutant('src/rescue/tape_blocks.cpp', '!std::equal(other.begin() + 1, other.end(), bytes.begin() + 1)',
           '!std::equal(other.begin(), other.end(), bytes.begin())', 'a good block of another type byte alone contradicts a sure reading'),
    Mutant('src/rescue/tape_blocks.cpp', "if (decision.mark != 'X' && contradicted(testimony, decision.bytes)) {",
           "if (decision.mark != 'X' && differs(testimony.holding, decision.bytes)) {",
           'the rescue decoder\'s own block contradicted by a good block of another type byte alone'),
    Mutant('src/rescue/tape_blocks.cpp', 'plain->highFirst ? 1 : -1', 'plain->highFirst ? -1 : 1',
           'a block only the default decoder found read again in the other polarity'),
    Mutant('src/rescue/tape_blocks.cpp', 'if (own[chosen].mark == \'X\' && own[i].mark != \'X\') chosen = i;',
           'if (own[i].mark != \'X\') chosen = i;', 'the last good reading of a block decides, not the first'),
    Mutant('src/rescue/tape_blocks.cpp', 'if (decision.mark != \'X\' && contradicted(testimony, decision.bytes)) {',
           'if (contradicted(testimony, decision.bytes)) {', 'an X block with good readings of two contents reported as contradicted'),
    Mutant('src/rescue/tape_blocks.cpp', 'holds(testimony.read, plain.bytes) || fitConfirms', 'fitConfirms',
           'the default decoder\'s block confirmed only by the best-fit search'),
    Mutant('src/rescue/tape_blocks.cpp', '(testimony.signalGone < 0 || (signalHeld', '(true || (signalHeld',
           'the best-fit search confirms the default decoder\'s block in silence'),
    Mutant('src/rescue/tape_blocks.cpp', '        fitted && !denies(testimony.complete', '        !denies(testimony.complete', 'the default decoder\'s block O unconfirmed where the signal stayed'),
    Mutant('src/rescue/tape_blocks.cpp', 'fitted && !denies(testimony.complete, plain.bytes, witnessed) &&', 'fitted &&',
           'the best-fit search confirms a block that a tracker\'s reading holds strong evidence against'),
    Mutant('src/rescue/tape_blocks.cpp', 'kHonestSlipRisk = 0.5;', 'kHonestSlipRisk = 0.55;',
           'a reading that expected 0.5 wrong bits no longer denies a block'),
    Mutant('src/rescue/tape_blocks.cpp', 'kHonestSlipRisk = 0.5;', 'kHonestSlipRisk = 0.45;',
           'a reading that expected 0.45 wrong bits denies a block'),
    Mutant('src/rescue/tape_blocks.cpp', '(signalHeld && !denies(testimony.partial', '(!denies(testimony.partial',
           'the best-fit search confirms the default decoder\'s block through a dropout to the noise'),
    Mutant('src/rescue/tape_blocks.cpp', '!denies(testimony.partial, plain.bytes, witnessed)))', 'true))',
           'a reading cut short in a dip never denies the default decoder\'s block'),
    Mutant('src/rescue/tape_blocks.cpp', 'kHeldDeviations = 4;', 'kHeldDeviations = 2;',
           'a stretch of noise two deviations above its floor taken for a held signal'),
    Mutant('src/rescue/tape_blocks.cpp', '        if (sum / kHeldValues < bar) return false;\n', '',
           'every stretch taken for held signal'),
    Mutant('src/rescue/tape_blocks.cpp', 'kDenied = 11.5;', 'kDenied = 11.7;',
           'a little more evidence needed to deny what the best-fit search read'),
    Mutant('src/rescue/tape_blocks.cpp', 'kDenied = 11.5;', 'kDenied = 11.3;',
           'a little less evidence enough to deny what the best-fit search read'),
    Mutant('src/rescue/retry_ladder.h', 'return (bytes[i / 8] >> (7 - i % 8)) & 1;',
           'return (bytes[i / 8] >> (i % 8)) & 1;', 'the evidence against a block weighed on its bits in the wrong order'),
    Mutant('src/rescue/tape_blocks.cpp', 'contradicted(testimony, plain.bytes) || differs(testimony.sure, plain.bytes)',
           'differs(testimony.sure, plain.bytes)', 'another good block read does not contradict the default decoder\'s'),
    Mutant('src/rescue/tape_blocks.cpp', 'contradicted(testimony, plain.bytes) || differs(testimony.sure, plain.bytes)',
           'contradicted(testimony, plain.bytes)', 'another block read sure of every bit does not contradict the default decoder\'s'),
    Mutant('src/rescue/tape_blocks.cpp', 'kFewDifferentBits = 8;', 'kFewDifferentBits = 9;',
           'a reading 9 bits from the block vouches for its timing'),
    Mutant('src/rescue/tape_blocks.cpp', 'kFewDifferentBits = 8;', 'kFewDifferentBits = 7;',
           'a reading 8 bits from the block does not vouch for its timing'),
    Mutant('src/rescue/tape_blocks.cpp', 'return reading.slipRisk < kHonestSlipRisk && reading.evidence.size()',
           'return reading.slipRisk <= kHonestSlipRisk && reading.evidence.size()',
           'a reading that expected 0.5 wrong bits vouches for the block\'s timing'),
    Mutant('src/rescue/tape_blocks.cpp', ' && reading.evidence.size() == 8 * bytes.size() &&', ' &&',
           'a reading of another length vouches for the block\'s timing'),
    Mutant('src/rescue/tape_blocks.cpp', 'if (witnessed && differentBits(reading, bytes) > kFewDifferentBits) return false;',
           'if (differentBits(reading, bytes) > kFewDifferentBits) return false;',
           'a reading that slipped never denies, with no reading aligned with the block'),
    Mutant('src/rescue/tape_blocks.cpp', 'if (witnessed && differentBits(reading, bytes) > kFewDifferentBits) return false;',
           'if (witnessed && differentBits(reading, bytes) >= kFewDifferentBits) return false;',
           'beside a reading aligned with the block, one 8 bits from it no longer denies'),
    Mutant('src/rescue/tape_blocks.cpp', '!denies(testimony.partial, plain.bytes, witnessed)))', '!denies(testimony.partial, plain.bytes, false)))',
           'a reading aligned with the block does not silence one cut short that slipped'),
    Mutant('src/rescue/tape_blocks.cpp', 'if (witnessed && bitsApart(other, bytes) > kFewDifferentBits && !aligned(testimony.complete, other))',
           'if (bitsApart(other, bytes) > kFewDifferentBits && !aligned(testimony.complete, other))',
           'a good block far from the block never contradicts it, with no reading aligned with the block'),
    Mutant('src/rescue/tape_blocks.cpp', 'if (witnessed && bitsApart(other, bytes) > kFewDifferentBits && !aligned(testimony.complete, other))',
           'if (witnessed && bitsApart(other, bytes) > kFewDifferentBits)',
           'a good block far from the block, and aligned with a reading, does not contradict it'),
    Mutant('src/rescue/tape_blocks.cpp', 'if (witnessed && bitsApart(other, bytes) > kFewDifferentBits && !aligned(testimony.complete, other))',
           'if (witnessed && bitsApart(other, bytes) >= kFewDifferentBits && !aligned(testimony.complete, other))',
           'a good block 8 bits from a block aligned with a reading does not contradict it'),
    Mutant('src/rescue/tape_blocks.cpp', 'int apart = 8 * static_cast<int>(std::max(one.size(), other.size()) - common);',
           'int apart = 0;', 'a block of another length is as close as its common bytes'),
    Mutant('src/rescue/tape_blocks.cpp', 'if (!recording.noiseMeasured || to <= from) return false;',
           'if (recording.noiseFloor <= 0 || to <= from) return false;', 'a dip over digital silence never held'),
    Mutant('src/rescue/noise_floor.cpp', '    recording.noiseMeasured = true;\n', '',
           'a floor measured in quiet windows counts as none'),
    Mutant('src/rescue/noise_floor.cpp', '    recording.noiseMeasured = false;\n', '',
           'a floor measured before is kept where none is measured now'),
    Mutant('src/rescue/retry_ladder.cpp', '(first.kind != BlockKind::end || verdict.timingSure)', '(true)',
           'an end block\'s first reading of unsure timing confirmed by another'),
    Mutant('src/rescue/retry_ladder.cpp', '(first.kind != BlockKind::end || verdict.timingSure)', '(first.kind != BlockKind::end)',
           'an end block\'s first reading never confirmed by another'),
    Mutant('src/rescue/retry_ladder.cpp', 'if (step == kBestFitSearch && firstCounts && ', 'if (step == kBestFitSearch && verdict.checksumHolds && ',
           'the best-fit search confirms an end block\'s first reading of unsure timing'),
    Mutant('src/rescue/tape_blocks.cpp', 'within[order[next]] = !holdsAsWritten(block) && ', 'within[order[next]] = ',
           'a good block within another good block left out'),
    Mutant('src/rescue/tape_blocks.cpp', 'if (holdsAsWritten(block)) goodEnd = ', 'goodEnd = ',
           'a failed block within another failed block left out'),
    Mutant('src/rescue/tape_blocks.cpp', 'block.lastSample <= goodEnd;', 'block.lastSample < goodEnd;',
           'a failed block within a good block, ending with it, kept'),
    Mutant('src/rescue/tape_blocks.cpp', 'block.lastSample <= goodEnd;', 'block.firstSample < goodEnd;',
           'a failed block within a good block at its start, running on past its end, left out'),
    Mutant('src/rescue/tape_blocks.cpp', 'start(order[next]) == start(order[at]); ++next)', 'next == at; ++next)',
           'a failed block that starts with a good block within it left out'),
    # reading on through a dip the trackers lost
    Mutant('src/rescue/tape_blocks.cpp', 'holds(testimony.readOn, plain.bytes) && signalHeld &&',
           'holds(testimony.readOn, plain.bytes) &&', 'read on through a dip, the default decoder\'s bits there count where the signal did not hold'),
    Mutant('src/rescue/tape_blocks.cpp', '!denies(testimony.complete, plain.bytes, witnessed) &&\n                                !denies(testimony.partial',
           '!denies(testimony.partial', 'read on through a dip, a complete reading against the block denies nothing'),
    Mutant('src/rescue/tape_blocks.cpp', '!denies(testimony.complete, plain.bytes, witnessed) &&\n                                !denies(testimony.partial, plain.bytes, witnessed);',
           '!denies(testimony.complete, plain.bytes, witnessed);', 'read on through a dip, a reading cut short against the block denies nothing'),
    Mutant('src/rescue/tape_blocks.cpp', '|| fitConfirms || readOnConfirms) {', '|| fitConfirms) {',
           'a reading read on through a dip confirms nothing'),
    Mutant('src/rescue/tape_blocks.cpp', 'aligned(testimony.complete, plain.bytes) || holds(testimony.readOn, plain.bytes);',
           'aligned(testimony.complete, plain.bytes);', 'a reading read on through a dip is no witness against a slipped denier'),
    Mutant('src/rescue/take_stitch.cpp', '        if (bit.llr >= kSureEvidence && bit.bit != bitOf(bytes, i)) return false;\n', '',
           'read on through a dip, the bits before it are not checked'),
    Mutant('src/rescue/take_stitch.cpp', '    if (static_cast<std::size_t>(place) + more.size() < bits) return false;\n', '',
           'read on through a dip, bits that stop short of the block\'s end confirm it'),
    Mutant('src/rescue/take_stitch.cpp', 'if (more[i].bit != bitOf(bytes, static_cast<std::size_t>(place) + i)) return false;', '',
           'read on through a dip, the bits after it are not checked'),
    Mutant('src/rescue/take_stitch.cpp', 'constexpr double kLengthSlack = 0.5;', 'constexpr double kLengthSlack = 1.2;',
           'read on through a dip, a bit gained in the dip passes the check of its time'),
    Mutant('src/rescue/take_stitch.cpp', 'if (std::fabs(between - timeTo(static_cast<std::size_t>(place))) > slack) return false;', '',
           'read on through a dip, the block\'s bits in the dip are not timed'),
    Mutant('src/rescue/take_stitch.cpp', 'const bool byTime = place < 0;', 'const bool byTime = false;',
           'read on through a dip, bits too few to place by the block\'s are not placed by their time'),
    Mutant('src/rescue/take_stitch.cpp', 'return !byTime || agreeing >= kLeastTimedBits;', 'return true;',
           'read on through a dip and placed by their time, bits need not agree on a byte\'s worth'),
    Mutant('src/rescue/take_stitch.cpp', 'time + mean[bitOf(bytes, timed)] <= between + slack;', 'time + mean[bitOf(bytes, timed)] < between;',
           'read on through a dip, bits placed by their time a place early where they come a little early'),
    # the ladder's testimony
    Mutant('src/rescue/retry_ladder.cpp', 'const bool probe = first.end == ReadEnd::notRead;', 'const bool probe = false;',
           'where only the default decoder found a block, no reading says where the signal is gone'),
    Mutant('src/rescue/retry_ladder.cpp', 'testify(testimony, again.reading, again.verdict, probe);', 'testify(testimony, again.reading, again.verdict, !probe);',
           'every reading of the ladder says where the signal is gone, as the first does'),
    Mutant('src/rescue/retry_ladder.cpp', 'kLostAfterMissedEdges - 1);', 'kLostAfterMissedEdges);',
           'the signal gone only where the cell at the loss had no evidence too'),
    Mutant('src/rescue/retry_ladder.cpp', 'if (reading.end != ReadEnd::signalLost || reading.decideOnLength || last == 0)',
           'if (reading.decideOnLength || last == 0)', 'a reading that ended otherwise than in a loss found the signal gone after weak bits'),
    Mutant('src/rescue/retry_ladder.cpp', 'if (reading.end != ReadEnd::signalLost || reading.decideOnLength || last == 0)',
           'if (reading.end != ReadEnd::signalLost || last == 0)', 'a tracker deciding on lengths found the signal gone where it lost the edges'),
    Mutant('src/rescue/retry_ladder.cpp', '[](const SoftBit& bit) { return bit.llr < kGoneEvidence; });',
           '[](const SoftBit& bit) { return bit.llr <= kGoneEvidence; });', 'bits at the evidence bar count as weak'),
    Mutant('src/rescue/retry_ladder.cpp', 'return weak ? bits[bits.size() - last].start : -1;',
           'return weak ? bits[bits.size() - 1].start : -1;', 'the signal gone from the last weak bit, not the first'),
    Mutant('src/rescue/retry_ladder.cpp', '    if (verdict.silentBits > 0) return verdict.firstSilence;\n', '',
           'erased bits do not say that the signal is gone'),
    Mutant('src/rescue/retry_ladder.cpp', 'if (sureOfEveryBit(verdict)) testimony.sure.push_back(reading.bytes);', '',
           'a reading sure of every bit testifies to nothing'),
    Mutant('src/rescue/retry_ladder.cpp', 'if (verdict.complete) testimony.read.push_back(reading.bytes);', '',
           'a complete reading whose checksum fails confirms nothing'),
    Mutant('src/rescue/retry_ladder.cpp', 'gone < testimony.signalGone)) testimony.signalGone = gone;',
           'gone > testimony.signalGone)) testimony.signalGone = gone;', 'the last place the signal was found gone kept, not the first'),
    Mutant('src/rescue/retry_ladder.cpp', 'if (again.verdict.complete) testimony.fitted.push_back(again.reading.bytes);', '',
           'the best-fit search confirms no block of the default decoder\'s'),
    Mutant('src/rescue/retry_ladder.cpp', 'if (again.verdict.checksumHolds) testimony.holding.push_back(again.reading.bytes);', '',
           'the best-fit search\'s good block contradicts nothing',
           survives='The best-fit search is the default decoder\'s way of reading: a good block of its own that differs from '
           'the default decoder\'s, or from the trackers\' agreeing readings, needs the searches to read two different good '
           'blocks at one place, which no recording made for a test does; the agreeing readings\' own check of it is '
           'pinned (TheLaddersReadingsDecideWhereTwoAgreeAndNoneContradicts).'),
    Mutant('src/rescue/reading_verdict.cpp', 'verdict.complete && verdict.timingSure && verdict.silentBits == 0 &&',
           'verdict.complete && verdict.timingSure &&', 'a reading through a dropout counts as sure of every bit'),
    Mutant('src/rescue/reading_verdict.cpp', 'verdict.complete && verdict.timingSure && verdict.silentBits == 0 &&',
           'verdict.complete && verdict.silentBits == 0 &&', 'a reading off its edges counts as sure of every bit'),
    # several takes: anchors, the time map, the sum of two takes' evidence
    Mutant('src/rescue/take_merge.cpp', 'return good(block) && (block.decision.kind', 'return (block.decision.kind',
           'a block read X anchors two takes'),
    Mutant('src/rescue/take_merge.cpp',
           'good(block) && (block.decision.kind == BlockKind::name || block.decision.kind == BlockKind::data);',
           'good(block);', 'end and 0xB9 blocks, the same on every tape, anchor two takes'),
    Mutant('src/rescue/take_merge.cpp', 'a.first < b.first : a.second > b.second;', 'a.first < b.first : a.second < b.second;',
           'a block of the reference that another take has twice anchors both'),
    Mutant('src/rescue/take_merge.cpp', '(seconds - anchors[0].first) * slope;', '(seconds - anchors[0].first);',
           'with a single anchor, the time map runs at the same speed in both takes'),
    Mutant('src/rescue/take_merge.cpp', 'if (separator > 0) map.slope = separatorOf(reference) / separator;',
           'if (separator > 0) map.slope = separator / separatorOf(reference);', 'the takes\' speed ratio taken the wrong way round'),
    Mutant('src/rescue/take_merge.cpp', '(t1 > t0 ? (r1 - r0) / (t1 - t0) : slope)', '((r1 - r0) / (t1 - t0))',
           'two anchors at one instant give the map an infinite slope'),
    Mutant('src/rescue/take_merge.cpp', 'const double tolerance = 0.1 + 0.03 * nearestAnchor;',
           'const double tolerance = 0.1;', 'a block far from the anchors matched only within 0.1 s'),
    Mutant('src/rescue/take_merge.cpp', 'if (!wholeBlock(bytes) || slipRisk > kTrustedSlipRisk) continue;',
           'if (!wholeBlock(bytes) || slipRisk > 0.003) continue;', 'summed readings trusted up to a slip risk of 0.003'),
    Mutant('src/rescue/take_merge.cpp', 'if (!wholeBlock(bytes) || slipRisk > kTrustedSlipRisk) continue;',
           'if (!wholeBlock(bytes) || slipRisk > 0.002) continue;', 'summed readings trusted only up to a slip risk of 0.002'),
    Mutant('src/rescue/take_merge.cpp', 'if (!wholeBlock(bytes) || slipRisk > kTrustedSlipRisk) continue;',
           'if (!wholeBlock(bytes)) continue;', 'summed readings trusted whatever their slip risk'),
    Mutant('src/rescue/take_merge.cpp', '                    if (!found.empty() && bytes != found) return {};\n', '',
           'of summed readings that give two blocks, the last stands'),
    Mutant('src/rescue/take_merge.cpp', 'if (!sum.empty() && !(pieced ? sureOfOtherThan(parts, sum) : holdsOtherThan(parts, sum))) {',
           'if (!sum.empty()) {', 'a summed reading stands where a take read another good block'),
    Mutant('src/rescue/take_merge.cpp', 'pieced ? sureOfOtherThan(parts, sum) : holdsOtherThan(parts, sum)',
           'holdsOtherThan(parts, sum)', 'a pieced sum vetoed by the broken readings it was pieced from'),
    Mutant('src/rescue/take_merge.cpp', 'pieced ? sureOfOtherThan(parts, sum) : holdsOtherThan(parts, sum)',
           'sureOfOtherThan(parts, sum)', 'a sum stands where a take read another good block, its timing unsure'),
    Mutant('src/rescue/take_merge.cpp', '            if (parts[p].take == parts[q].take) continue;\n', '',
           'two readings of one take summed as if of two',
           survives='A guard that no merge reaches today: every group of readings begins with one block of the first '
           'take and takes at most one block of each other take, so no group holds two readings of one take.'),
    Mutant('src/rescue/take_merge.cpp', "            if (decision.mark == 'O') decided.decision.mark = 'O';\n", '',
           'a block read J by one take and O by another stays J'),
    Mutant('src/rescue/take_merge.cpp', 'agree = agree && decision.bytes == bytes;', 'agree = decision.bytes == bytes;',
           'only the last take\'s good block is held against the first'),
    # print-through
    Mutant('src/rescue/print_through.cpp', 'kEchoSeconds = 5.0;', 'kEchoSeconds = 5.5;',
           'a copy looked for up to 5.5 s from its block'),
    Mutant('src/rescue/print_through.cpp', 'kEchoSeconds = 5.0;', 'kEchoSeconds = 4.5;',
           'a copy looked for only up to 4.5 s from its block'),
    Mutant('src/rescue/print_through.cpp', 'kEchoShare = 0.1;', 'kEchoShare = 0.11;',
           'a block 19.2 dB below another with its bytes taken for a copy'),
    Mutant('src/rescue/print_through.cpp', 'kEchoShare = 0.1;', 'kEchoShare = 0.09;',
           'a block 20.5 dB below another with its bytes kept'),
    Mutant('src/rescue/print_through.cpp', 'return copy.decision.bytes == source.decision.bytes;', 'return copy.decision.bytes.size() == source.decision.bytes.size();',
           'a block of other bytes but the same length taken out as a copy'),
    Mutant('src/rescue/print_through.cpp', 'if (j == i || (!good(blocks[j]) && !good(blocks[i])) || !sameBytes',
           'if (j == i || !sameBytes', 'a copy read X of a block read X is taken out'),
    Mutant('src/rescue/print_through.cpp', 'return start.size() <= bytes.size() && std::equal(start.begin(), start.end(), bytes.begin());',
           'return start.size() <= bytes.size();', 'a block cut short taken for a copy\'s, or its source, whatever bytes it read'),
    Mutant('src/rescue/print_through.cpp', 'if (const auto* read = cutShort(copy)) return startsWith(source.decision.bytes, *read);\n', '',
           'a copy cut short compared with its padding: kept'),
    Mutant('src/rescue/print_through.cpp', 'if (const auto* read = cutShort(source)) return startsWith(copy.decision.bytes, *read);\n', '',
           'a copy read good of a block cut short compared with its padding: kept, the block written twice'),
    Mutant('src/rescue/print_through.cpp', 'return std::max(own, levelOver(recording, sync, decision.firstSample - 1));',
           'return own;', 'a copy of a block sunk by a dropout measured against the sunk block: kept'),
    Mutant('src/rescue/print_through.cpp', 'kOverResolution = 2;', 'kOverResolution = 1.5;',
           'a copy at the sample width\'s resolution taken out under a block only 1.5 times louder than it'),
    Mutant('src/rescue/print_through.cpp', 'kOverResolution = 2;', 'kOverResolution = 2.3;',
           'a copy at the sample width\'s resolution kept under a block 2.02 times louder than it'),
    Mutant('src/rescue/print_through.cpp', ' || (copy <= resolution && source >= kOverResolution * resolution)', '',
           'a copy at the sample width\'s resolution kept: the block is written twice'),
    Mutant('src/rescue/print_through.cpp', 'kResolutionSteps = 1.7320508075688772;', 'kResolutionSteps = 1.4;',
           'the resolution taken as 1.4 quantisations: a copy at 0.3 of a block at 1 kept'),
    Mutant('src/rescue/print_through.cpp', '(!good(blocks[j]) && !good(blocks[i]))', '!good(blocks[j])',
           'a copy read good of a block read X is kept: the block is written twice'),
    Mutant('src/rescue/rescue_decoder.cpp', '    report.echoes = reference.echoes;\n', '',
           'the copies left out are not reported'),
    Mutant('src/rescue/damage_report.cpp', 'report.echoes[echo].firstSecond < report.blockless[stretch].firstSecond',
           'report.echoes[echo].firstSecond > report.blockless[stretch].firstSecond',
           'a copy reported after a later stretch without a block'),
    Mutant('src/rescue/damage_report.cpp', 'report.echoes[echo].firstSecond < second;', 'true;',
           'every copy reported before the first block line'),
    Mutant('src/decoder/wav_input.cpp', 'input.bytesRead = index * input.frameBytes;',
           'input.bytesRead = index * input.sampleBytes;',
           'the rescue decoder\'s re-read of one channel of several lands on another channel'),
    # The damage map: where it draws what, its text, its labels and ticks.
    Mutant('src/map/map_columns.cpp', 'std::ceil(at + perValue) - 1);', 'std::ceil(at + perValue));',
           'an envelope value reaches one column past the ones it covers'),
    Mutant('src/map/map_columns.cpp', '    column.sum += value;\n    ++column.count;', '    column.sum += value;',
           'a column does not count its values'),
    Mutant('src/map/map_columns.cpp', 'const double firstOnAxis = std::max(0.0, std::floor(-start / perValue) - 1);',
           'const double firstOnAxis = std::max(0.0, std::floor(-start / perValue) + 1);',
           'the envelope\'s first values on the axis skipped'),
    Mutant('src/map/map_axis.cpp', 'i * step <= axis.seconds * (1 + 1e-9)', 'i * step < axis.seconds',
           'no tick at the end of the axis'),
    Mutant('src/map/map_axis.cpp', 'if (axis.seconds / round <= kMostSteps)', 'if (axis.seconds / round < kMostSteps / 2)',
           'ticks twice as far apart'),
    Mutant('src/map/map_axis.cpp', 'kPlotLeft + kPlotColumns * std::clamp(second / axis.seconds, 0.0, 1.0)',
           'kPlotLeft + kPlotColumns * second / axis.seconds', 'a time off the axis drawn off the plot'),
    Mutant('src/map/label_rows.cpp', 'if (at < ends_[row] + kGap) continue;', 'if (at < ends_[row]) continue;',
           'labels in a row without a gap between them'),
    Mutant('src/map/label_rows.cpp', 'kWidthPerSize = 0.62;', 'kWidthPerSize = 0.5;',
           'a label taken for narrower than its letters'),
    Mutant('src/map/label_rows.cpp', 'if (textWidth(text, fontSize) > room) text = text.substr(0, text.find(\'_\'));', '',
           'a crowded label keeps its whole name'),
    Mutant('src/map/svg_text.cpp', 'if (point < least || (point', 'if ((point',
           'an overlong form passes into the picture'),
    Mutant('src/map/svg_text.cpp', '(point >= 0xD800 && point <= 0xDFFF) || ', '',
           'a UTF-16 surrogate passes into the picture'),
    Mutant('src/map/svg_text.cpp', '            case \'"\':\n                out += "&quot;";\n                break;\n', '',
           'a double quote left unescaped'),
    Mutant('src/map/svg_text.cpp', 'return text == "-0" ? "0" : std::string(text);', 'return std::string(text);',
           'a negative zero printed as -0'),
    Mutant('src/map/map_shapes.cpp', 'const double width = std::max(right - left, narrowest);',
           'const double width = right - left;', 'a short block drawn narrower than a pixel'),
    Mutant('src/map/map_shapes.cpp', 'if (!joined.empty() && bar.x <= joined.back().bar.x + joined.back().bar.width)',
           'if (!joined.empty() && bar.x <= joined.back().bar.x + joined.back().bar.width + 2)',
           'dropouts two pixels apart drawn as one'),
    Mutant('src/map/tape_map_svg.cpp', 'if (!block.takes.empty()) append(title, "\\nfelvétel: ", block.takes);', '',
           'a block\'s title without the takes that gave it'),
    Mutant('src/map/tape_map_svg.cpp', "for (const char mark : {'O', 'J', 'X'})", "for (const char mark : {'X', 'O', 'J'})",
           'the failed blocks drawn first, under the good ones'),
]


def copy_tree(repository, tree):
    """Copies the repository into tree, rewriting only files that differ, so that the build stays incremental."""
    skip = lambda name: name == '.git' or name == 'out' or name.startswith('build')
    wanted = set()
    for root, dirs, files in os.walk(repository):
        relative = os.path.relpath(root, repository)
        if relative == '.':
            dirs[:] = [d for d in dirs if not skip(d)]
        dirs[:] = [d for d in dirs if d != '__pycache__']
        for name in files:
            source = os.path.join(root, name)
            path = os.path.normpath(os.path.join(relative, name))
            wanted.add(path)
            target = os.path.join(tree, path)
            if os.path.exists(target) and open(target, 'rb').read() == open(source, 'rb').read():
                continue
            os.makedirs(os.path.dirname(target), exist_ok=True)
            # Copied as new: the source's own time may lie before that of an
            # object the copy built from an older text.
            shutil.copy(source, target)
    for top in ('src', 'tests'):
        for root, _, files in os.walk(os.path.join(tree, top)):
            for name in files:
                path = os.path.relpath(os.path.join(root, name), tree)
                if path not in wanted:
                    os.remove(os.path.join(tree, path))


def run(command, cwd, timeout=None):
    # A mutant may make the program print bytes that are no UTF-8.
    return subprocess.run(command, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                          errors='replace', timeout=timeout)


def build(tree):
    return run(['cmake', '--build', 'build-tests', '-j2'], tree)


def test(tree, per_test_timeout, every=False):
    return run(['ctest', '--test-dir', 'build-tests', '--output-on-failure', '-j2', '--timeout', str(per_test_timeout)]
               + ([] if every else ['--stop-on-failure']), tree)


def failed_tests(output):
    """The names in ctest's closing list of failed tests."""
    listed = output.split('The following tests FAILED:')[-1] if 'The following tests FAILED:' in output else ''
    return [line.split(' - ', 1)[1].rsplit(' (', 1)[0].strip() for line in listed.splitlines() if ' - ' in line]


def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    parser.add_argument('--scratch', default='/tmp/kazettor_mutants', help='scratch directory (kept between runs)')
    parser.add_argument('--only', default='', help='run only mutants whose file or description contains this')
    parser.add_argument('--threshold', type=float, default=90.0, help='lowest passing score in percent')
    parser.add_argument('--timeout', type=int, default=60, help='seconds allowed per test')
    parser.add_argument('--from', dest='start', type=int, default=1,
                        help='begin with this mutant of those chosen (to finish a run that stopped)')
    parser.add_argument('--list', action='store_true', help='print the mutants and check their texts, nothing more')
    parser.add_argument('--verbose', action='store_true', help='show the failing test of each killed mutant')
    parser.add_argument('--matrix', default='',
                        help='run every test on each mutant and append, per mutant, the tests that failed to this '
                             'file (a JSON line each): which tests kill what no other test does')
    args = parser.parse_args()
    repository = os.path.abspath(os.path.join(os.path.dirname(__file__), '..'))
    tree = os.path.join(args.scratch, 'tree')
    mutants = [m for m in MUTANTS if args.only in m.file or args.only in m.description]

    stale = [m for m in mutants
             if open(os.path.join(repository, m.file), encoding='utf-8').read().count(m.original) != 1]
    for m in stale:
        print('STALE: %s: the text to replace does not occur exactly once: %r' % (m.file, m.original))
    if args.list:
        for number, m in enumerate(mutants, 1):
            print('%3d %-36s %s' % (number, m.file, m.description))
        return 1 if stale else 0
    if stale:
        return 1

    started = time.time()
    os.makedirs(tree, exist_ok=True)
    copy_tree(repository, tree)
    # Without warnings as errors: a fault that leaves a variable or a helper
    # unused is still a fault for the tests to catch, not a build to refuse.
    configured = run(['cmake', '-S', '.', '-B', 'build-tests', '-DCMAKE_BUILD_TYPE=Release',
                      '-DKAZETTOR_WERROR=OFF'], tree)
    if configured.returncode != 0:
        print(configured.stdout)
        return 1
    for step, result in (('build', build(tree)), ('tests', test(tree, args.timeout))):
        if result.returncode != 0:
            print('The unmutated copy fails its %s:\n%s' % (step, result.stdout[-4000:]))
            return 1
    print('Unmutated copy built and tested in %.0f s; %d mutants.' % (time.time() - started, len(mutants)))

    outcomes = []  # (mutant, 'killed' | 'survived' | 'no-compile', seconds)
    for number, m in enumerate(mutants, 1):
        if number < args.start:
            continue
        path = os.path.join(tree, m.file)
        original = open(path, encoding='utf-8').read()
        began = time.time()
        try:
            with open(path, 'w', encoding='utf-8') as out:
                out.write(original.replace(m.original, m.replacement, 1))
            built = build(tree)
            if built.returncode != 0:
                outcome, detail = 'no-compile', built.stdout[-1500:]
            else:
                tested = test(tree, args.timeout, every=bool(args.matrix))
                if args.matrix:
                    with open(args.matrix, 'a', encoding='utf-8') as out:
                        out.write(json.dumps({'number': number, 'file': m.file, 'description': m.description,
                                              'failed': failed_tests(tested.stdout)}) + '\n')
                outcome = 'killed' if tested.returncode != 0 else 'survived'
                failing = [line.strip() for line in tested.stdout.splitlines() if '***' in line or 'Failed' in line]
                detail = failing[0] if failing else ''
        finally:
            with open(path, 'w', encoding='utf-8') as out:
                out.write(original)
        seconds = time.time() - began
        outcomes.append((m, outcome, seconds))
        print('%3d/%d %-10s %5.0f s  %s: %s' % (number, len(mutants), outcome, seconds, m.file, m.description))
        if outcome == 'no-compile' or (args.verbose and detail):
            print('      ' + detail.replace('\n', '\n      '))
        sys.stdout.flush()
    build(tree)  # leave the copy built as it stands

    print('\nPer file (killed / survived):')
    per_file = collections.OrderedDict()
    for m, outcome, _ in outcomes:
        per_file.setdefault(m.file, collections.Counter())[outcome] += 1
    for name, counts in per_file.items():
        print('  %-40s %2d / %d%s' % (name, counts['killed'], counts['survived'],
                                      '  (%d do not compile)' % counts['no-compile'] if counts['no-compile'] else ''))
    killed = sum(1 for _, outcome, _ in outcomes if outcome == 'killed')
    survivors = [m for m, outcome, _ in outcomes if outcome == 'survived']
    broken = [m for m, outcome, _ in outcomes if outcome == 'no-compile']
    counted = killed + len(survivors)
    score = 100.0 * killed / counted if counted else 0.0
    unexplained = [m for m in survivors if not m.survives]
    if survivors:
        print('\nSurvivors:')
        for m in survivors:
            print('  %s: %s\n    %s' % (m.file, m.description, m.survives or 'UNEXPLAINED'))
    print('\n%d mutants: %d killed, %d survived, %d do not compile. Score %.1f %% (threshold %.0f %%). %.0f min.'
          % (len(outcomes), killed, len(survivors), len(broken), score, args.threshold, (time.time() - started) / 60))
    if broken:
        print('Mutants that do not compile must be taken out of the list.')
    if unexplained:
        print('Every survivor must be explained in the list (survives=...).')
    return 0 if score >= args.threshold and not broken and not unexplained else 1


if __name__ == '__main__':
    sys.exit(main())
