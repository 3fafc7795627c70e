#pragma once

#include <QDialog>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/open_commands.h"
#include "app/site_check.h"
#include "engine/source_place.h"

class QCheckBox;
class QPushButton;
class QTreeWidget;

namespace pellandrix::ui {

// One row of the "Meldungen" window: a message of the last run or a finding
// of the project's check.
struct MessageRow {
    bool error = false;  // a run's error (the row stands out)
    std::string text;
    // Where it happened, innermost first, then the places that include it;
    // empty when the message has no place.
    std::vector<SourcePlace> places;
};

// The non-modal window "Meldungen": the last run's messages, or the
// findings of "Projekt prüfen", one row each with the message, the file and
// line, and the include chain. Double-click or Enter on a row opens its
// file in the user's text editor at its line (EditorCommandAt); Ctrl+C and
// "Kopieren" copy the selected rows (all rows when none is selected) as the
// command-line program's --locations prints them. "Projekt prüfen" runs the
// session's check of the current project; "veraltete Seiten löschen" deletes
// the stale pages the check found after question 76 answered OK. The box
// "nach einem Lauf mit Meldungen öffnen" (ticked at first) decides whether
// ShowRun opens the window.
//
// File paths of rows are taken relative to the current directory. Requires
// App() (its messages). `launch` starts a program (StartDetached; tests pass
// their own); `check` runs the check (with `removeStale`, deleting first)
// and returns its findings, or nothing when it could not run.
class CMessagesWindow : public QDialog {
  public:
    using Launch = std::function<bool(const LaunchCommand&)>;
    using Check = std::function<std::optional<std::vector<SiteFinding>>(bool removeStale)>;

    CMessagesWindow(QWidget* parent, Launch launch, Check check);

    // A run starts: its rows replace what the window shows. Each message
    // of the run is added as it comes; when the run has ended, the window
    // opens (and comes to the front) if the run had messages and the box
    // is ticked.
    void BeginRun();
    void AddRunMessage(MessageRow row);
    void EndRun();
    // Shows `findings` as rows; "veraltete Seiten löschen" is enabled
    // while one of them is a stale page not yet deleted.
    void ShowFindings(const std::vector<SiteFinding>& findings);
    // The texts of the last run's messages that arose while `templateFile`
    // (absolute) was being generated, or that have no place and name its
    // file, one per line.
    QString MessagesOfTemplate(const std::string& templateFile) const;

    // Opens the file of `row` at its line; nothing for a row without a place.
    // A program that cannot be started is reported (message 52).
    void OpenRow(int row);
    // The text Ctrl+C puts on the clipboard.
    QString CopyText() const;

    QTreeWidget* List() const { return list_; }
    QPushButton* CheckButton() const { return checkButton_; }
    QPushButton* RemoveStaleButton() const { return removeStale_; }
    QCheckBox* OpenAfterRunBox() const { return openAfterRun_; }

  private:
    void CreateControls();
    void Fill(std::vector<MessageRow> rows);
    void AddRow(const MessageRow& row);
    void CheckProject(bool removeStale);

    Launch launch_;
    Check check_;
    int openStale_ = 0;  // stale pages among the findings, not deleted
    QTreeWidget* list_ = nullptr;
    QPushButton* checkButton_ = nullptr;
    QPushButton* removeStale_ = nullptr;
    QCheckBox* openAfterRun_ = nullptr;
    std::vector<MessageRow> runRows_;
    std::vector<MessageRow> shown_;
};

}  // namespace pellandrix::ui
