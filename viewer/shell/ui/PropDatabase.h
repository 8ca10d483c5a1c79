#pragma once
// Settings page: registering transferred pictures in a catalog program.
#include "viewer/shell/ui/SettingsSheetLogic.h"

#include <QWidget>

#include <functional>

class QCheckBox;
class QLineEdit;
class QPushButton;

class CPropDatabase : public QWidget {
public:
    explicit CPropDatabase(QWidget* parent = nullptr);
    void Load(const SheetValues& values);
    void Store(SheetValues* values) const;

    // Called with a newly chosen registration folder (the transfer page takes it too).
    void SetFolderHandOver(std::function<void(const std::string&)> handOver) { handOver_ = std::move(handOver); }

    void ChooseProgram();
    // An existing catalog file, or a new one made by the catalog program after the user's OK.
    void ChooseCatalogFile();

    // Makes a new catalog file with the catalog program: (program, catalog) -> 0 when made.
    using CatalogMaker = std::function<int32_t(const std::string& program, const std::string& catalog)>;
    static void SetCatalogMaker(CatalogMaker maker);
    void ChooseRegistrationFolder();

    QCheckBox* RegisterCheck() const { return register_; }
    QLineEdit* ProgramEdit() const { return program_; }
    QLineEdit* CatalogEdit() const { return catalog_; }
    QLineEdit* FolderEdit() const { return folder_; }

private:
    void OnRegisterClicked(bool checked);
    void UpdateControls();

    std::string imagesFolder_;
    std::function<void(const std::string&)> handOver_;
    QCheckBox* register_ = nullptr;
    QLineEdit* program_ = nullptr;
    QLineEdit* catalog_ = nullptr;
    QLineEdit* folder_ = nullptr;
    QPushButton* catalogBrowse_ = nullptr;
    QPushButton* folderBrowse_ = nullptr;
};
