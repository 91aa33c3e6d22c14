#include "tools/helpdoc/BashCompletion.h"

#include <cctype>
#include <map>

namespace quorlen::helpdoc {

namespace {

bool Contains(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

// ".spf" of "FILE.spf", ".json" of "KEY.klucz.json"; empty without one.
std::string Extension(const std::string& argument) {
    const size_t dot = argument.rfind('.');
    if (dot == std::string::npos || dot + 1 >= argument.size()) return std::string();
    for (size_t i = dot + 1; i < argument.size(); ++i)
        if (!std::islower(static_cast<unsigned char>(argument[i])) &&
            !std::isdigit(static_cast<unsigned char>(argument[i])))
            return std::string();
    return argument.substr(dot);
}

// Single quotes for the shell.
std::string ShellWord(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

std::string Join(const std::vector<std::string>& words) {
    std::string out;
    for (const std::string& w : words) out += (out.empty() ? "" : " ") + w;
    return out;
}

// The shell function's name: quorlen-cli → _quorlen_cli.
std::string FunctionName(const std::string& program) {
    std::string name = "_";
    for (char c : program) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name;
}

std::string ValueCase(const std::vector<TOption>& options, const std::string& function) {
    // One case arm per kind of value, the options of that kind joined.
    std::map<std::string, std::vector<std::string>> arms;
    for (const TOption& option : options) {
        if (option.Argument.empty()) continue;
        std::string action;
        switch (ValueKind(option.Argument)) {
            case TValueKind::Folder:
                action = function + "_folders";
                break;
            case TValueKind::File: {
                const std::string ext = Extension(option.Argument);
                action = function + "_files" + (ext.empty() ? "" : " " + ShellWord("*" + ext));
                break;
            }
            case TValueKind::Words: {
                std::string words = option.Argument;
                for (char& c : words)
                    if (c == '|') c = ' ';
                action = function + "_words " + ShellWord(words);
                break;
            }
            case TValueKind::None:
                action = "COMPREPLY=()";
                break;
        }
        arms[action].push_back(option.Name);
    }
    if (arms.empty()) return std::string();
    std::string out = "        case $prev in\n";
    for (const auto& [action, names] : arms) {
        std::string pattern;
        for (const std::string& n : names) pattern += (pattern.empty() ? "" : "|") + n;
        out += "        " + pattern + ") " + action + "; return ;;\n";
    }
    return out + "        esac\n";
}

}  // namespace

TValueKind ValueKind(const std::string& argument) {
    if (argument.empty()) return TValueKind::None;
    if (Contains(argument, "DIR") || Contains(argument, "FOLDER")) return TValueKind::Folder;
    if (Contains(argument, "FILE") || Contains(argument, "PATH") || !Extension(argument).empty())
        return TValueKind::File;
    if (Contains(argument, "|")) {
        for (char c : argument)
            if (std::isupper(static_cast<unsigned char>(c))) return TValueKind::None;
        return TValueKind::Words;
    }
    return TValueKind::None;
}

std::string WriteBashCompletion(const TProgramHelp& help) {
    const std::string f = FunctionName(help.Name);
    std::vector<std::string> first;
    for (const TProgramHelp::TCommand& command : help.Commands) first.push_back(command.Name);
    for (const TOption& option : PageOptions(help.Top)) first.push_back(option.Name);

    std::string out;
    out += "# bash completion for " + help.Name + " " + help.Version +
           ", made from the program's own --help when it was built; do not edit.\n\n";
    // compgen's words split on blanks and newlines only, so that file names
    // with blanks stay whole.
    out += f +
           "_words() {\n"
           "    local words\n"
           "    words=$(printf '%s\\n' $1)\n"
           "    local IFS=$'\\n'\n"
           "    COMPREPLY=($(compgen -W \"$words\" -- \"$cur\"))\n"
           "}\n";
    out += f +
           "_folders() {\n"
           "    compopt -o filenames 2>/dev/null\n"
           "    local IFS=$'\\n'\n"
           "    COMPREPLY=($(compgen -d -- \"$cur\"))\n"
           "}\n";
    out += f +
           "_files() {\n"
           "    compopt -o filenames 2>/dev/null\n"
           "    local IFS=$'\\n'\n"
           "    if [[ -n $1 ]]; then\n"
           "        COMPREPLY=($(compgen -f -X \"!$1\" -- \"$cur\") $(compgen -d -- \"$cur\"))\n"
           "    else\n"
           "        COMPREPLY=($(compgen -f -- \"$cur\"))\n"
           "    fi\n"
           "}\n\n";
    out += f +
           "() {\n"
           "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}\n"
           "    # --name=VALUE: the shell splits at the equals sign.\n"
           "    if [[ $cur == = ]]; then cur=; fi\n"
           "    if [[ $prev == = ]] && ((COMP_CWORD > 2)); then prev=${COMP_WORDS[COMP_CWORD-2]}; fi\n"
           "    if ((COMP_CWORD == 1)); then\n"
           "        " +
           f + "_words " + ShellWord(Join(first)) +
           "\n"
           "        return\n"
           "    fi\n"
           "    local options\n"
           "    case ${COMP_WORDS[1]} in\n";
    for (const TProgramHelp::TCommand& command : help.Commands) {
        std::vector<TOption> options = PageOptions(command.Page);
        std::vector<std::string> names;
        for (const TOption& option : options) names.push_back(option.Name);
        names.push_back("--help");
        out += "    " + command.Name + ")\n";
        out += "        options=" + ShellWord(Join(names)) + "\n";
        out += ValueCase(options, f);
        out += "        ;;\n";
    }
    out +=
        "    *) return ;;\n"
        "    esac\n"
        "    if [[ $cur == -* ]]; then\n"
        "        " +
        f +
        "_words \"$options\"\n"
        "    else\n"
        "        " +
        f +
        "_files\n"
        "    fi\n"
        "}\n\n"
        "complete -F " +
        f + " " + help.Name + "\n";
    return out;
}

}  // namespace quorlen::helpdoc
