#pragma once
// The overwrite question of the print job: OK, OK for all, or Cancel. Mode 0
// takes its texts from the language; other modes keep the texts their caller sets.
#include "viewer/shell/ui/CommonDialogLogic.h"

#include <QDialog>

class QLabel;
class QPushButton;

class COverwriteDlg : public QDialog {
public:
    void reject() override { done(kEndCancel); }
    static constexpr int kForAllButton = 1166;
    explicit COverwriteDlg(int mode = 0, QWidget* parent = nullptr);
    int DoModal() { return exec(); }
    bool ForAll() const { return forAll_; }

    QLabel* MessageLabel() const { return message_; }
    QPushButton* Button(int id) const;

private:
    int mode_;
    bool forAll_ = false;
    QLabel* message_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* all_ = nullptr;
    QPushButton* cancel_ = nullptr;
};
