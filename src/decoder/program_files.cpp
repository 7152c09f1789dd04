#include "decoder/program_files.h"

#include <array>

#include "common/console.h"
#include "common/path_base.h"
#include "decoder/block_kinds.h"
#include "decoder/decoder_state.h"
#include "formats/ptp_image.h"

namespace {

// Primo name characters that stand for accented vowels become plain vowels.
constexpr std::array<char, 256> makeNameCharacterTable() {
    std::array<char, 256> table{};
    for (int i = 0; i < 256; ++i) table[static_cast<std::size_t>(i)] = static_cast<char>(i);
    table[0x1E] = 'i';
    table[0x40] = 'E';
    table[0x5B] = 'o';
    table[0x5C] = 'O';
    table[0x5D] = 'A';
    table[0x5E] = 'U';
    table[0x5F] = 'u';
    table[0x60] = 'e';
    table[0x7B] = 'o';
    table[0x7C] = 'o';
    table[0x7D] = 'a';
    table[0x7E] = 'u';
    table[0x7F] = 'u';
    table['/'] = '_';
#if defined(_WIN32)
    // On Windows a colon in a file name opens a hidden stream of another
    // file, where the program's blocks would be lost from sight.
    table[':'] = '_';
#endif
    return table;
}

constexpr std::array<char, 256> kNameCharacters = makeNameCharacterTable();

// "%s/%02d_": the number is padded to two digits, never cut.
std::string numberedPrefix(std::uint32_t number) {
    std::string digits = std::to_string(number);
    if (digits.size() < 2) digits.insert(0, 2 - digits.size(), '0');
    return pathBase + "/" + digits + "_";
}

}  // namespace

std::string programFilePath(std::uint32_t number, const std::uint8_t* name, std::size_t length, bool raw) {
    std::string path = numberedPrefix(number);
    for (std::size_t i = 0; i < length && name[i] != 0; ++i) path += kNameCharacters[name[i]];
    path += raw ? ".ass" : ".ptp";
    return path;
}

void startProgramFile(const std::string& path, bool raw, int nameLength) {
    DecoderState& state = decoderState;
    closeOutputFile(state.outFile);
    state.rawOutput = raw;
    state.headerlessOutput = false;
    if (!openOutputFile(state.outFile, path, "wb+")) return;
    if (!raw) {
        writePtpImageHeader(state.outFile);
        writePtpRecord(state.outFile, kRecordType, state.blockBuf.data(),
                       static_cast<std::size_t>(nameLength) + 4);
    }
}

void startNamedProgram(int nameLength) {
    DecoderState& state = decoderState;
    ++state.fileCounter;
    const bool raw = state.blockBuf[0] == kRawProgramType;
    const std::string path = programFilePath(state.fileCounter, state.blockBuf.data() + 3,
                                             static_cast<std::size_t>(nameLength), raw);
    consolePrint("%s\n", path.c_str());
    startProgramFile(path, raw, nameLength);
}

void storeDataBlock(int dataLength) {
    DecoderState& state = decoderState;
    if (!outputIsOpen(state.outFile)) {
        ++state.fileCounter;
        state.rawOutput = false;
        state.headerlessOutput = true;
        if (!openOutputFile(state.outFile, numberedPrefix(state.fileCounter) + "Unknown.bin", "wb+")) {
            return;
        }
    }
    const auto length = static_cast<std::size_t>(dataLength);
    if (state.rawOutput) {
        writeOutput(state.outFile, state.blockBuf.data() + 5, length);
    } else {
        writePtpRecord(state.outFile, kRecordType, state.blockBuf.data(), length + 6);
    }
}

void storeB9Block() {
    DecoderState& state = decoderState;
    if (state.rawOutput || !outputIsOpen(state.outFile)) return;
    writePtpRecord(state.outFile, kLastRecordType, state.blockBuf.data(), 5);
}

void finishProgramFile() {
    DecoderState& state = decoderState;
    if (!outputIsOpen(state.outFile)) return;
    if (!state.rawOutput) {
        writePtpRecord(state.outFile, kLastRecordType, state.blockBuf.data(), 3);
        // A headerless record file has a record header where the length would go.
        if (!state.headerlessOutput) completePtpImage(state.outFile);
    }
    closeOutputFile(state.outFile);
}

void closeProgramFileAtEnd() { closeOutputFile(decoderState.outFile); }
