#pragma once

#include <QIcon>

#include <vector>

namespace pellandrix::ui {

// The application's icon image list: small icons shown on the
// icon buttons of all dialogs, addressed by index.
class CIconImageList {
  public:
    // Appends `icon` and returns its index.
    int Add(const QIcon& icon);
    // The icon at `index`, or a null icon when out of range.
    QIcon Icon(int index) const;
    int Count() const { return static_cast<int>(icons_.size()); }
    void Clear() { icons_.clear(); }

  private:
    std::vector<QIcon> icons_;
};

// The icon of resource id `resourceId` from the program's Qt resources:
// 128 application icon, 132 help, 135 information. A null icon for any
// other id.
QIcon LoadIconResource(int resourceId);

}  // namespace pellandrix::ui
