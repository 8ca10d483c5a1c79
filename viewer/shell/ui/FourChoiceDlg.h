#pragma once
// A box of four choices for a file that is in the way: OK, rename, skip or
// cancel. Its result is the id of the button (1170-1173); the close box is 1173.
#include "viewer/shell/ui/CommonDialogLogic.h"

#include <QDialog>

class QPushButton;

class CFourChoiceDlg : public QDialog {
public:
    void reject() override;
    explicit CFourChoiceDlg(QWidget* parent = nullptr);
    int DoModal() { return exec(); }
    QPushButton* Button(int id) const;

private:
    QPushButton* buttons_[4] = {};
};
