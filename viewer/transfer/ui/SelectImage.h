#pragma once
// The picture selection dialog: which pictures a transfer from the panel takes
// (0 all, 1-4 the narrower choices) and whether the choice is kept for the next
// start. The caller reads both back only after OK.
#include <QDialog>

#include <cstdint>

class QButtonGroup;
class QCheckBox;

class CSelectImage : public QDialog {
public:
    explicit CSelectImage(QWidget* parent = nullptr);

    int32_t selection() const { return selection_; }
    uint32_t keep() const { return keep_; }
    void setSelection(int32_t selection) { selection_ = selection; }
    void setKeep(uint32_t keep) { keep_ = keep ? 1 : 0; }

    QButtonGroup* choices() const { return choices_; }
    QCheckBox* keepBox() const { return keepBox_; }

    void showEvent(QShowEvent* event) override;
    void accept() override;

private:
    void OnInitDialog();
    int32_t selection_ = -1;
    uint32_t keep_ = 0;
    QButtonGroup* choices_ = nullptr;
    QCheckBox* keepBox_ = nullptr;
};
