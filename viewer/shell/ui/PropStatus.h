#pragma once
// The settings sheet: five pages over a copy of the settings. The caller loads
// the settings into it, shows it, and on OK stores the pages back and saves.
#include "viewer/shell/ui/SettingsSheetLogic.h"

#include <QDialog>

#include <ctime>
#include <string>

class CPropDatabase;
class CPropFileInfo;
class CPropTrans;
class CPropViewer;
class CPropWake;
class QTabWidget;

class CPropStatus : public QDialog {
public:
    enum Page { kStartUp = 0, kTransfer, kCatalog, kFileInfo, kViewer };

    CPropStatus(const std::string& caption, QWidget* parent = nullptr, int firstPage = kStartUp);
    ~CPropStatus() override;

    void LoadFromSettings(const CViewSettings& settings);
    void SaveToSettings(CViewSettings* settings) const;
    // QDialog::Accepted (1) means the caller saves.
    int DoModal() { return exec(); }

    QTabWidget* Tabs() const { return tabs_; }
    CPropWake* WakePage() const { return wake_; }
    CPropTrans* TransPage() const { return trans_; }
    CPropDatabase* DatabasePage() const { return database_; }
    CPropFileInfo* FileInfoPage() const { return fileInfo_; }
    CPropViewer* ViewerPage() const { return viewer_; }

private:
    static std::tm Now();

    std::tm sheetTime_;
    SheetValues values_;
    QTabWidget* tabs_ = nullptr;
    CPropWake* wake_ = nullptr;
    CPropTrans* trans_ = nullptr;
    CPropDatabase* database_ = nullptr;
    CPropFileInfo* fileInfo_ = nullptr;
    CPropViewer* viewer_ = nullptr;
};
