#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iostream>

#include "QuorlenVersion.h"
#include "cli/Command.h"

namespace quorlen::cli {

std::map<std::string, Command>& Commands() {
    static std::map<std::string, Command> commands;
    return commands;
}

Registrar::Registrar(Command c) { Commands()[c.Name] = std::move(c); }

Args::Args(std::vector<std::string> raw, std::vector<std::string> flagNames, const std::string& tailFlag) : flags_() {
    for (size_t i = 0; i < raw.size(); ++i) {
        const std::string& a = raw[i];
        if (a.rfind("--", 0) == 0 && a.size() > 2) {
            std::string name = a.substr(2);
            size_t eq = name.find('=');
            if (!tailFlag.empty() && name == tailFlag) {
                flags_.push_back(name);
                tail_.assign(raw.begin() + static_cast<std::ptrdiff_t>(i) + 1, raw.end());
                break;
            }
            if (eq != std::string::npos) {
                options_[name.substr(0, eq)] = name.substr(eq + 1);
                allValues_[name.substr(0, eq)].push_back(name.substr(eq + 1));
            } else if (std::find(flagNames.begin(), flagNames.end(), name) != flagNames.end()) {
                flags_.push_back(name);
            } else {
                // Whether the last word is an option without its value or
                // one the command does not know, only the command can tell
                // (RejectUnknown); a name no command takes must be called so.
                if (i + 1 >= raw.size()) {
                    missingValue_ = name;
                    break;
                }
                options_[name] = raw[++i];
                allValues_[name].push_back(raw[i]);
            }
        } else {
            positional_.push_back(a);
        }
    }
}

bool Args::Has(const std::string& name) const {
    return options_.count(name) || std::find(flags_.begin(), flags_.end(), name) != flags_.end() ||
           name == missingValue_;
}

std::optional<std::string> Args::Get(const std::string& name) const {
    if (!missingValue_.empty() && name == missingValue_) throw UsageError("option --" + name + " needs a value");
    auto it = options_.find(name);
    if (it == options_.end()) return std::nullopt;
    return it->second;
}

std::vector<std::string> Args::GetAll(const std::string& name) const {
    auto it = allValues_.find(name);
    return it == allValues_.end() ? std::vector<std::string>() : it->second;
}

std::string Args::Require(const std::string& name) const {
    auto v = Get(name);
    if (!v) throw UsageError("missing option --" + name);
    return *v;
}

int Args::Int(const std::string& name, int fallback, int lo, int hi) const {
    auto v = Get(name);
    if (!v) return fallback;
    try {
        size_t used = 0;
        long long n = std::stoll(*v, &used);
        if (used != v->size()) throw std::invalid_argument("trailing");
        if (n < lo || n > hi) throw std::out_of_range("range");
        return static_cast<int>(n);
    } catch (const std::exception&) {
        throw UsageError("--" + name + " must be a whole number from " + std::to_string(lo) + " to " +
                         std::to_string(hi) + ", got '" + *v + "'");
    }
}

double Args::Double(const std::string& name, double fallback, double lo, double hi) const {
    auto v = Get(name);
    if (!v) return fallback;
    try {
        size_t used = 0;
        double d = std::stod(*v, &used);
        if (used != v->size() || !std::isfinite(d)) throw std::invalid_argument("bad");
        if (d < lo || d > hi) throw std::out_of_range("range");
        return d;
    } catch (const std::exception&) {
        throw UsageError("--" + name + " must be a number from " + std::to_string(lo) + " to " + std::to_string(hi) +
                         ", got '" + *v + "'");
    }
}

void Args::RejectUnknown(const std::vector<std::string>& known) const {
    auto isKnown = [&](const std::string& n) { return std::find(known.begin(), known.end(), n) != known.end(); };
    for (const auto& [name, value] : options_)
        if (!isKnown(name)) throw UsageError("unknown option --" + name);
    for (const auto& name : flags_)
        if (!isKnown(name)) throw UsageError("unknown option --" + name);
    if (!missingValue_.empty())
        throw UsageError(isKnown(missingValue_) ? "option --" + missingValue_ + " needs a value"
                                                : "unknown option --" + missingValue_);
}

void ShowProgress(const std::string& what, int position, int maximum) {
    if (!isatty(STDERR_FILENO) || maximum <= 0) return;
    const int width = 30;
    int filled = static_cast<int>(static_cast<long long>(position) * width / maximum);
    std::fprintf(stderr, "\r%s [%s%s] %d/%d", what.c_str(), std::string(static_cast<size_t>(filled), '#').c_str(),
                 std::string(static_cast<size_t>(width - filled), ' ').c_str(), position, maximum);
    if (position >= maximum) std::fprintf(stderr, "\n");
    std::fflush(stderr);
}

}  // namespace quorlen::cli

namespace {

void PrintUsage(std::ostream& out) {
    out << "Usage: quorlen-cli COMMAND [OPTIONS]\n"
           "       quorlen-cli COMMAND --help\n"
           "       quorlen-cli --help | --version\n\n"
           "Prints answer sheets and reads them back from scans, without the desktop program.\n\n"
           "Commands:\n";
    for (const auto& [name, cmd] : quorlen::cli::Commands()) {
        // At least two blanks after the name, so that a long name stays apart
        // from its summary for a reader and for the manual page made from this.
        out << "  " << name << std::string(std::max<size_t>(2, 14 - name.size()), ' ') << cmd.Summary << "\n";
    }
    out << "\nExit codes: 0 done, 1 failure (a file that cannot be read or written, a\n"
           "failed job), 2 bad arguments.\n";
}

}  // namespace

int main(int argc, char** argv) {
    using namespace quorlen::cli;
    if (argc < 2 || std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h" ||
        std::string(argv[1]) == "help") {
        PrintUsage(std::cout);
        return argc < 2 ? ExitUsage : ExitOk;
    }
    if (std::string(argv[1]) == "--version") {
        std::cout << "quorlen-cli " QUORLEN_VERSION "\n";
        return ExitOk;
    }
    auto it = Commands().find(argv[1]);
    if (it == Commands().end()) {
        std::cerr << "quorlen-cli: unknown command '" << argv[1] << "'\n\n";
        PrintUsage(std::cerr);
        return ExitUsage;
    }
    std::vector<std::string> rest(argv + 2, argv + argc);
    for (const auto& a : rest) {
        // What follows the tail flag belongs to another command.
        if (!it->second.TailFlag.empty() && a == "--" + it->second.TailFlag) break;
        if (a == "--help" || a == "-h") {
            std::cout << it->second.Help;
            return ExitOk;
        }
    }
    try {
        Args args(rest, it->second.Flags, it->second.TailFlag);
        return it->second.Run(args);
    } catch (const UsageError& e) {
        std::cerr << "quorlen-cli " << it->first << ": " << e.what() << "\n(see quorlen-cli " << it->first
                  << " --help)\n";
        return ExitUsage;
    } catch (const std::exception& e) {
        std::cerr << "quorlen-cli " << it->first << ": " << e.what() << "\n";
        return ExitFailure;
    }
}
