#pragma once
// Starting the picture jobs from the browser: each job runs under its modal
// progress dialog and is joined before the call returns.
#include "viewer/browser/BrowserItem.h"
#include "viewer/browser/JobAccess.h"

#include "platform/gdi/PrintDocument.h"

#include <list>
#include <string>

class QWidget;

// The save job's exit code; a non-zero code is also posted to view as UM_ERROR.
int32_t RunSaveJob(QWidget* parent, plat::WindowHandle view, BrowserItemList& items, JobAccess& access,
                   const std::string& sourceFolder, const std::string& destinationFolder);
// 0, or the code of the delete that failed (its message has been shown).
int32_t RunRemoveFilesJob(QWidget* parent, BrowserItemList& items, std::list<std::string>& names, JobAccess& access,
                          const std::string& folder);
// 1 when the folder was deleted; else 0 after message 61637.
int32_t RunRemoveFolderJob(QWidget* parent, JobAccess& access, const std::string& folder);
// The print job's result (0, or the Err_Print value it reported).
int32_t RunPrintJob(QWidget* parent, int32_t mode, const BrowserItemList& items, JobAccess& access,
                    const std::string& folder, const std::string& singlePath, const plat::gdi::PrintTarget& target,
                    int32_t singleTurns = 0);
// The folder for index sheets (title 62214); empty when the user cancels.
std::string ChooseSheetFolder(QWidget* parent);
// The index-sheet job's result (0, or the ThumbFile_Result it reported).
int32_t RunIndexSheetJob(QWidget* parent, BrowserItemList& items, JobAccess& access, const std::string& sourceFolder,
                         const std::string& sheetFolder);
