#pragma once

#include <QString>

#include <map>
#include <string>
#include <vector>

class QTextBrowser;
class QWidget;

namespace pellandrix::ui {

// Name of the help file, looked for in the start directory, then in the
// installed data directory, then in the source tree's data/ folder.
inline constexpr const char* kHelpFileName = "Pellandrix-Hilfe.html";

// F1 topic of a dialog id: 102 → 10000, 104 → 20000, 105 → 30000, else 0
// (0 = the help's start page).
int DialogHelpTopic(int dialogId);

// The first existing help file of: `startDir`/Pellandrix-Hilfe.html, the
// installed data directory, the source tree's data/ folder. Empty when none
// exists.
std::string FindHelpFile(const std::string& startDir);

// The help file, parsed. Format: one HTML file (UTF-8); each topic is a
// <section id="topic-N"> ... </section> (N = topic number, 0 = start page)
// holding an <a name="topic-N"></a> anchor for the help window; topics
// 1001-1010, 2001-2006 and 3001-3010 are the controls' popup texts.
class CHelpFile {
  public:
    // Reads and parses `path`; false when it cannot be read.
    bool Load(const std::string& path);
    const std::string& Path() const { return path_; }
    bool HasTopic(int topic) const { return topics_.count(topic) != 0; }
    // Inner HTML of the topic's section (empty when missing).
    std::string TopicHtml(int topic) const;
    // The topic as plain text: tags removed, entities decoded, blanks
    // collapsed (empty when missing).
    std::string TopicText(int topic) const;
    std::vector<int> Topics() const;

  private:
    std::string path_;
    std::map<int, std::string> topics_;
};

// The help file of the running program (loaded once from `path`; reloaded
// when the path changes).
const CHelpFile& HelpFileAt(const std::string& path);

// Shows `topic` of the help file at `path` in the program's help window (a
// QTextBrowser window, one per process, brought to the front and activated
// when already open). It belongs to no dialog and is modal to nothing: it
// stays usable while dialogs are open (scrolling, links, close box), and
// Escape closes it.
void ShowHelpWindow(const std::string& path, int topic);

// Shows `html` as a popup next to `control` (a small frameless label that
// stays until the next popup, a click, a key or leaving help mode).
void ShowHelpPopup(QWidget* control, const QString& html);
void HideHelpPopup();

// Test hooks: the help window (null when closed), its anchor ("topic-N")
// as last asked for, and whether it is visible;
// the popups shown so far (plain text) and the current popup.
QTextBrowser* HelpWindowBrowser();
QString HelpWindowAnchor();
bool HelpWindowVisible();
std::vector<std::string>& ShownHelpPopups();
bool HelpPopupVisible();

}  // namespace pellandrix::ui
