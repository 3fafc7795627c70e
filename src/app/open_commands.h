#pragma once

#include <string>
#include <vector>

#include "store/tpl_file_record.h"

namespace pellandrix {

// A program to start and the arguments to give it. `program` is a name to
// look up in PATH or an absolute path.
struct LaunchCommand {
    std::string program;
    std::vector<std::string> arguments;
    bool operator==(const LaunchCommand&) const = default;
};

// What the user's desktop says about the user's programs. The caller
// gathers it (asking the desktop means running its tools); every member may
// be empty.
struct DesktopChoices {
    // $BROWSER as set.
    std::string browserVariable;
    // The application entry of the default web browser, as
    // `xdg-settings get default-web-browser` names it ("firefox.desktop").
    std::string defaultBrowser;
    // The application entry of the default program for text/plain, as
    // `xdg-mime query default text/plain` names it.
    std::string textEditor;
    // Where application entries are looked for (ApplicationFolders).
    std::vector<std::string> applicationFolders;
    // $PATH.
    std::string searchPath;
};

// The places the file list offers to open for an entry, absolute (relative
// folders are taken from `currentDir`): the generated page
// "<TargetPath>/<base name>.<CreateFileExt>" (empty when the entry makes no
// file), the template "<SourcePath>/<TPLFileName>" and the target folder.
struct EntryPlaces {
    std::string page;
    std::string templateFile;
    std::string targetFolder;
};
EntryPlaces PlacesOf(const CTplFileRecord& entry, const std::string& currentDir);

// `path` with every byte but letters, digits and "-._~/" percent-encoded.
std::string PercentEncodedPath(const std::string& path);

// "file://" and the absolute `path`, percent-encoded as above.
std::string FileUrl(const std::string& path);

// The user's web browser asked to show the local file `page` (as a file
// URL). A local .html given to the desktop's handler for its file type may
// land in an editor, so the browser is asked for by name, the first of:
//   1. the first command of $BROWSER (commands separated by ':', each a
//      program and arguments separated by blanks) whose program is found
//      (an executable absolute path, or a name in `searchPath`), with "%s"
//      in it replaced by the URL, or the URL appended when it has none;
//   2. the desktop's default web browser (its entry's Exec);
//   3. x-www-browser, when it is in `searchPath`;
//   4. xdg-open with the URL, the last resort.
LaunchCommand BrowserCommand(const DesktopChoices& desktop, const std::string& page);

// The same for any `url` (an http address of the live preview); `path`
// stands for a browser entry's file field codes (%f), the URL itself when
// there is no file.
LaunchCommand BrowserUrlCommand(const DesktopChoices& desktop, const std::string& url,
                                const std::string& path);

// The desktop's default program for plain text asked to open `file` (its
// entry's Exec); xdg-open of the file when there is none. Not the handler
// for the file's own type: a template full of HTML would open in the
// browser.
LaunchCommand EditorCommand(const DesktopChoices& desktop, const std::string& file);

// EditorCommand with the editor put on `line` (counted from 1) where the
// editor is known to take the "+LINE" argument before the file (gedit,
// pluma, xed, geany, the vi and Emacs families, nano); any other editor,
// and a line below 1, just get the file.
LaunchCommand EditorCommandAt(const DesktopChoices& desktop, const std::string& file, int line);

// The file manager showing `folder`: xdg-open of the folder.
LaunchCommand FolderCommand(const std::string& folder);

}  // namespace pellandrix
