#pragma once

#include <cstdint>

// The tape blocks, as they follow the three 0xD3 sync bytes. The type byte
// (block byte 0) tells the kind; the checksum byte is the block's last, the
// sum modulo 256 of every byte between the type byte and itself. A length
// byte of 0 stands for 256.
//   name block  0x80..0x8F       type, 1 byte, length n, n name bytes, checksum  (n + 4 bytes)
//   data block  0xF0..0xFF, 0x0C type, 3 bytes, length n, n data bytes, checksum (n + 6 bytes)
//   0xB9 block  0xB9             type, 3 bytes, checksum                         (5 bytes)
//   end block   0xB0..0xBF       type, 1 byte, checksum                          (3 bytes)
// A name block of type 0x8A starts a program kept as bare data bytes.

enum class BlockKind { name, data, b9, end, unknown };

inline BlockKind blockKindOf(std::uint8_t type) {
    if (type >= 0x80 && type <= 0x8F) return BlockKind::name;
    if (type >= 0xF0 || type == 0x0C) return BlockKind::data;
    if (type == 0xB9) return BlockKind::b9;
    if (type >= 0xB0 && type <= 0xBF) return BlockKind::end;
    return BlockKind::unknown;
}

inline constexpr std::uint8_t kRawProgramType = 0x8A;

// The value of a length byte.
inline int blockLength(std::uint8_t lengthByte) { return lengthByte == 0 ? 256 : lengthByte; }

// Where the kind keeps its length byte, or -1 for the kinds of fixed length.
inline int lengthByteIndex(BlockKind kind) {
    return kind == BlockKind::name ? 2 : kind == BlockKind::data ? 4 : -1;
}

// Bytes of the whole block, type to checksum, given its length byte (read
// only for name and data blocks); 0 for an unknown kind.
inline int blockBytes(BlockKind kind, std::uint8_t lengthByte) {
    switch (kind) {
        case BlockKind::name: return blockLength(lengthByte) + 4;
        case BlockKind::data: return blockLength(lengthByte) + 6;
        case BlockKind::b9: return 5;
        case BlockKind::end: return 3;
        case BlockKind::unknown: break;
    }
    return 0;
}

// True when the sum, modulo 256, of block[1] .. block[n] equals block[n + 1].
inline bool checksumHolds(const std::uint8_t* block, int n) {
    unsigned sum = 0;
    for (int i = 1; i <= n; ++i) sum += block[i];
    return (sum & 0xFF) == block[n + 1];
}
