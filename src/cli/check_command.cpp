// check: what is wrong with a project's site on disk.

#include "cli/cli.h"
#include "cli/commands.h"
#include "cli/json_lines.h"

namespace pellandrix::cli {

int CheckSite(CommandContext& c, const CliOptions& o) {
    if (Outcome opened = c.session.Open(o.arguments[0]); !opened) {
        return Refused(c, opened);
    }
    bool open = false;
    for (const SiteFinding& finding : c.session.Check({o.removeStale})) {
        if (o.json) {
            WriteFindingJson(c.out, finding);
        } else {
            c.out << finding.file << ':' << finding.line << ": " << finding.text << '\n';
        }
        open = open || !finding.settled;
    }
    return open ? kExitErrorsShown : kExitOk;
}

}  // namespace pellandrix::cli
