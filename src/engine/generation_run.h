#pragma once

#include "engine/run_view.h"
#include "engine/template_parser.h"

namespace pellandrix {

// The generation run behind "Dateien erstellen": first removes from the
// target folders the hidden files that killed runs left (SweepLeftovers);
// then generates every selected
// live entry of the parser's list in list order, each on an empty define
// table; generates again, on its own, every entry whose file an include
// overwrote afterwards; then deletes the generated files of entries that do
// not keep them. Statuses and progress go to `view`. Nothing is written to
// the project database. Messages go through the parser's message service;
// the run never stops for them. A selected entry whose own generated file
// was not put in place (template unreadable, folder missing, file not
// creatable or cut short) ends Failed instead of Done, and is named in an
// error message once per run; an include failing the same way is silent.
void RunGeneration(CTemplateParser& parser, IRunView& view);

}  // namespace pellandrix
