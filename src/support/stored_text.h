#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "support/string_table.h"

namespace pellandrix {

// What a stored name, folder or extension may hold: the one rule for every
// way a text gets into the database (the desktop program, add-project,
// add-file, import and the conversion of old databases), so that none of
// them stores what another refuses.

// The part a text plays in a record.
enum class TextRole {
    kName,       // a project's name
    kFolder,     // a source or target folder
    kFileName,   // a template's file name, without its folder
    kExtension,  // the extension of the pages made
};

// The message that refuses `text` in `role`, or none when it may be
// stored. Refused in every role: text that is not UTF-8
// (kTextNotUtf8) and control characters (kControlCharacter): C0, DEL, C1
// and the line and paragraph separators U+2028 and U+2029. Refused as a
// file name: empty, "." or "..", or holding "/"; as an extension: holding
// "/" (kNotAFileName).
std::optional<MessageId> TextRefusal(std::string_view text, TextRole role);

// `text` as a message may quote it: every control character TextRefusal
// refuses is written as an escape, so that a refused value cannot move the
// cursor or start a line of its own on a terminal: "\t", "\n" and "\r" by
// name, others below U+0100 as "\x" and two hex digits (C1 "\x85"), the
// line and paragraph separators as "\u2028" and "\u2029", and each byte
// that is not UTF-8 as "\x" and its two hex digits. Everything else stays.
std::string ShownText(std::string_view text);

}  // namespace pellandrix
