#pragma once

#include <vector>

#include "store/tpl_file_list.h"

namespace pellandrix {

// The live entries of `files` that the selected ones reach through #include
// lines naming templates of the list (the selected ones included), ordered
// so that every entry comes before the entries it includes, directly or
// through others; within an include cycle the order is arbitrary. Every
// #include line counts, whatever branch it stands in, so the order holds
// however the templates are read with whatever names defined. Each template
// is read once; one that cannot be read includes nothing.
std::vector<CTplFileRecord*> IncludersFirst(const CTplFileList& files);

}  // namespace pellandrix
