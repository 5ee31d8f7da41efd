// kalmira-cli: file information and conversions through the imaging engine, one
// "key: value" per line. Exit status 0 on success, 2 for a bad command line (the one mistake
// and where the usage is), 1 when the engine refuses a file (with a one-line message).

#include <algorithm>
#include <iostream>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "arguments.h"
#include "batch.h"
#include "commands.h"
#include "core/error.h"

namespace {

bool isHelp(const std::string& word) { return word == "--help" || word == "-h"; }

// The batch's usage on its own: its lines continue the general usage, indented under "usage:".
void printBatchUsage(std::ostream& out) {
    std::string_view usage(kalmira::cli::kBatchUsage);
    usage.remove_prefix(std::min(usage.size(), usage.find_first_not_of(' ')));
    out << "usage: " << usage;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace kalmira::cli;
    const std::vector<std::string> words(argv + 1, argv + argc);
    // Where a mistake sends the user: the usage of the command that was given.
    std::string helpHint = "kalmira-cli --help";
    try {
        if (words.empty()) throw UsageError("no command given");
        const std::string& command = words.front();
        const std::vector<std::string> rest(words.begin() + 1, words.end());
        if (command == "batch") helpHint = "kalmira-cli batch --help";
        // "--help" after a command shows that command's usage and does nothing else.
        if (std::any_of(rest.begin(), rest.end(), isHelp)) {
            if (command == "batch") {
                printBatchUsage(std::cout);
                return 0;
            }
            if (command == "info" || command == "convert" || command == "compare") {
                std::cout << kUsage;
                return 0;
            }
        }
        if (command == "info") return runInfo(rest, std::cout);
        if (command == "convert") return runConvert(rest, std::cout);
        if (command == "compare") return runCompare(rest, std::cout);
        if (command == "batch") return runBatch(rest, std::cout);
        if (command == "help" || isHelp(command)) {
            std::cout << kUsage << kBatchUsage;
            return 0;
        }
        if (command == "--version") {
            std::cout << "kalmira-cli " KALMIRA_VERSION "\n";
            return 0;
        }
        throw UsageError("unknown command \"" + command + "\"");
    } catch (const UsageError& e) {
        // The one mistake, not pages of usage that scroll it out of sight.
        std::cerr << "kalmira-cli: " << e.what() << "\nsee " << helpHint << '\n';
        return 2;
    } catch (const imaging::Error& e) {
        std::cerr << "kalmira-cli: " << e.what() << '\n';
        return 1;
    } catch (const std::bad_alloc&) {
        std::cerr << "kalmira-cli: out of memory\n";
        return 1;
    }
}
