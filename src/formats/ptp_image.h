#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "common/output_file.h"

// A PTP file holds tape images back to back. An image is a 3-byte image
// header (marker 0xFF, then the image length, little-endian, modulo 65536)
// followed by records; a record is a 3-byte record header (type, payload
// length, little-endian) and its payload, which is one tape block as it
// follows the sync bytes on tape. The 0xAA record is the last of its image.

inline constexpr std::uint8_t kImageMarker = 0xFF;
inline constexpr std::uint8_t kRecordType = 0x55;      // a record that is not the last of its image
inline constexpr std::uint8_t kLastRecordType = 0xAA;  // the last record of its image

using PtpHeaderBytes = std::array<std::uint8_t, 3>;

// Writing, at the current end of the file.
void writePtpImageHeader(OutputFile& file);  // 0xFF 0x00 0x00: length not known yet
void writePtpRecord(OutputFile& file, std::uint8_t type, const std::uint8_t* payload, std::size_t length);
// Writes the file's length into the image header's length field.
void completePtpImage(OutputFile& file);

// Reading. A header that is cut short by the end of the file is the normal
// end of an image or of the file; a header that breaks the format has its
// message printed here and is returned as rejected, for the caller to stop.
enum class PtpRead { header, end, rejected };
PtpRead readPtpImageHeader(std::FILE* stream, PtpHeaderBytes& header);
PtpRead readPtpRecordHeader(std::FILE* stream, PtpHeaderBytes& header);

inline std::size_t ptpPayloadLength(const PtpHeaderBytes& header) { return header[1] + 256u * header[2]; }

// Reads up to length payload bytes; returns how many the file still held.
std::size_t readPtpPayload(std::FILE* stream, std::uint8_t* buffer, std::size_t length);
// The message for a record whose payload ends before its stated length.
void printShortPayloadMessage(const PtpHeaderBytes& header);
