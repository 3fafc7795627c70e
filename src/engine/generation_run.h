#pragma once

#include "engine/run_view.h"
#include "engine/template_parser.h"

namespace pellandrix {

// The generation run behind "Dateien erstellen": generates every selected
// live entry of the parser's list in list order, each on an empty define
// table; generates again, on its own, every entry whose file an include
// overwrote afterwards; then deletes the generated files of entries that do
// not keep them. Statuses and progress go to `view`. Nothing is written to
// the project database. Messages (parse errors) go through the parser's
// message service; the run never stops for them.
void RunGeneration(CTemplateParser& parser, IRunView& view);

}  // namespace pellandrix
