#pragma once

#include <cstdint>

// Takes one decoded bit. shiftRegister holds the last bits received, the
// newest in bit 0, so its low byte is the last eight bits, earliest in bit 7.
// Finds the three 0xD3 sync bytes, collects the block that follows them in
// blockBuf, echoes its bytes with an O/X checksum mark and writes it to the
// program's output file. May clear shiftRegister, and clears the lock state
// after an end block or when a block runs past its length cap.
void takeBit(std::uint16_t& shiftRegister);

// True when the sum, modulo 256, of blockBuf[1] .. blockBuf[n] equals blockBuf[n + 1].
bool blockChecksumOk(int n);
