#include "encoder/ptp_to_wav.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "common/console.h"
#include "common/input_file.h"
#include "common/messages.h"
#include "common/output_file.h"
#include "common/path_base.h"
#include "common/run_end.h"
#include "encoder/bit_waveform.h"
#include "encoder/encoder_settings.h"
#include "formats/ptp_image.h"
#include "formats/wav_header.h"

// The tape signal of one image: a lead-in of 512 bytes 0xAA; per record 96
// bytes 0xFF, the three sync bytes 0xD3 and the payload (one tape block);
// after a last record the end mark 0xFF. Three seconds of silence stand
// before the first image and after each one.

namespace {

constexpr int kLeadInBytes = 512;
constexpr std::uint8_t kLeadInByte = 0xAA;
constexpr int kPreambleBytes = 96;
constexpr std::uint8_t kFillByte = 0xFF;
constexpr int kSyncBytes = 3;
constexpr std::uint8_t kSyncByte = 0xD3;
constexpr std::uint8_t kEndMark = 0xFF;
constexpr std::int64_t kSilenceSeconds = 3;

void renderRepeated(OutputFile& out, std::uint8_t byte, int count) {
    for (int i = 0; i < count; ++i) renderByte(out, byte);
}

void renderSilenceStretch(OutputFile& out) { renderSilence(out, kSilenceSeconds * encoderSettings.encRate); }

// A malformed input stops the conversion after its message: what was written
// stays, with the header's sizes not filled in.
[[noreturn]] void stopConversion(OutputFile& out) {
    closeOutputFile(out);
    endRun(1);
}

// Renders the payload as it is read; false when the file ends before its end.
bool renderPayload(std::FILE* input, OutputFile& out, std::size_t length) {
    std::array<std::uint8_t, 4096> chunk;
    while (length > 0) {
        const std::size_t wanted = std::min(length, chunk.size());
        const std::size_t got = readPtpPayload(input, chunk.data(), wanted);
        for (std::size_t i = 0; i < got; ++i) renderByte(out, chunk[i]);
        if (got < wanted) return false;
        length -= got;
    }
    return true;
}

// One image after its header: lead-in, then records until a last record or
// the end of the file.
void renderImage(std::FILE* input, OutputFile& out) {
    renderRepeated(out, kLeadInByte, kLeadInBytes);
    for (;;) {
        PtpHeaderBytes record;
        const PtpRead read = readPtpRecordHeader(input, record);
        if (read == PtpRead::end) return;
        if (read == PtpRead::rejected) stopConversion(out);
        renderRepeated(out, kFillByte, kPreambleBytes);
        renderRepeated(out, kSyncByte, kSyncBytes);
        if (!renderPayload(input, out, ptpPayloadLength(record))) {
            printShortPayloadMessage(record);
            stopConversion(out);
        }
        if (record[0] == kLastRecordType) {
            renderByte(out, kEndMark);
            return;
        }
    }
}

}  // namespace

std::string wavPathFor(const std::string& ptpPath) {
    const std::size_t dot = ptpPath.rfind('.');
    return (dot == std::string::npos ? ptpPath : ptpPath.substr(0, dot)) + ".wav";
}

void convertPtpToWav(const char* path) {
    settleEncoderSettings();
    const EncoderSettings& settings = encoderSettings;
    WavHeader header = makePcmHeader(static_cast<std::uint32_t>(settings.encRate),
                                     static_cast<std::uint16_t>(settings.encBits));
    pathBase = wavPathFor(path);

    InputStream input = openInputFile(path);
    if (!input) reportFailure(kOpenFailedMessage, path);
    OutputFile out;
    if (!openOutputFile(out, pathBase, "wb+")) reportFailure(kOpenFailedMessage, pathBase.c_str());

    const WavHeaderBytes placeholder = encodeWavHeader(header);
    writeOutput(out, placeholder.data(), placeholder.size());
    prepareBitCells();
    renderSilenceStretch(out);

    for (;;) {
        PtpHeaderBytes image;
        const PtpRead read = readPtpImageHeader(input.get(), image);
        if (read == PtpRead::end) break;
        if (read == PtpRead::rejected) stopConversion(out);
        renderImage(input.get(), out);
        renderSilenceStretch(out);
    }

    input.reset();
    const std::int64_t length = outputPosition(out);
    header.riffSize = headerSizeField(length - 8);
    header.dataSize = headerSizeField(length - static_cast<std::int64_t>(kWavHeaderBytes));
    const WavHeaderBytes finished = encodeWavHeader(header);
    seekOutput(out, 0);
    writeOutput(out, finished.data(), finished.size());
    closeOutputFile(out);
}
