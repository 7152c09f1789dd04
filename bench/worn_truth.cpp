#include "worn_truth.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

constexpr const char* kFirstLine = "kazettor worn-tape truth 1";

std::string hexOf(const Bytes& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (std::uint8_t b : bytes) {
        text += digits[b >> 4];
        text += digits[b & 15];
    }
    return text;
}

bool bytesOf(const std::string& hex, Bytes& bytes) {
    if (hex.size() % 2 != 0) return false;
    bytes.clear();
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        unsigned value = 0;
        if (std::sscanf(hex.c_str() + i, "%2x", &value) != 1) return false;
        bytes.push_back(static_cast<std::uint8_t>(value));
    }
    return true;
}

std::vector<std::string> fieldsOf(const std::string& line) {
    std::vector<std::string> fields;
    std::istringstream in(line);
    for (std::string field; std::getline(in, field, '\t');) fields.push_back(field);
    return fields;
}

}  // namespace

void writeTruth(const std::string& path, const Truth& truth) {
    std::ofstream out(path);
    out << kFirstLine << "\n";
    out << "description\t" << truth.description << "\n";
    for (const TruthProgram& p : truth.programs)
        out << "program\t" << p.fileName << "\t" << hexOf(p.file) << "\n";
    for (const TruthBlock& b : truth.blocks) {
        char times[64];
        std::snprintf(times, sizeof times, "%.3f\t%.3f", b.from, b.to);
        out << "block\t" << b.label << "\t" << times << "\t" << hexOf(b.bytes) << "\n";
    }
    for (const std::string& note : truth.notes) out << "note\t" << note << "\n";
}

bool readTruth(const std::string& path, Truth& truth) {
    std::ifstream in(path);
    std::string line;
    if (!std::getline(in, line) || line != kFirstLine) {
        std::fprintf(stderr, "%s: not a truth file of this program\n", path.c_str());
        return false;
    }
    truth = Truth{};
    for (int number = 2; std::getline(in, line); ++number) {
        const std::vector<std::string> f = fieldsOf(line);
        bool good = !f.empty();
        if (good && f[0] == "description" && f.size() == 2) {
            truth.description = f[1];
        } else if (good && f[0] == "program" && f.size() == 3) {
            truth.programs.push_back({f[1], {}});
            good = bytesOf(f[2], truth.programs.back().file);
        } else if (good && f[0] == "note" && f.size() == 2) {
            truth.notes.push_back(f[1]);
        } else if (good && f[0] == "block" && f.size() == 5) {
            truth.blocks.push_back({f[1], std::atof(f[2].c_str()), std::atof(f[3].c_str()), {}});
            good = bytesOf(f[4], truth.blocks.back().bytes) && !truth.blocks.back().bytes.empty();
        } else {
            good = false;
        }
        if (!good) {
            std::fprintf(stderr, "%s:%d: not a line of a truth file\n", path.c_str(), number);
            return false;
        }
    }
    return true;
}
