#include "batch_plan.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <set>
#include <system_error>

#include "arguments.h"
#include "codecs/registry.h"

namespace kalmira::cli {

namespace fs = std::filesystem;

namespace {

std::set<std::string> readableSuffixes() {
    std::set<std::string> suffixes;
    for (const auto& codec : imaging::allCodecs())
        for (std::string_view s : codec->suffixes()) suffixes.emplace(s);
    return suffixes;
}

std::string lowerExtension(const fs::path& file) {
    std::string e = file.extension().string();
    if (!e.empty()) e.erase(0, 1);
    std::transform(e.begin(), e.end(), e.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return e;
}

fs::path canonicalOrSelf(const fs::path& p) {
    std::error_code ec;
    fs::path c = fs::weakly_canonical(p, ec);
    return ec ? fs::absolute(p, ec).lexically_normal() : c;
}

struct Found {
    fs::path file;
    fs::path relative;  // below the folder named on the command line; the name alone for a file
    std::string problem;
    std::string skipped;
};

// Why an entry that is not a folder is not a picture to read, or empty for a regular file.
std::string skipReason(const fs::path& path) {
    std::error_code ec;
    const fs::file_status own = fs::symlink_status(path, ec);
    const fs::file_status target = fs::status(path, ec);
    if (fs::is_symlink(own) && !fs::exists(target)) {
        if (ec == std::errc::too_many_symbolic_link_levels) return "a symbolic link that loops";
        if (ec && ec != std::errc::no_such_file_or_directory) return "a symbolic link that cannot be followed: " + ec.message();
        return "a symbolic link to nothing (its target is missing)";
    }
    if (fs::is_regular_file(target) || fs::is_directory(target)) return {};
    if (fs::is_fifo(target)) return "not a regular file (a pipe)";
    if (fs::is_character_file(target) || fs::is_block_file(target)) return "not a regular file (a device)";
    if (fs::is_socket(target)) return "not a regular file (a socket)";
    return "not a regular file";
}

void walkFolder(const fs::path& root, const fs::path& skip, const std::set<std::string>& suffixes,
                std::vector<Found>& found) {
    // By hand rather than with the recursive iterator, which ends the whole walk at the first
    // folder it may not enter: such a folder is reported and the walk goes on past it.
    std::vector<fs::path> folders{root};
    while (!folders.empty()) {
        const fs::path folder = std::move(folders.back());
        folders.pop_back();
        std::error_code ec;
        fs::directory_iterator it(folder, ec);
        if (ec) {
            found.push_back({folder, folder.lexically_relative(root), "cannot read the folder: " + ec.message(), {}});
            continue;
        }
        for (const fs::directory_iterator end; it != end; it.increment(ec)) {
            const fs::directory_entry& entry = *it;
            std::error_code typeError;
            if (entry.is_symlink(typeError) && entry.is_directory(typeError)) {
                // Not followed, so no loop is walked: said, as every entry left out.
                const fs::path target = canonicalOrSelf(entry.path());
                const fs::path here = canonicalOrSelf(folder);
                const fs::path up = here.lexically_relative(target);
                const bool loops = !up.empty() && *up.begin() != "..";
                found.push_back({entry.path(), entry.path().lexically_relative(root), {},
                                 loops ? "a symbolic link that loops back to a folder above it"
                                       : "a symbolic link to a folder (links to folders are not followed)"});
                continue;
            }
            if (entry.is_directory(typeError)) {
                if (canonicalOrSelf(entry.path()) != skip) folders.push_back(entry.path());
            } else if (entry.is_regular_file(typeError)) {
                if (suffixes.count(lowerExtension(entry.path())))
                    found.push_back({entry.path(), entry.path().lexically_relative(root), {}, {}});
            } else if (std::string why = skipReason(entry.path()); !why.empty()) {
                // Loops, dangling links, pipes, devices: said, not silently passed over.
                found.push_back({entry.path(), entry.path().lexically_relative(root), {}, std::move(why)});
            }
        }
        if (ec) found.push_back({folder, folder.lexically_relative(root), "cannot read the folder: " + ec.message(), {}});
    }
}

}  // namespace

BatchPlan planBatch(const std::vector<std::string>& arguments, const fs::path& outputFolder) {
    const std::set<std::string> suffixes = readableSuffixes();
    const fs::path skip = canonicalOrSelf(outputFolder);
    std::vector<Found> found;
    for (const std::string& argument : arguments) {
        const fs::path p(argument);
        std::error_code ec;
        const fs::file_status status = fs::status(p, ec);
        if (fs::is_directory(status))
            walkFolder(p, skip, suffixes, found);
        else if (fs::exists(status) || fs::is_symlink(fs::symlink_status(p, ec)))
            found.push_back({p, p.filename(), {}, skipReason(p)});
        else
            found.push_back({p, p.filename(),
                             ec && ec != std::errc::no_such_file_or_directory ? ec.message() : "no such file or folder", {}});
    }

    // One entry per file, in the order of its path, so every run over the same files agrees.
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) { return a.file.native() < b.file.native(); });
    BatchPlan plan;
    plan.canonicalOutput = skip;
    std::set<fs::path> seen;
    std::vector<Found> unique;
    for (Found& f : found) {
        const fs::path canonical = canonicalOrSelf(f.file);
        if (!seen.insert(canonical).second) continue;
        if (f.problem.empty() && f.skipped.empty()) plan.canonicalInputs.push_back(canonical);
        unique.push_back(std::move(f));
    }
    std::sort(plan.canonicalInputs.begin(), plan.canonicalInputs.end());

