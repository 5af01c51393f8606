#include "cli/usage_docs.h"

#include <map>
#include <string_view>

namespace qs::cli {
namespace {

// Text for roff: backslashes and minus signs written out, no line taken for a request.
std::string Roff(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '\\') {
            out += "\\e";
        } else if (c == '-') {
            out += "\\-";
        } else {
            out += c;
        }
    }
    if (!out.empty() && (out[0] == '.' || out[0] == '\'')) {
        out.insert(0, "\\&");
    }
    return out;
}

std::string OptionLine(const OptionDoc& option) {
    std::string line;
    for (const std::string& name : option.names) {
        line += (line.empty() ? "\\fB" : ", \\fB") + Roff(name) + "\\fR";
    }
    if (!option.value.empty()) {
        const bool attached = option.value[0] == '[';
        line += (attached ? "" : " ") + std::string("\\fI") + Roff(option.value) + "\\fR";
    }
    return line;
}

void Options(std::string& page, const CommandDoc& command) {
    for (const OptionDoc& option : command.options) {
        page += ".TP\n" + OptionLine(option) + "\n" + Roff(option.help) + "\n";
    }
}

// The choices of a value written as a|b|c; none for anything else.
std::string Choices(std::string_view value) {
    if (value.find('|') == std::string_view::npos || value.find('[') != std::string_view::npos) {
        return "";
    }
    std::string words(value);
    for (char& c : words) {
        c = c == '|' ? ' ' : c;
    }
    return words;
}

}  // namespace

std::string ManPage(const std::vector<CommandDoc>& commands) {
    std::string page =
        ".TH QIRNSPLIT 1 \"December 2026\" \"Qirnsplit 1.0.1.0\" \"User Commands\"\n"
        ".SH NAME\n"
        "qirnsplit \\- split text files into pieces and merge files, in their own encodings\n"
        ".SH SYNOPSIS\n"
        ".B qirnsplit\n[\\fIFILE\\fR...]\n";
    for (const CommandDoc& command : commands) {
        if (!command.name.empty()) {
            page += ".br\n.B qirnsplit " + command.name + "\n[\\fIOPTIONS\\fR] \\fI" +
                    Roff(command.operands) + "\\fR\n";
        }
    }
    page +=
        ".br\n.B qirnsplit\n\\fB\\-\\-help\\fR | \\fB\\-\\-version\\fR\n"
        ".SH DESCRIPTION\n"
        "Qirnsplit splits text files into pieces (by number of parts, byte size, a random\n"
        "number of lines or characters, a separator string or chapter headings) and merges\n"
        "files or whole folder trees into one file per folder. It reads GBK/GB18030, Big5,\n"
        "UTF\\-8 and UTF\\-16 text exactly and writes every output in its source's encoding,\n"
        "unless told otherwise.\n"
        ".PP\n"
        "Without arguments it opens its window. Given files or folders that exist, it opens\n"
        "the window and offers to split them, as if they had been dropped on its split panel.\n"
        "With a command as its first argument it runs without a window and needs no display;\n"
        "it then never reads or writes the window's settings, so its defaults are always the\n"
        "window's initial values.\n";
    for (const CommandDoc& command : commands) {
        if (command.name.empty()) {
            page += ".SH OPTIONS\n";
        } else {
            page += ".SH \"" + Roff(command.name) + "\" COMMAND\n" + Roff(command.help) +
                    ".\n.PP\n.B qirnsplit " + command.name + "\n[\\fIOPTIONS\\fR] \\fI" +
                    Roff(command.operands) + "\\fR\n";
        }
        Options(page, command);
    }
    page +=
        ".SH \"EXIT STATUS\"\n"
        ".TP\n.B 0\nAll done.\n"
        ".TP\n.B 1\nSome operations failed (each is listed on standard error with the\n"
        "window's label, its path and, where the system gave one, the reason) or the job\n"
        "was stopped.\n"
        ".TP\n.B 2\nA usage error: an unknown option or word, a value out of range, or an\n"
        "option that does not apply to the chosen mode. Nothing was written.\n"
        ".SH ENVIRONMENT\n"
        ".TP\n.B LC_ALL, LC_MESSAGES, LANG\n"
        "Messages and the help are Chinese where the locale is a Chinese one, else English.\n"
        ".SH FILES\n"
        ".TP\n.I ~/.config/Qirnsplit/Qirnsplit.ini\n"
        "The window's settings (under \\fB$XDG_CONFIG_HOME\\fR when it is set). The command\n"
        "line does not use them.\n"
        ".SH EXAMPLES\n"
        ".TP\n.B qirnsplit split \\-l 500\\-800 \\-\\-seed 1 \\-\\-manifest books/poems.txt\n"
        "Pieces of 500 to 800 lines, the same ones on every run, with a manifest.\n"
        ".TP\n.B qirnsplit split \\-b 40K \\-\\-no\\-subfolder \\-\\-dry\\-run books/gbk.txt\n"
        "Lists the 40 KB pieces that would be written beside the source; writes nothing.\n"
        ".TP\n.B qirnsplit merge \\-\\-separator\\-line\\-break \\-\\-in\\-folder books\n"
        "Joins every file of the folder into one, a line break between files.\n"
        ".SH \"SEE ALSO\"\n"
        ".BR split (1),\n.BR csplit (1),\n.BR cat (1)\n";
    return page;
}

