#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pellandrix {

// Ids of the program's messages. Texts live in one table (string_table.cpp);
// no message text is built anywhere else.
enum class MessageId : int {
    kNewDatabase = 1,
    kSaveChanges = 2,
    kNestedIfdef = 3,
    kElseWithoutIfdef = 6,
    kEndifWithoutIfdef = 7,
    kNestedIfndef = 9,
    kUnclosedBlock = 10,
    kDeleteProject = 11,
    kRemoveFile = 12,
    kIncludeCycle = 13,
    kWriteFailed = 14,
    kDatabaseFailed = 15,
    kUnknownProject = 16,
    kUsageError = 17,
    kDatabaseError = 18,
    kFileAlreadyInProject = 19,
    kTemplateNotFound = 20,
    kExtensionNotOffered = 21,
    kTextTooLong = 22,
    kNoSuchDirectory = 23,
    kUnexpectedError = 24,
    kSubstitutionTooLong = 25,
    kApostropheInPath = 26,
    kDefinitionsTooLarge = 27,
    kControlCharacter = 36,
    kIniUnreadable = 37,
    kRowNotRepresentable = 38,
    kNoFreeId = 39,
    kProjectTextBad = 40,
    kCannotWriteFile = 41,
    kCannotReadFile = 42,
    kTemplateUnreadable = 43,
    kTargetDirectoryMissing = 44,
    kCannotCreateFile = 45,
    kFileIsTemplate = 46,
    kOutsideTargetFolders = 47,
    kConvertJetDatabase = 48,
    kJetDatabaseConverted = 49,
    kJetConversionFailed = 50,
    kDataFolderFailed = 51,
    kCannotStartProgram = 52,
    kWatchFolderMissing = 55,
    kWatchUnavailable = 56,
    kOutsideSourceFolder = 57,
    kProjectNameTaken = 58,
    kProjectNameAmbiguous = 59,
    kWatchFailed = 60,
    kJetFileBesideNewDatabase = 66,
    kTextNotUtf8 = 72,
    kNotAFileName = 73,
    kProjectTextCut = 74,
    kProjectTextTooLarge = 75,
    kRemoveStalePages = 76,
    kPreviewNoPort = 80,
    kPreviewAddress = 81,
    kUnknownTemplateFile = 87,
    kTemplateFileAmbiguous = 88,
    kIdNeverGiven = 95,
};

// The text of `id`, exactly as stored (UTF-8). An id without a text yields
// the empty string.
std::string_view MessageText(MessageId id);

// Fills the message's "%s" placeholders with `first` and `second`, in that
// order, as data: a "%" inside an argument stays as it is. When `first` is
// absent the text comes back unchanged. Nothing is cut, whatever the length.
std::string FormatMessage(MessageId id, std::optional<std::string_view> first,
                          std::string_view second);

}  // namespace pellandrix