    // photo.png and photo.tif of one folder would both become photo.gif: such inputs keep their
    // whole name (photo.png.gif), so neither output replaces the other.
    std::map<fs::path, int> stems;
    const auto folderStem = [](const Found& f) { return f.file.parent_path() / f.file.stem(); };
    for (const Found& f : unique) ++stems[folderStem(f)];
    std::map<fs::path, int> taken;
    for (Found& f : unique) {
        const fs::path stem = f.relative.parent_path() / f.relative.stem();
        BatchInput input{f.file, outputFolder / (stems[folderStem(f)] > 1 ? f.relative : stem), f.problem, f.skipped};
        // Two files of one name given from different folders still meet: the first keeps it.
        if (input.problem.empty() && input.skipped.empty() && ++taken[input.outputStem] > 1)
            input.problem = "another input has the same output name " + input.outputStem.string() + ".*";
        plan.inputs.push_back(std::move(input));
    }
    return plan;
}

std::pair<int, int> parseShard(const std::string& text) {
    const std::size_t slash = text.find('/');
    if (slash == std::string::npos) throw UsageError("--shard needs K/M, such as 2/8, not \"" + text + "\"");
    const int k = parseInteger(text.substr(0, slash), "shard");
    const int m = parseInteger(text.substr(slash + 1), "shard");
    if (m < 1 || k < 1 || k > m) throw UsageError("--shard K/M needs 1 <= K <= M, not \"" + text + "\"");
    return {k, m};
}

std::vector<std::size_t> shardPositions(std::size_t count, int k, int m) {
    std::vector<std::size_t> positions;
    for (std::size_t i = static_cast<std::size_t>(k - 1); i < count; i += static_cast<std::size_t>(m))
        positions.push_back(i);
    return positions;
}

fs::path outputPathFor(const BatchInput& input, const std::string& extension, const BatchPlan& plan,
                       std::string& problem) {
    fs::path out = input.outputStem;
    out += "." + extension;
    const fs::path resolved = canonicalOrSelf(out);
    if (std::binary_search(plan.canonicalInputs.begin(), plan.canonicalInputs.end(), resolved)) {
        problem = "its output " + out.string() + " would replace an input";
        return {};
    }
    // A link planted in the output folder (named like an output, or a subfolder) must not make
    // a batch write over a file elsewhere.
    if (!plan.canonicalOutput.empty()) {
        const fs::path inside = resolved.lexically_relative(plan.canonicalOutput);
        if (inside.empty() || *inside.begin() == "..") {
            problem = "its output " + out.string() + " is a link to " + resolved.string() +
                      ", outside the output folder; nothing was written through it";
            return {};
        }
    }
    return out;
}

}  // namespace kalmira::cli
