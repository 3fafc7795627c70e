#include "ui/icon_image_list.h"

// The resources live in a static library: register them explicitly, since
// nothing else references their object file.
static void InitPellandrixResources() {
    Q_INIT_RESOURCE(pellandrix);
}

namespace pellandrix::ui {

int CIconImageList::Add(const QIcon& icon) {
    icons_.push_back(icon);
    return static_cast<int>(icons_.size()) - 1;
}

QIcon CIconImageList::Icon(int index) const {
    if (index < 0 || index >= Count()) {
        return QIcon();
    }
    return icons_[static_cast<std::size_t>(index)];
}

QIcon LoadIconResource(int resourceId) {
    static const bool registered = (InitPellandrixResources(), true);
    (void)registered;
    const char* base = nullptr;
    switch (resourceId) {
        case 128:
            base = "app";
            break;
        case 132:
            base = "help";
            break;
        case 135:
            base = "info";
            break;
        default:
            return QIcon();
    }
    QIcon icon;
    for (int size : {16, 32, 48}) {
        icon.addFile(QString(":/pellandrix/icons/%1-%2.png").arg(base).arg(size),
                     QSize(size, size));
    }
    return icon;
}

}  // namespace pellandrix::ui
