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
// and positional arguments.
class Args {
public:
    Args(std::vector<std::string> raw, std::vector<std::string> flagNames);
    bool Has(const std::string& name) const;
    std::optional<std::string> Get(const std::string& name) const;
    std::string Require(const std::string& name) const;
    // An integer option within [lo, hi]; UsageError otherwise.
    int Int(const std::string& name, int fallback, int lo, int hi) const;
    double Double(const std::string& name, double fallback, double lo, double hi) const;
    const std::vector<std::string>& Positional() const { return positional_; }
    // Options given but never asked for are a usage error.
    void RejectUnknown(const std::vector<std::string>& known) const;

private:
    std::map<std::string, std::string> options_;
    std::vector<std::string> flags_;
    std::vector<std::string> positional_;
};

struct Command {
    std::string Name;
    std::string Summary;
    std::string Help;  // full text of COMMAND --help
    std::function<int(const Args&)> Run;
    std::vector<std::string> Flags;  // options that take no value
};

// Each command file registers itself with a static Registrar.
std::map<std::string, Command>& Commands();
struct Registrar {
    explicit Registrar(Command c);
};

// A one-line progress bar on stderr when it is a terminal.
void ShowProgress(const std::string& what, int position, int maximum);

}  // namespace quorlen::cli
