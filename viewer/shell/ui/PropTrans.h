#pragma once
// Settings page: saving pictures to the computer, their folder and names.
#include "viewer/shell/ui/SettingsSheetLogic.h"

#include <QWidget>

#include <ctime>

class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

class CPropTrans : public QWidget {
public:
    CPropTrans(const std::tm& sheetTime, QWidget* parent = nullptr);
    void Load(const SheetValues& values);
    void Store(SheetValues* values) const;

    // The destination chosen elsewhere (the catalog page's registration folder).
    void SetDestination(const std::string& folder);
    // The destination chooser (button 1079).
    void ChooseDestination();

    QCheckBox* SaveImageCheck() const { return saveImage_; }
    QButtonGroup* PrefixSuffixGroup() const { return prefixSuffix_; }
    QButtonGroup* ContentsGroup() const { return contents_; }
    QLineEdit* PrefixEdit() const { return prefix_; }
    QLineEdit* SerialEdit() const { return serial_; }
    QLineEdit* DestinationEdit() const { return destination_; }
    QLabel* Example() const { return example_; }

private:
    void OnPrefixEdited(const QString& text);
    void OnSerialEdited(const QString& text);
    void OnSaveImageClicked(bool checked);
    void UpdateControls();
    void UpdateExample();

    std::tm sheetTime_;
    std::string imagesFolder_;
    std::string prvTransferFile_;
    std::string prefixText_;
    std::string serialText_ = "0";
    QCheckBox* saveImage_ = nullptr;
    QCheckBox* thumbnail_ = nullptr;
    QButtonGroup* prefixSuffix_ = nullptr;
    QButtonGroup* contents_ = nullptr;
    QButtonGroup* createFile_ = nullptr;
    QLineEdit* prefix_ = nullptr;
    QLineEdit* destination_ = nullptr;
    QLineEdit* serial_ = nullptr;
    QLabel* serialLabel_ = nullptr;
    QLabel* exampleLabel_ = nullptr;
    QLabel* example_ = nullptr;
};
