#include "cli/options.h"

#include <cstdlib>
#include <string_view>

#include "app/watch_loop.h"
#include "cli/command_table.h"

namespace pellandrix::cli {

namespace {

// Seconds between two looks at the files: not so few that looking never
// stops, nor more than a day.
std::string TakePoll(CliOptions& o, const std::string& value) {
    char* end = nullptr;
    const double seconds = std::strtod(value.c_str(), &end);
    if (value.empty() || *end != '\0' || !(seconds >= CWatchLoop::kMinPollSeconds) ||
        seconds > 86400) {
        return "--poll erwartet eine Zahl von Sekunden von 0.1 bis 86400, nicht " + value;
    }
    o.pollSeconds = seconds;
    return {};
}

// The first port to try: 1 to 65535.
std::string TakePort(CliOptions& o, const std::string& value) {
    char* end = nullptr;
    const long port = std::strtol(value.c_str(), &end, 10);
    if (value.empty() || *end != '\0' || port < 1 || port > 65535) {
        return "--port erwartet eine Portnummer von 1 bis 65535, nicht " + value;
    }
    o.port = static_cast<int>(port);
    return {};
}

// Sets a flag or takes the value of a valued option. Returns an error text.
std::string TakeOption(CliOptions& o, std::string_view name, const std::vector<std::string>& args,
                       std::size_t& i) {
    if (name == "--all")
        o.all = true;
    else if (name == "--changed")
        o.changed = true;
    else if (name == "--dry-run")
        o.dryRun = true;
    else if (name == "--explain")
        o.explain = true;
    else if (name == "--locations")
        o.locations = true;
    else if (name == "--remove-stale")
        o.removeStale = true;
    else if (name == "--select")
        o.select = true;
    else if (name == "--unselect")
        o.unselect = true;
    else if (name == "--create")
        o.create = true;
    else if (name == "--no-create")
        o.noCreate = true;
    else if (name == "--always-parse")
        o.alwaysParse = true;
    else if (name == "--no-always-parse")
        o.noAlwaysParse = true;
    else if (name == "--project-source")
        o.projectSource = true;
    else if (name == "--project-target")
        o.projectTarget = true;
    // set-file names the folder an entry of its own takes; add-file takes
    // the folder of the file it is given.
    else if (name == "--own-source" && o.command != "set-file")
        o.ownSource = true;
    else if (name == "--read-only")
        o.readOnly = true;
    else if (name == "--json")
        o.json = true;
    else if (name == "--open")
        o.open = true;
    else {
        if (i + 1 >= args.size()) {
            return "Option " + std::string(name) + " erwartet einen Wert";
        }
        const std::string& value = args[++i];
        if (name == "--source")
            o.source = value;
        else if (name == "--target")
            o.target = value;
        else if (name == "--as")
            o.as = value;
        else if (name == "--name")
            o.name = value;
        else if (name == "--own-source") {
            o.ownSource = true;
            o.source = value;
        } else if (name == "--poll")
            return TakePoll(o, value);
        else if (name == "--port")
            return TakePort(o, value);
        else
            o.ext = value;
    }
    return {};
}

// Both of a pair of options that say opposite things.
bool Contradictory(const CliOptions& o) {
    return (o.select && o.unselect) || (o.create && o.noCreate) ||
           (o.alwaysParse && o.noAlwaysParse) || (o.ownSource && o.projectSource) ||
           (o.target && o.projectTarget);
}

}  // namespace

ParseResult ParseCommandLine(const std::vector<std::string>& args) {
    ParseResult r;
    CliOptions& o = r.options;
    std::size_t i = 0;
    for (; i < args.size() && o.command.empty(); ++i) {
        if (args[i] == "--help" || args[i] == "-h") {
            o.help = true;
            return r;
        }
        if (args[i] == "-C") {
            if (i + 1 >= args.size()) {
                r.error = "-C erwartet ein Verzeichnis";
                return r;
            }
            o.directory = args[++i];
        } else if (args[i].starts_with("-")) {
            r.error = "unbekannte Option " + args[i];
            return r;
        } else {
            o.command = args[i];
        }
    }
    const CliCommand* command = FindCommand(o.command);
    if (o.command.empty()) {
        r.error = "kein Befehl angegeben";
        return r;
    }
    if (command == nullptr) {
        r.error = "unbekannter Befehl " + o.command;
        return r;
    }
    bool optionsEnded = false;
    for (; i < args.size() && r.error.empty(); ++i) {
        const std::string& a = args[i];
        if (!optionsEnded && a == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && (a == "--help" || a == "-h")) {
            o.help = true;
        } else if (!optionsEnded && a.starts_with("--") && TakesOption(*command, a)) {
            r.error = TakeOption(o, a, args, i);
        } else if (!optionsEnded && a.starts_with("-") && a.size() > 1) {
            r.error = "unbekannte Option " + a + " für " + o.command;
        } else {
            o.arguments.push_back(a);
        }
    }
    if (r.error.empty() && Contradictory(o)) {
        r.error = "widersprüchliche Optionen für " + o.command;
    }
    if (r.error.empty() && !o.help && o.arguments.size() < command->arguments) {
        r.error = "zu wenige Angaben für " + o.command;
    } else if (r.error.empty() && !o.help &&
               o.arguments.size() > command->arguments + command->optionalArguments &&
               !command->repeatsLast) {
        r.error = "zu viele Angaben für " + o.command;
    }
    return r;
}

}  // namespace pellandrix::cli
