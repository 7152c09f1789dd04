#pragma once

#include <cstdint>
#include <string>

// The decoder's output files. Every recorded program becomes one numbered
// file in the output directory: as a rule a PTP image, for a name block of
// type 0x8A a raw file of bare data bytes, and for data blocks that arrive
// with no file open a headerless record file. The blocks come from blockBuf.

// "<pathBase>/<NN>_<name>.ptp" (or ".ass" for a raw file). The name ends at
// its first NUL byte, passes through the name character table, and every '/'
// in it becomes '_': a name from tape never leads outside the directory (on
// Windows, nor into a hidden stream: so does every ':').
std::string programFilePath(std::uint32_t number, const std::uint8_t* name, std::size_t length, bool raw);

// A name block of n name bytes: closes the open file as it is, opens the new
// path and, for an image, writes the image header and the name record.
void startProgramFile(const std::string& path, bool raw, int nameLength);
// The name block of n name bytes in blockBuf starts the next numbered file:
// its path is printed and the file started as above.
void startNamedProgram(int nameLength);
// A data block of n data bytes; opens a headerless record file if none is open.
void storeDataBlock(int dataLength);
// The 0xB9 block: a last record, with the file kept open.
void storeB9Block();
// The end block: its record, the image length, and the file closed.
void finishProgramFile();
// The end of a decoding run: a file still open is closed as it stands.
void closeProgramFileAtEnd();
