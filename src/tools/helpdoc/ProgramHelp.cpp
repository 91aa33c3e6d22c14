#include "tools/helpdoc/ProgramHelp.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

extern char** environ;

namespace quorlen::helpdoc {

namespace {

std::string Describe(const std::string& program, const std::vector<std::string>& arguments) {
    std::string call = program;
    for (const std::string& a : arguments) call += " " + a;
    return call;
}

std::string BaseName(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::string RunForOutput(const std::string& program, const std::vector<std::string>& arguments) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[1]);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    if (spawned != 0) {
        close(pipeEnds[0]);
        throw std::runtime_error("cannot start " + program + ": " + std::strerror(spawned));
    }
    std::string output;
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(pipeEnds[0], buffer, sizeof buffer);
        if (n > 0) {
            output.append(buffer, static_cast<size_t>(n));
        } else if (n == 0 || errno != EINTR) {
            break;
        }
    }
    close(pipeEnds[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error(Describe(program, arguments) + " did not end with status 0");
    return output;
}

TProgramHelp CollectHelp(const std::string& program) {
    TProgramHelp help;
    help.Name = BaseName(program);
    const std::string version = RunForOutput(program, {"--version"});
    const std::string line = version.substr(0, version.find('\n'));
    help.Version = line.substr(line.find_last_of(' ') + 1);
    if (help.Version.empty()) throw std::runtime_error(program + " --version printed no version");
    help.Top = ParseHelp(RunForOutput(program, {"--help"}));
    if (help.Top.Usage.empty()) throw std::runtime_error(program + " --help printed no \"Usage:\" line");
    if (const THelpBlock* commands = FindList(help.Top, "Commands")) {
        for (const THelpEntry& entry : commands->Entries) {
            TProgramHelp::TCommand command;
            command.Name = entry.Term.substr(0, entry.Term.find(' '));
            command.Summary = entry.Text;
            command.Page = ParseHelp(RunForOutput(program, {command.Name, "--help"}));
            help.Commands.push_back(std::move(command));
        }
    }
    return help;
}

}  // namespace quorlen::helpdoc
