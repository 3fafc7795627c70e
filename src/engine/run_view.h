#pragma once

namespace pellandrix {

// What the generation run shows while it works: the file list's status
// column, the progress bar and the buttons. The main window, the
// command-line program and tests implement it.
class IRunView {
  public:
    virtual ~IRunView() = default;
    // Shows the status text and check box of the entry whose ListRow is `row`.
    virtual void RefreshRowStatus(int row) = 0;
    // Asks the file list to redraw its first item.
    virtual void UpdateFirstItem() {}
    virtual void SetProgressRange(int lowest, int highest) = 0;
    virtual void SetProgressPos(int position) = 0;
    // The run has ended: buttons may change their enabled state.
    virtual void RefreshButtons() {}
};

}  // namespace pellandrix
