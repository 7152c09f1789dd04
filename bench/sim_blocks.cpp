#include "sim_blocks.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace {

bool isHexByte(const std::string& word) {
    return word.size() == 2 && std::isxdigit(static_cast<unsigned char>(word[0])) &&
           std::isxdigit(static_cast<unsigned char>(word[1]));
}

bool isMark(const std::string& word) {
    return word == "O" || word == "O:" || word == "J" || word == "J:" || word == "X" || word == "X:";
}

}  // namespace

std::vector<BlockLine> blockLinesOf(const std::string& output) {
    std::vector<BlockLine> lines;
    std::istringstream in(output);
    double syncSecond = -1;
    for (std::string line; std::getline(in, line);) {
        static const std::string kSync = "d3 szinkron byte ";
        if (line.compare(0, kSync.size(), kSync) == 0) {
            syncSecond = std::strtod(line.c_str() + kSync.size(), nullptr);
            continue;
        }
        std::istringstream words(line);
        BlockLine block;
        block.syncSecond = syncSecond;
        for (std::string word; words >> word;) {
            if (isHexByte(word)) {
                block.bytes.push_back(static_cast<std::uint8_t>(std::stoi(word, nullptr, 16)));
            } else {
                if (isMark(word) && (!block.bytes.empty() || line.front() == ' ')) block.mark = word[0];
                break;
            }
        }
        if (block.mark == 0) continue;
        block.text = line;
        lines.push_back(block);
    }
    return lines;
}

std::string differencesFromTruth(const Bytes& read, const std::vector<Bytes>& truth) {
    std::string out;
    for (const Bytes& b : truth) {
        if (b.size() != read.size() || b[0] != read[0] || b[1] != read[1]) continue;
        std::size_t first = 0;
        while (first < b.size() && b[first] == read[first]) ++first;
        int differing = 0;
        for (std::size_t i = 0; i < b.size(); ++i) differing += b[i] != read[i];
        char text[160];
        std::snprintf(text, sizeof text,
                      "true block %02x %02x: first wrong byte %zu of %zu, %d bytes wrong; true/read:", b[0],
                      b[1], first, b.size(), differing);
        out += text;
        for (std::size_t i = first >= 2 ? first - 2 : 0; i < std::min(b.size(), first + 4); ++i) {
            std::snprintf(text, sizeof text, " %02x/%02x", b[i], read[i]);
            out += text;
        }
        out += "\n";
    }
    return out;
}
