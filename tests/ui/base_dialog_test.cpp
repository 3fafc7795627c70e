#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>

#include "ui/base_dialog.h"

namespace pellandrix::ui {
namespace {

TEST(BaseDialog, ControlsById) {
    CBaseDialog dlg(103);
    auto* edit = new QLineEdit(&dlg);
    dlg.SetControlId(edit, 1010);
    dlg.SetControlText(1010, "abc");
    EXPECT_EQ(dlg.GetControlText(1010), "abc");
    EXPECT_EQ(dlg.ControlAs<QLineEdit>(1010), edit);
    EXPECT_EQ(dlg.HelpId(), 103);
}

}  // namespace
}  // namespace pellandrix::ui
