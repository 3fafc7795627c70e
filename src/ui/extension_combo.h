#pragma once

#include <string>
#include <string_view>

#include "support/file_extensions.h"

class QComboBox;

namespace pellandrix::ui {

// Empties `combo` and adds the name of every entry of `list`, in list order
// (duplicates included). Afterwards no entry is selected, so that a caller
// that selects a stored extension which the list lacks leaves the box
// without a selection instead of showing an extension nobody chose.
void FillExtensionCombo(QComboBox* combo, const CFileExtList& list);

// The same with the running application's extension list, read from
// "fileext.def" at start-up. Requires App() to exist.
void FillExtensionCombo(QComboBox* combo);

// Selects in `combo` the entry whose text equals `extension` exactly (case
// and all). An extension that the box does not offer, or none, leaves it
// without a selection; which extension applies is the session's rule
// (CProjectSession::ExtensionFor).
void SelectExtension(QComboBox* combo, std::string_view extension);

// The text of the selected entry; empty when nothing is selected.
std::string SelectedExtension(const QComboBox* combo);

}  // namespace pellandrix::ui
