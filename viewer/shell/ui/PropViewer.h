#pragma once
// Settings page: which viewer opens pictures and movies.
#include "viewer/shell/ui/SettingsSheetLogic.h"

#include <QWidget>

class QButtonGroup;
class QCheckBox;
class QLineEdit;
class QPushButton;

class CPropViewer : public QWidget {
public:
    explicit CPropViewer(QWidget* parent = nullptr);
    void Load(const SheetValues& values);
    void Store(SheetValues* values) const;

    // The program choosers of buttons 1101 (movies) and 1097 (pictures).
    void ChooseProgram(QLineEdit* target);

    QButtonGroup* ViewerGroup() const { return viewerSoft_; }
    QLineEdit* MovieEdit() const { return dinamic_; }
    QLineEdit* PictureEdit() const { return static_; }
    QPushButton* PictureBrowse() const { return staticBrowse_; }

private:
    void UpdateControls();

    QButtonGroup* viewerSoft_ = nullptr;
    QLineEdit* dinamic_ = nullptr;
    QLineEdit* static_ = nullptr;
    QPushButton* staticBrowse_ = nullptr;
    QCheckBox* createThumbnail_ = nullptr;
};
