// kalmira-cli: file information and conversions through the imaging engine, one
// "key: value" per line. Exit status 0 on success, 2 for a bad command line (with the usage
// text), 1 when the engine refuses a file (with a one-line message).

#include <iostream>
#include <new>
#include <string>
#include <vector>

#include "arguments.h"
#include "batch.h"
#include "commands.h"
#include "core/error.h"

int main(int argc, char** argv) {
    using namespace kalmira::cli;
    const std::vector<std::string> words(argv + 1, argv + argc);
    try {
        if (words.empty()) throw UsageError("no command given");
        const std::string& command = words.front();
        const std::vector<std::string> rest(words.begin() + 1, words.end());
        if (command == "info") return runInfo(rest, std::cout);
        if (command == "convert") return runConvert(rest, std::cout);
        if (command == "compare") return runCompare(rest, std::cout);
        if (command == "batch") return runBatch(rest, std::cout);
        if (command == "help" || command == "--help") {
            std::cout << kUsage << kBatchUsage;
            return 0;
        }
        if (command == "--version") {
            std::cout << "kalmira-cli " KALMIRA_VERSION "\n";
            return 0;
        }
        throw UsageError("unknown command \"" + command + "\"");
    } catch (const UsageError& e) {
        std::cerr << "kalmira-cli: " << e.what() << '\n' << kUsage << kBatchUsage;
        return 2;
    } catch (const imaging::Error& e) {
        std::cerr << "kalmira-cli: " << e.what() << '\n';
        return 1;
    } catch (const std::bad_alloc&) {
        std::cerr << "kalmira-cli: out of memory\n";
        return 1;
    }
}
