#include "viewer/transfer/ui/SelectImage.h"
#include "viewer/transfer/ui/tests/UiTestSupport.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>

namespace {
class SelectImageTest : public UiTest {};
}  // namespace

TEST_F(SelectImageTest, ShowsTheCallersChoiceAndReturnsTheNewOneOnOk) {
    CSelectImage dlg;
    dlg.setSelection(3);
    dlg.setKeep(1);
    dlg.show();
    EXPECT_EQ(dlg.windowTitle(), "Select pictures");
    EXPECT_EQ(dlg.choices()->checkedId(), 3);
    EXPECT_EQ(dlg.choices()->button(4)->text(), "Transfer-marked pictures");
    EXPECT_TRUE(dlg.keepBox()->isChecked());

    dlg.choices()->button(1)->click();
    dlg.keepBox()->click();
    dlg.accept();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(dlg.selection(), 1);
    EXPECT_EQ(dlg.keep(), 0u);
}

TEST_F(SelectImageTest, CancelLeavesTheValuesAsGiven) {
    CSelectImage dlg;
    dlg.setSelection(2);
    dlg.setKeep(0);
    dlg.show();
    dlg.choices()->button(0)->click();
    dlg.keepBox()->click();
    dlg.reject();
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
    EXPECT_EQ(dlg.selection(), 2);
    EXPECT_EQ(dlg.keep(), 0u);
}

TEST_F(SelectImageTest, AFreshDialogMarksNoChoice) {
    CSelectImage dlg;
    dlg.show();
    EXPECT_EQ(dlg.selection(), -1);
    EXPECT_EQ(dlg.choices()->checkedId(), -1);
}
