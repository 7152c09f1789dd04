#include "worn_judge.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <set>

#include "sim_blocks.h"
#include "sim_run.h"

namespace {

// The files of the output directory by name.
std::vector<std::pair<std::string, Bytes>> filesIn(const std::string& directory) {
    std::vector<std::pair<std::string, Bytes>> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(directory, error)) {
        const std::string name = entry.path().filename().string();
        if (name.size() > 4 && name.substr(name.size() - 4) == ".wav") continue;  // the cleaned signal
        files.emplace_back(name, readFile(entry.path().string()));
    }
    return files;
}

// "NN_NAME.ptp": digits, '_', the program's file name.
bool isFileOf(const std::string& name, const std::string& fileName) {
    const std::size_t underscore = name.find('_');
    if (underscore == 0 || underscore == std::string::npos || name.substr(underscore + 1) != fileName)
        return false;
    for (std::size_t i = 0; i < underscore; ++i) {
        if (name[i] < '0' || name[i] > '9') return false;
    }
    return true;
}

DecoderOutcome judge(const std::string& output, const std::string& directory, const Truth& truth) {
    DecoderOutcome outcome;
    const std::vector<BlockLine> lines = blockLinesOf(output);
    std::vector<bool> used(lines.size(), false);
    std::set<Bytes> trueBytes;
    std::vector<Bytes> trueList;
    for (const TruthBlock& block : truth.blocks) {
        trueBytes.insert(block.bytes);
        trueList.push_back(block.bytes);
    }
    // Each true block takes the first line not yet taken that shows its bytes
    // where it lies: its last sync byte within 0.2 s before the block's
    // bytes (the third sync byte is just before them), or on them. (By bytes alone, a block read X and padded with 00
    // bytes took the line of a later end block b1 00 00, whose own line then
    // counted as a copy.)
    auto near = [](const BlockLine& line, const TruthBlock& block) {
        return line.syncSecond < 0 || (line.syncSecond >= block.from - 0.2 && line.syncSecond <= block.to);
    };
    for (const TruthBlock& block : truth.blocks) {
        char mark = 0;
        for (std::size_t i = 0; i < lines.size() && mark == 0; ++i) {
            if (!used[i] && lines[i].bytes == block.bytes && near(lines[i], block)) {
                used[i] = true;
                mark = lines[i].mark;
            }
        }
        outcome.markOf.push_back(mark);
        if (mark == 'O' || mark == 'J') ++outcome.right;
        outcome.rightO += mark == 'O';
        outcome.rightJ += mark == 'J';
        outcome.rightX += mark == 'X';
    }
    // A copy shows a block again that a line where it lies showed already:
    // written twice. (A faint copy of a block no line showed, a dropout
    // having sunk the block, is no second writing of it.)
    std::set<Bytes> shown;
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (used[i]) shown.insert(lines[i].bytes);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const BlockLine& line = lines[i];
        outcome.xLines += line.mark == 'X';
        if (!used[i] && line.mark != 'X' && shown.count(line.bytes) > 0) ++outcome.copies;
        if (line.mark != 'X' && trueBytes.count(line.bytes) == 0) {
            outcome.wrong.push_back(line.text.substr(0, 72) + "\n" +
                                    differencesFromTruth(line.bytes, trueList));
        }
    }
    const auto files = filesIn(directory);
    for (const TruthProgram& program : truth.programs) {
        for (const auto& [name, bytes] : files) {
            if (isFileOf(name, program.fileName) && bytes == program.file) {
                ++outcome.exact;
                break;
            }
        }
    }
    return outcome;
}

DecoderOutcome decodeWith(const std::string& wav, bool rescue, const Truth& truth) {
    const std::string directory = wav.substr(0, wav.rfind('.'));
    std::filesystem::remove_all(directory);
    std::vector<std::string> arguments = {wav};
    if (rescue) arguments.insert(arguments.end(), {"-r", "I"});
    const auto start = std::chrono::steady_clock::now();
    const std::clock_t cpuStart = std::clock();
    const Run run = runProgram(arguments);
    const double cpu = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    DecoderOutcome outcome = judge(run.output, directory, truth);
    outcome.seconds = took.count();
    outcome.cpuSeconds = cpu;
    outcome.status = run.status;
    std::filesystem::remove_all(directory);
    return outcome;
}

}  // namespace

DecodedPair decodeBoth(const std::string& wav, const Truth& truth) {
    DecodedPair pair;
    pair.plain = decodeWith(wav, false, truth);
    pair.rescue = decodeWith(wav, true, truth);
    return pair;
}

std::string outcomeText(const char* name, const DecoderOutcome& o, const Truth& truth) {
    char text[200];
    std::snprintf(text, sizeof text, "%s %d/%zu (O%d J%d X%d) X%d wrong%zu copies%d exact%d/%zu %.2fs%s",
                  name, o.right, truth.blocks.size(), o.rightO, o.rightJ, o.rightX, o.xLines, o.wrong.size(),
                  o.copies, o.exact, truth.programs.size(), o.cpuSeconds, o.status != 0 ? " STATUS" : "");
    return text;
}

std::string rescueLosses(const DecodedPair& pair, const Truth& truth) {
    auto good = [](char mark) { return mark == 'O' || mark == 'J'; };
    std::string alone;
    for (std::size_t b = 0; b < truth.blocks.size(); ++b) {
        if (good(pair.plain.markOf[b]) && !good(pair.rescue.markOf[b])) {
            alone += (alone.empty() ? "" : ", ") + truth.blocks[b].label;
            if (pair.rescue.markOf[b] == 'X') alone += " (X)";
        }
    }
    std::string text;
    if (pair.rescue.right < pair.plain.right) {
        text = std::to_string(pair.rescue.right) + " < " + std::to_string(pair.plain.right) + " right";
    }
    if (!alone.empty()) text += (text.empty() ? "" : "; ") + std::string("default alone: ") + alone;
    return text;
}
