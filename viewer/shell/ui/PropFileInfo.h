#pragma once
// Settings page: the caption copy and the ten keywords written into pictures.
#include "viewer/shell/ui/SettingsSheetLogic.h"

#include <QWidget>

#include <array>

class QCheckBox;
class QLineEdit;

class CPropFileInfo : public QWidget {
public:
    explicit CPropFileInfo(QWidget* parent = nullptr);
    void Load(const SheetValues& values);
    void Store(SheetValues* values) const;

    QCheckBox* KeywordCheck(int i) const { return checks_[static_cast<std::size_t>(i)]; }
    QLineEdit* KeywordEdit(int i) const { return keywords_[static_cast<std::size_t>(i)]; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void UpdateControls();

    QCheckBox* captionCopy_ = nullptr;
    std::array<QCheckBox*, 10> checks_{};
    std::array<QLineEdit*, 10> keywords_{};
};
