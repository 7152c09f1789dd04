#include "sim_programs.h"

namespace {

constexpr std::uint8_t kRawNameType = 0x8A;

bool isRaw(const TapeProgram& program) { return program.blocks.front()[0] == kRawNameType; }

Bytes imageOf(const TapeProgram& program, bool b9Last) {
    Bytes image = {0xFF, 0, 0};
    for (std::size_t b = 0; b < program.blocks.size(); ++b) {
        const bool last = b + 1 == program.blocks.size() || (b9Last && program.blocks[b][0] == 0xB9);
        addRecord(image, last ? 0xAA : 0x55, program.blocks[b]);
    }
    image[1] = static_cast<std::uint8_t>(image.size());
    image[2] = static_cast<std::uint8_t>(image.size() >> 8);
    return image;
}

// One of the types first..last but `except`.
std::uint8_t typeBetween(Draw& draw, int first, int last, int except) {
    for (;;) {
        const int type = draw.integer(first, last);
        if (type != except) return static_cast<std::uint8_t>(type);
    }
}

}  // namespace

Bytes withChecksum(Bytes block) {
    unsigned sum = 0;
    for (std::size_t i = 1; i < block.size(); ++i) sum += block[i];
    block.push_back(static_cast<std::uint8_t>(sum));
    return block;
}

void addRecord(Bytes& image, std::uint8_t type, const Bytes& block) {
    image.push_back(type);
    image.push_back(static_cast<std::uint8_t>(block.size()));
    image.push_back(static_cast<std::uint8_t>(block.size() >> 8));
    image.insert(image.end(), block.begin(), block.end());
}

Bytes tapeImageOf(const TapeProgram& program) { return imageOf(program, false); }

Bytes decodedFileOf(const TapeProgram& program) {
    if (!isRaw(program)) return imageOf(program, true);
    Bytes data;
    for (const Bytes& block : program.blocks) {
        if (block[0] >= 0xF0 || block[0] == 0x0C) data.insert(data.end(), block.begin() + 5, block.end() - 1);
    }
    return data;
}

std::string decodedFileName(const TapeProgram& program) {
    return program.name + (isRaw(program) ? ".ass" : ".ptp");
}

TapeProgram simuProgram(int blocks, std::mt19937& random) {
    TapeProgram program;
    program.name = "SIMU";
    program.blocks.push_back(withChecksum({0x83, 0x00, 4, 'S', 'I', 'M', 'U'}));
    program.labels.push_back("name");
    for (int b = 0; b < blocks; ++b) {
        Bytes data = {0xF1, static_cast<std::uint8_t>(b), 0x43, 0x00, 0x00};
        for (int i = 0; i < 256; ++i) data.push_back(static_cast<std::uint8_t>(random()));
        program.blocks.push_back(withChecksum(data));
        program.labels.push_back("data " + std::to_string(b + 1));
    }
    program.blocks.push_back(withChecksum({0xB1, 0x00}));
    program.labels.push_back("end");
    return program;
}

TapeProgram randomProgram(Draw& draw, const std::string& name) {
    TapeProgram program;
    program.name = name;
    const std::uint8_t nameType =
        draw.chance(0.15) ? kRawNameType : typeBetween(draw, 0x80, 0x8F, kRawNameType);
    Bytes nameBlock = {nameType, draw.chance(0.8) ? std::uint8_t{0} : draw.byte(),
                       static_cast<std::uint8_t>(name.size())};
    nameBlock.insert(nameBlock.end(), name.begin(), name.end());
    program.blocks.push_back(withChecksum(nameBlock));
    program.labels.push_back("name");

    // Data blocks numbered on from 0 or 1, their addresses following on.
    const std::uint8_t dataType = draw.chance(0.7)   ? std::uint8_t{0xF1}
                                  : draw.chance(0.1) ? std::uint8_t{0x0C}
                                                     : static_cast<std::uint8_t>(draw.integer(0xF0, 0xFF));
    const int count = draw.integer(2, 12);
    const int b9After = draw.chance(0.25) ? (draw.chance(0.7) ? count : draw.integer(1, count)) : 0;
    int number = draw.integer(0, 1);
    unsigned address = static_cast<unsigned>(draw.integer(0x40, 0xC0)) << 8;
    for (int b = 1; b <= count; ++b) {
        const int length = draw.chance(0.4) ? 256 : draw.integer(1, 255);
        Bytes data = {dataType, static_cast<std::uint8_t>(number++), static_cast<std::uint8_t>(address),
                      static_cast<std::uint8_t>(address >> 8), static_cast<std::uint8_t>(length)};
        for (int i = 0; i < length; ++i) data.push_back(draw.byte());
        address += static_cast<unsigned>(length);
        program.blocks.push_back(withChecksum(data));
        program.labels.push_back("data " + std::to_string(b));
        if (b == b9After) {
            program.blocks.push_back(withChecksum({0xB9, draw.byte(), draw.byte(), draw.byte()}));
            program.labels.push_back("B9");
        }
    }
    const std::uint8_t endType = draw.chance(0.7) ? std::uint8_t{0xB1} : typeBetween(draw, 0xB0, 0xBF, 0xB9);
    program.blocks.push_back(withChecksum({endType, draw.chance(0.7) ? std::uint8_t{0} : draw.byte()}));
    program.labels.push_back("end");
    return program;
}
