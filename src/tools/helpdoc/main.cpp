// Makes a program's manual page and its bash completion from its own --help
// at build time, so that neither can drift from what the program says.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <stdexcept>

#include "tools/helpdoc/BashCompletion.h"
#include "tools/helpdoc/ProgramHelp.h"

namespace {

const char* const kUsage =
    "Usage: quorlen-helpdoc man PROGRAM OUT [--date YYYY-MM-DD] [--see-also PAGE(1)]...\n"
    "       quorlen-helpdoc bash-completion PROGRAM OUT\n";

// A half-written page never replaces a good one: the text goes to a
// neighbour first and is renamed over OUT.
void WriteFile(const std::string& path, const std::string& text) {
    const std::string temporary = path + ".part";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << text;
        out.flush();
        if (!out) throw std::runtime_error("cannot write " + temporary);
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) throw std::runtime_error("cannot rename onto " + path);
}

}  // namespace

int main(int argc, char** argv) {
    using namespace quorlen::helpdoc;
    if (argc < 4) {
        std::cerr << kUsage;
        return 2;
    }
    const std::string what = argv[1], program = argv[2], out = argv[3];
    try {
        if (what == "man") {
            TManOptions options;
            for (int i = 4; i < argc; ++i) {
                const std::string a = argv[i];
                if (a == "--date" && i + 1 < argc) {
                    options.Date = argv[++i];
                } else if (a == "--see-also" && i + 1 < argc) {
                    options.SeeAlso.push_back(argv[++i]);
                } else {
                    std::cerr << "quorlen-helpdoc: unknown argument " << a << "\n" << kUsage;
                    return 2;
                }
            }
            WriteFile(out, WriteManPage(CollectHelp(program), options));
        } else if (what == "bash-completion" && argc == 4) {
            WriteFile(out, WriteBashCompletion(CollectHelp(program)));
        } else {
            std::cerr << kUsage;
            return 2;
        }
    } catch (const std::exception& e) {
        std::cerr << "quorlen-helpdoc: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
