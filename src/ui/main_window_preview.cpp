// "Vorschau im Browser": the file list's toggle for the live preview, which
// serves the project's target folders while "automatisch erstellen" runs it.

#include <QAbstractButton>
#include <QAction>

#include "app/live_preview.h"
#include "store/database_location.h"
#include "ui/auto_build.h"
#include "ui/file_list_menu.h"
#include "ui/main_dlg.h"
#include "ui/pellandrix_app.h"

namespace pellandrix::ui {

namespace {

QAction& AutoBuildToggle(const CMainDlg& window) {
    return *window.findChild<QAction*>(QStringLiteral("autoBuild"));
}

}  // namespace

void CMainDlg::ConnectPreview() {
    preview_ = std::make_unique<CLivePreview>(App()->Session());
    previewEntry_ = fileMenu_->AddAction(
        QStringLiteral("V&orschau im Browser"),
        [this](int) { return preview_->IsOn() || createFiles_->isEnabled(); },
        [this](int row) {
            const bool on = previewEntry_->isChecked();
            if (!RunCommand([&] { SetPreview(on, row); })) {
                StopPreview();
            }
        });
    previewEntry_->setCheckable(true);
    previewEntry_->setObjectName(QStringLiteral("preview"));
    // Closing the window ends the serving with it, whichever way it closes.
    connect(this, &QDialog::finished, this, [this] { StopPreview(); });
}

void CMainDlg::SetPreview(bool on, int row) {
    if (!on) {
        StopPreview();
        return;
    }
    if (const Outcome started = preview_->Start(CurrentDirectory()); !started) {
        previewEntry_->setChecked(false);
        App()->ShowRefusal(started);
        return;
    }
    // The page opens after a run, so that it is there and current; one
    // runs at once either way.
    const CTplFileRecord* entry = App()->Session().EntryAtRow(row);
    preview_->OpenAfterNextRun(entry != nullptr ? preview_->PageAddress(*entry)
                                                : preview_->Address());
    if (autoBuild_->IsOn()) {
        autoBuild_->ProjectChanged();
    } else {
        autoForPreview_ = true;
        // Refused (folders that cannot be watched): that toggle says why
        // and, going off, stops the preview too.
        AutoBuildToggle(*this).setChecked(true);
    }
    ShowAutoState();
}

void CMainDlg::StopPreview() {
    preview_->Stop();
    previewEntry_->setChecked(false);
    if (autoForPreview_) {
        AutoBuildToggle(*this).setChecked(false);
    }
    ShowAutoState();
}

}  // namespace pellandrix::ui
