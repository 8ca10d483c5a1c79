#pragma once
// The question asked when a saved picture meets a file of the same name: yes,
// no, yes to all, or cancel. The answer goes into the owner's two flags; the
// window keeps its place between showings.
#include "viewer/shell/ui/CommonDialogLogic.h"

#include <QDialog>
#include <QRect>

#include <string>

class QLabel;
class QPushButton;

class CFileConflictDlg : public QDialog {
public:
    void reject() override { done(kEndCancel); }
    // first/second: the owner's answer flags, written when an answer is chosen.
    CFileConflictDlg(int* first, int* second, QWidget* parent = nullptr);

    // Sets the question for a file (attributes bit 0: read-only).
    void SetFile(const std::string& fileName, uint32_t attributes);
    int DoModal() { return exec(); }

    QLabel* MessageLabel() const { return message_; }
    QPushButton* Button(int id) const;
    void Answer(int buttonId);

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;

private:
    int* first_;
    int* second_;
    QLabel* message_ = nullptr;
    QPushButton* all_ = nullptr;
    QPushButton* yes_ = nullptr;
    QPushButton* no_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QRect placement_;
    bool firstShow_ = true;
};
