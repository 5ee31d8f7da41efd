#pragma once
// What a batch works on: the input files found from the command line's files and folders,
// sorted so every machine of a spread-out batch sees the same list, the share of it one run
// takes, and where each output goes.

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace kalmira::cli {

struct BatchInput {
    std::filesystem::path file;
    // Where its output goes without the extension: the output folder, the input's folder below
    // the folder named on the command line, and its name without its extension (or with it,
    // when another input of that folder has the same name before its extension).
    std::filesystem::path outputStem;
    std::string problem;  // why it cannot be processed (unreadable folder, missing file...), or empty
    // Why it is left out without being a failure (a pipe, a device, a link that loops or leads
    // nowhere), or empty. Such entries are reported as skipped and never opened.
    std::string skipped;
};

struct BatchPlan {
    std::vector<BatchInput> inputs;  // sorted by path, each file once
    // Every input's canonical path, so no output is ever written over one.
    std::vector<std::filesystem::path> canonicalInputs;
    // The output folder with every link resolved: no output is written outside it.
    std::filesystem::path canonicalOutput;
};

// Files are taken whatever their name; folders are walked recursively for the file names of the
// formats the engine reads (by extension, any letter case), not following links to folders,
// and not into `outputFolder`. A missing file or a folder that cannot be read becomes an input
// with its problem, so it is reported and counted like any failed file. What is neither a
// folder nor a regular file (a FIFO, a device, a socket, a link that loops or leads nowhere),
// named or found in a folder, becomes an input with the reason it is skipped.
BatchPlan planBatch(const std::vector<std::string>& arguments, const std::filesystem::path& outputFolder);

// "K/M" with 1 <= K <= M: the K-th of M shares. Throws UsageError.
std::pair<int, int> parseShard(const std::string& text);

// The positions of the K-th share of `count` sorted inputs: every M-th, starting at K - 1. The
// shares of 1..M together take each position exactly once, and a share depends only on the list.
std::vector<std::size_t> shardPositions(std::size_t count, int k, int m);

// The output path for an input whose format has extension `extension`; empty with `problem`
// set when it would be written over one of the inputs, or through a link (of the file or of a
// folder on its way) to a place outside the output folder.
std::filesystem::path outputPathFor(const BatchInput& input, const std::string& extension, const BatchPlan& plan,
                                    std::string& problem);

}  // namespace kalmira::cli
