#include "formats/ptp_image.h"

#include "common/console.h"
#include "common/little_endian.h"

namespace {

bool readHeaderBytes(std::FILE* stream, PtpHeaderBytes& header) {
    return std::fread(header.data(), 1, header.size(), stream) == header.size();
}

void printWithHeaderBytes(const char* format, const PtpHeaderBytes& header) {
    consolePrint(format, header[0], header[1], header[2]);
}

}  // namespace

void writePtpImageHeader(OutputFile& file) {
    const std::uint8_t header[3] = {kImageMarker, 0x00, 0x00};
    writeOutput(file, header, sizeof header);
}

void writePtpRecord(OutputFile& file, std::uint8_t type, const std::uint8_t* payload, std::size_t length) {
    std::uint8_t header[3] = {type, 0, 0};
    writeLe16(header + 1, static_cast<std::uint32_t>(length));
    writeOutput(file, header, sizeof header);
    writeOutput(file, payload, length);
}

void completePtpImage(OutputFile& file) {
    std::int64_t length = outputPosition(file);
    std::uint8_t field[2];
    writeLe16(field, static_cast<std::uint32_t>(length & 0xFFFF));
    seekOutput(file, 1);
    writeOutput(file, field, sizeof field);
}

PtpRead readPtpImageHeader(std::FILE* stream, PtpHeaderBytes& header) {
    if (!readHeaderBytes(stream, header)) return PtpRead::end;
    if (header[0] != kImageMarker) {
        printWithHeaderBytes("\nNem szabványos PTP file, nem 0xFF-el kezdődik: %02x %02x %02x\n", header);
        return PtpRead::rejected;
    }
    return PtpRead::header;
}

PtpRead readPtpRecordHeader(std::FILE* stream, PtpHeaderBytes& header) {
    if (!readHeaderBytes(stream, header)) return PtpRead::end;
    if (header[0] != kRecordType && header[0] != kLastRecordType) {
        printWithHeaderBytes(
            "\nNem szabványos PTP file, nem 0x55 vagy 0xAA a blokk kezdete: %02x %02x %02x\n", header);
        return PtpRead::rejected;
    }
    return PtpRead::header;
}

std::size_t readPtpPayload(std::FILE* stream, std::uint8_t* buffer, std::size_t length) {
    return std::fread(buffer, 1, length, stream);
}

void printShortPayloadMessage(const PtpHeaderBytes& header) {
    printWithHeaderBytes("\nNem szabványos PTP file, a blokk rövidebb a megadott hossznál: %02x %02x %02x\n",
                         header);
}