std::string BashCompletion(const std::vector<CommandDoc>& commands) {
    std::map<std::string, std::string> values;  // option name -> its value's name
    std::string commandNames;
    std::string perCommand;
    for (const CommandDoc& command : commands) {
        std::string names;
        for (const OptionDoc& option : command.options) {
            for (const std::string& name : option.names) {
                names += (names.empty() ? "" : " ") + name;
                if (!option.value.empty() && option.value[0] != '[') {
                    values[name] = option.value;
                }
            }
        }
        if (command.name.empty()) {
            perCommand += "        \"\") options=\"" + names + "\" ;;\n";
        } else {
            commandNames += (commandNames.empty() ? "" : " ") + command.name;
            perCommand += "        " + command.name + ") options=\"" + names + "\" ;;\n";
        }
    }
    std::string valueCases;
    for (const auto& [name, value] : values) {
        std::string action = "return 0";
        if (const std::string choices = Choices(value); !choices.empty()) {
            action = "COMPREPLY=($(compgen -W \"" + choices + "\" -- \"$cur\")); return 0";
        } else if (value == "DIR") {
            action = "COMPREPLY=($(compgen -d -- \"$cur\")); return 0";
        } else if (value == "FILE") {
            action = "COMPREPLY=($(compgen -f -- \"$cur\")); return 0";
        }
        valueCases += "        " + name + ") " + action + " ;;\n";
    }
    return "# bash completion for qirnsplit\n"
           "_qirnsplit() {\n"
           "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}\n"
           "    local command= options= i\n"
           "    for ((i = 1; i < COMP_CWORD; i++)); do\n"
           "        case ${COMP_WORDS[i]} in " +
           [&] {
               std::string alternatives;
               for (const CommandDoc& c : commands) {
                   if (!c.name.empty()) {
                       alternatives += (alternatives.empty() ? "" : "|") + c.name;
                   }
               }
               return alternatives;
           }() +
           ") command=${COMP_WORDS[i]}; break ;; esac\n"
           "    done\n"
           "    if ((COMP_CWORD > 1)); then\n"
           "        case $prev in\n" +
           valueCases +
           "        esac\n"
           "    fi\n"
           "    case $command in\n" +
           perCommand +
           "    esac\n"
           "    if [[ $cur == -* ]]; then\n"
           "        COMPREPLY=($(compgen -W \"$options\" -- \"$cur\"))\n"
           "    elif [[ -z $command ]]; then\n"
           "        COMPREPLY=($(compgen -W \"" +
           commandNames +
           "\" -- \"$cur\") $(compgen -f -- \"$cur\"))\n"
           "    else\n"
           "        COMPREPLY=($(compgen -f -- \"$cur\"))\n"
           "    fi\n"
           "}\n"
           "complete -o filenames -F _qirnsplit qirnsplit\n";
}

}  // namespace qs::cli
