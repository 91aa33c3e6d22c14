#pragma once

#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace quorlen::cli {

// Exit codes shared by every command.
constexpr int ExitOk = 0;
constexpr int ExitFailure = 1;
constexpr int ExitUsage = 2;

// Thrown for bad arguments; main prints the message and exits with ExitUsage.
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Options of the form --name VALUE or --name=VALUE, flags of the form --name,
// and positional arguments. With a tail flag, everything after that flag is
// kept as it is, for another command to read.
class Args {
public:
    Args(std::vector<std::string> raw, std::vector<std::string> flagNames, const std::string& tailFlag = {});
    bool Has(const std::string& name) const;
    // The last value of an option given more than once.
    std::optional<std::string> Get(const std::string& name) const;
    // Every value of an option, in the order given.
    std::vector<std::string> GetAll(const std::string& name) const;
    const std::vector<std::string>& Tail() const { return tail_; }
    std::string Require(const std::string& name) const;
    // An integer option within [lo, hi]; UsageError otherwise.
    int Int(const std::string& name, int fallback, int lo, int hi) const;
    double Double(const std::string& name, double fallback, double lo, double hi) const;
    const std::vector<std::string>& Positional() const { return positional_; }
    // Options given but never asked for are a usage error.
    void RejectUnknown(const std::vector<std::string>& known) const;

private:
    std::map<std::string, std::string> options_;
    std::map<std::string, std::vector<std::string>> allValues_;
    std::vector<std::string> flags_;
    std::vector<std::string> positional_;
    std::vector<std::string> tail_;
    // The last argument, an option name with no value after it.
    std::string missingValue_;
};

struct Command {
    std::string Name;
    std::string Summary;
    std::string Help;  // full text of COMMAND --help
    std::function<int(const Args&)> Run;
    std::vector<std::string> Flags;  // options that take no value
    std::string TailFlag = {};       // a flag after which the arguments are kept whole (Args::Tail)
};

// Each command file registers itself with a static Registrar.
std::map<std::string, Command>& Commands();
struct Registrar {
    explicit Registrar(Command c);
};

// A one-line progress bar on stderr when it is a terminal.
void ShowProgress(const std::string& what, int position, int maximum);

}  // namespace quorlen::cli
