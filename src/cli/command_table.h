#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "cli/commands.h"
#include "cli/options.h"

namespace pellandrix::cli {

// Everything about one command in one place: how it is called, what --help
// says of it and what it runs. A new command is one more entry in the table.
struct CliCommand {
    std::string_view name;
    std::size_t arguments;          // positional arguments required
    bool repeatsLast;               // the last one may be given any number of times
    std::string_view options;       // the options it takes, separated by blanks
    std::size_t optionalArguments;  // further positional arguments allowed
    int (*run)(CommandContext&, const CliOptions&);  // returns the exit status
    std::string_view help;                           // its block of the --help text
};

// Every command, in the order --help lists them.
std::span<const CliCommand> Commands();

// The command called `name`, or null.
const CliCommand* FindCommand(std::string_view name);

// Whether `command` takes the option `option` ("--all").
bool TakesOption(const CliCommand& command, std::string_view option);

// The text printed for --help: the introduction, each command's block,
// then what holds for all of them.
std::string HelpText();

}  // namespace pellandrix::cli
