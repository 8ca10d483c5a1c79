#include "viewer/transfer/TransferCtrl.h"

#include "platform/fs/DosAttributes.h"
#include "platform/fs/DriveMap.h"
#include "platform/fs/FileOps.h"
#include "platform/msg/MessageBox.h"
#include "platform/msg/Messaging.h"
#include "platform/thread/Event.h"
#include "viewer/shell/common/FolderTools.h"
#include "viewer/shell/common/LangString.h"
#include "viewer/shell/common/ViewTables.h"
#include "viewer/shell/common/ViewerMessages.h"
#include "viewer/sources/ImageFileIf.h"
#include "viewer/sources/JqFileLib.h"
#include "viewer/sources/JqIfMngResult.h"
#include "viewer/transfer/PictureProcessing.h"
#include "viewer/transfer/UploadClient.h"

#include <algorithm>
#include <cctype>
#include <exception>
#include <thread>

namespace {

// Language message ids.
constexpr uint32_t kMsgMissingPicture = 61648;
constexpr uint32_t kMsgFailed = 61602;
constexpr uint32_t kMsgNoSpace = 61620;
constexpr uint32_t kMsgNoDestination = 61622;
constexpr uint32_t kMsgThumbFailed = 61624;
constexpr uint32_t kMsgPictureFailed = 61626;
constexpr uint32_t kMsgNotProcessed = 61642;
constexpr uint32_t kMsgNoCaption = 61695;
constexpr uint32_t kMsgUnknownCatalog = 61628;
constexpr uint32_t kMsgNoCatalogFile = 61631;
constexpr uint32_t kMsgSomeNotForWeb = 61673;
constexpr uint32_t kMsgNoneForWeb = 61674;
constexpr uint32_t kMsgCatalogNeedsLocal = 61678;
constexpr uint32_t kMsgWriteProtected = 61679;
constexpr uint32_t kMsgCdRom = 61680;
constexpr uint32_t kCatalogNames[] = {62203, 62204, 62205};

constexpr int kNoExifGoOn = 1170;
constexpr int kNoExifGoOnAll = 1171;
constexpr int kNoExifSkip = 1172;

// At most this many names are listed in one message; the rest are counted.
constexpr size_t kNamesShown = 20;

constexpr int32_t kThumbWidth = 160;
constexpr int32_t kThumbHeight = 120;

constexpr int kIconStop = static_cast<int>(plat::MessageIcon::Stop);
constexpr int kIconExclamation = static_cast<int>(plat::MessageIcon::Exclamation);
constexpr int kIconInformation = static_cast<int>(plat::MessageIcon::Information);

bool equalsNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::string afterLastSeparator(const std::string& path) {
    const auto p = path.find_last_of("/\\");
    return p == std::string::npos ? path : path.substr(p + 1);
}

// Whether a folder holds a file anywhere below it. A folder that cannot be
// searched counts as holding files, so it is never removed by mistake.
bool holdsFiles(const std::string& folder) {
    std::vector<plat::DirEntry> entries;
    if (!plat::listFolder(folder, &entries).ok()) return true;
    for (const auto& e : entries) {
        if (e.isLink || !e.attributes.isDirectory()) return true;
        if (holdsFiles(folder + "/" + e.name)) return true;
    }
    return false;
}

void removeIfEmpty(const std::string& folder) {
    if (!folder.empty() && plat::folderExists(folder) && !holdsFiles(folder)) plat::deleteTree(folder);
}

// A failure that belongs to the picture's own bytes (they cannot be read, or
// make no picture), as opposed to the source, the computer or the user: the
// picture is left out and named at the end, and the others still come over.
bool pictureUnreadable(int32_t code) {
    if (code > 0 && code < 100) return code != 1 && code != 2;   // 1 and 2: out of memory
    return code == JqIfMngResult_Failed || code == JqIfMngResult_ModuleMinus235;
}

std::string pictureName(const TransFileRecord& rec) {
    return rec.sourceFolder.empty() ? rec.fileName : rec.sourceFolder + "/" + rec.fileName;
}

int32_t copyProgress(uint64_t done, uint64_t total, void* reference) {
    auto* p = static_cast<CTransferCtrl::Progress*>(reference);
    const int32_t pos = CTransferCtrl::ProgressPosition(done, total, p->position, p->weight);
    if (pos != p->shown) {
        p->shown = pos;
        plat::sendMessage(p->owner, UM_TRANSFER_PROGRESS, static_cast<plat::WParam>(pos), 0);
    }
    return 0;
}

}  // namespace

std::string TransferHost::LangText(uint32_t id) { return CLangString(id).Text(); }

bool TransferHost::UploadFiles(const std::vector<std::string>& paths, int32_t* result,
                               std::vector<std::string>* notQueued) {
    UploadClient client;
    return client.UploadFiles(paths, result, notQueued);
}

CTransferCtrl::CTransferCtrl(plat::WindowHandle ownerDialog, TransferHost* host)
    : owner_(ownerDialog),
      host_(host),
      settings_(host ? host->Settings() : nullptr),
      access_(host ? host->PictureAccess() : nullptr),
      cancel_(plat::Event::create(plat::Event::Reset::Manual, false)) {
    progress_.owner = owner_;
}

CTransferCtrl::~CTransferCtrl() { waitUntilEnded(); }

int32_t CTransferCtrl::ProgressPosition(uint64_t done, uint64_t total, int32_t position, int32_t weight) {
    // An empty file counts as done at once (no division by a zero size).
    if (total == 0) return position + weight;
    const uint64_t part = std::min(done, total) * static_cast<uint64_t>(weight) / total;
    return position + static_cast<int32_t>(part);
}

bool CTransferCtrl::Cancelled() const { return plat::isSignalled(&cancel_); }

int CTransferCtrl::ShowMessage(uint32_t id, int icon, bool okCancel, const std::string& arg) {
    std::string text = host_->LangText(id);
    if (const auto at = text.find("%s"); at != std::string::npos) text.replace(at, 2, arg);
    if (text.empty()) text = std::to_string(id);
    plat::MessageBoxRequest request;
    request.owner = owner_;
    request.text = text;
    request.icon = static_cast<plat::MessageIcon>(icon);
    request.buttons = okCancel ? plat::MessageButtons::OkCancel : plat::MessageButtons::Ok;
    return plat::showMessageBox(request);
}

// ------------------------------------------------------------------ the run

int32_t CTransferCtrl::InitInstance() {
    int32_t result = TransResult_Failed;
    try {
        plat::sendMessage(owner_, UM_TRANSFER_BUSY, 0, 0);
        result = Run();
    } catch (...) {
        ShowMessage(kMsgFailed, kIconExclamation);
        result = TransResult_Failed;
        // What this run made is removed even so, the serial numbers it used stay
        // used, and the user still learns which pictures did not come over.
        try {
            Finish(result);
        } catch (...) {
        }
        try {
            if (settings_) settings_->WriteSerialNumber(settings_->GetTransferSettings().SerialNumber);
            ReportLeftOut();
        } catch (...) {
        }
    }
    list_.reset();
    picture_.reset();
    plat::postMessage(owner_, UM_TRANSFER_END, static_cast<plat::WParam>(result), 0);
    return result;
}

int32_t CTransferCtrl::Run() {
    if (!settings_ || !access_) {
        ShowMessage(kMsgFailed, kIconExclamation);
        return TransResult_Failed;
    }
    transfer_ = settings_->GetTransferSettings();
    database_ = settings_->GetDatabaseSettings();
    fileInfo_ = settings_->GetFileInfoSettings();
    buildThumbFromPicture_ = settings_->GetViewerSettings().CreateThumbnail != 0;
    imageSize_ = settings_->ImageSize;
    selectTransfer_ = settings_->SelectTransfer;
    checkLocal_ = settings_->CheckLocal != 0;
    checkWeb_ = settings_->CheckWeb != 0;

    int32_t result = WebFolderCleanUp();
    if (result == 0) result = TransFolderCheck();
    if (result == 0) result = DatabaseCheck();
    if (result == 0) result = GetFileList();
    if (result == 0) result = WebTransFileCheck();
    if (result == 0) result = DriveCheck();
    if (result == 0) result = MakeFolder();
    if (result == 0) {
        plat::sendMessage(owner_, UM_TRANSFER_BUSY, 1, 0);
        plat::sendMessage(owner_, UM_TRANSFER_TOTAL, static_cast<plat::WParam>(list_->size()), 0);
        result = PictureLoop();
    }
    result = CloseDatabaseAtEnd(result);
    if ((result == 0 || result == 2) && CheckWeb()) {
        const int32_t upload = JqWebUpload();
        if (upload != 0) result = upload;
    }
    Finish(result);
    ReportLeftOut();
    // The next transfer goes on counting, whatever this one's outcome.
    settings_->WriteSerialNumber(settings_->GetTransferSettings().SerialNumber);
    return result;
}

int32_t CTransferCtrl::WebFolderCleanUp() {
    if (!host_->WebUploadAvailable()) return 0;
    const std::string web = host_->WebUploadFolder();
    if (!plat::folderExists(web) && !plat::createFolders(web).ok()) {
        ShowMessage(kMsgFailed, kIconExclamation);
        return TransResult_Failed;
    }
    PruneWebUploadFolder(web, 24, true);
    return 0;
}

int32_t CTransferCtrl::TransFolderCheck() {
    tempFolder_ = host_->TempFolder();
    workFolder_ = tempFolder_;
    // the card-to-temp copies are work copies: the copies made from them are synced
    if (access_) access_->SetScratchFolder(tempFolder_);
    if (CheckLocal()) {
        destBase_ = transfer_.TransferFile;
        if (destBase_.empty() || !plat::folderExists(destBase_) || !PathLengthCheck(transfer_)) {
            ShowMessage(kMsgNoDestination, kIconExclamation, false, "Images");
            ResetDestination();
            return TransResult_Failed;
        }
    }
    if (CheckWeb()) {
        webRoot_ = host_->WebUploadFolder();
        webFolder_ = webRoot_;
        if (!CheckLocal()) destBase_ = webRoot_;
    }
    return 0;
}

void CTransferCtrl::ResetDestination() {
    const std::string images = host_->ImagesFolder();
    TransferSettings t = settings_->GetTransferSettings();
    DatabaseSettings d = settings_->GetDatabaseSettings();
    if (equalsNoCase(d.FolderReg, t.TransferFile)) d.FolderReg = images;
    t.TransferFile = images;
    t.PrvTransferFile = images;
    settings_->SetTransferSettings(t);
    settings_->SetDatabaseSettings(d);
    settings_->SaveSettings();
}

int32_t CTransferCtrl::DatabaseCheck() {
    catalogKind_ = 0;
    if (database_.CheckRegistry == 0) return 0;
    if (!CheckLocal()) {
        ShowMessage(kMsgCatalogNeedsLocal, kIconInformation);
        return 0;
    }
    const std::string program = afterLastSeparator(database_.DataBaseSoft);
    for (int32_t i = 0; i < 3; ++i) {
        const std::string name = host_->LangText(kCatalogNames[i]);
        if (!name.empty() && equalsNoCase(program, name)) {
            catalogKind_ = i + 1;
            break;
        }
    }
    // A catalog program we do not know would stop the run after the first picture.
    if (catalogKind_ == 0) {
        ShowMessage(kMsgUnknownCatalog, kIconExclamation);
        return TransResult_Failed;
    }
    if (catalogKind_ == 1 && !database_.Catalogfile.empty() &&
        (!plat::fileExists(database_.Catalogfile) || plat::folderExists(database_.Catalogfile))) {
        ShowMessage(kMsgNoCatalogFile, kIconExclamation);
        return TransResult_Failed;
    }
    // The catalog is opened before anything is copied: a setting it refuses
    // (no catalog file, a program that is gone) is told once, with the catalog's
    // own message, instead of after the first picture of every transfer.
    catalog_ = host_->MakeCatalogLink();
    const std::string target = catalogKind_ == 1 ? database_.Catalogfile : destBase_;
    const int32_t code = catalog_ ? catalog_->OpenDatabase(database_.DataBaseSoft, target) : kNamingNoFreeName;
    if (code != 0) {
        ShowMessage(catalog_ ? catalog_->ResultToMessageId(code) : kMsgFailed, kIconExclamation);
        catalog_.reset();
        return TransResult_Failed;
    }
    catalogOpen_ = true;
    return 0;
}

int32_t CTransferCtrl::GetFileList() {
    CTransFileList builder(access_);
    const int32_t r = builder.Build(mode_, selectTransfer_, transfer_.SaveImage, &selection_, &list_, &totalSize_,
                                    &largestSize_);
    if (r != 0) return ErrorIFManager(r == JqIfMngResult_NotFound ? JqIfMngResult_Failed : r, 0);
    return 0;
}

// The picture's quality and file-type value, read from its thumbnail file; -1 when unknown.
int32_t CTransferCtrl::ThumbMaker80004(const TransFileRecord& rec) const {
    std::string path;
    if (access_->Ifl_GetThumbFilePath(rec.sourceFolder, rec.fileName, &path) != 0) return -1;
    int32_t r = 0;
    std::unique_ptr<CJqFileLib> lib = CImageFileIf::OpenImageFile(path, &r);
    if (!lib) return -1;
    ShotInfo info;
    const bool read = lib->BuildShotInfo(&info, -1) == 1;
    lib->CloseFile();
    lib->Terminate();
    return read ? info.maker80004 : -1;
}

bool CTransferCtrl::WebAccepts(const TransFileRecord& rec) const {
    const std::string& name = rec.fileName;
    if (HasExtension(name, ".MOV")) return false;
    if (HasExtension(name, ".RWQ")) return imageSize_ != 0;
    if (HasExtension(name, ".TIF")) return imageSize_ != 0 || ThumbMaker80004(rec) == 17;
    return true;
}

int32_t CTransferCtrl::WebTransFileCheck() {
    if (!CheckWeb()) return 0;
    std::vector<size_t> refused;
    for (size_t i = 0; i < list_->size(); ++i)
        if (!WebAccepts(*(*list_)[i])) refused.push_back(i);
    if (refused.empty()) return 0;
    if (!CheckLocal() && refused.size() == list_->size()) {
        ShowMessage(kMsgNoneForWeb, kIconExclamation);
        return TransResult_Failed;
    }
    if (ShowMessage(kMsgSomeNotForWeb, kIconExclamation, true) != plat::kAnswerOk) return TransResult_Stopped;
    if (!CheckLocal())
        for (auto it = refused.rbegin(); it != refused.rend(); ++it) list_->erase(list_->begin() + *it);
    return 0;
}

int32_t CTransferCtrl::DriveCheck() {
    if (CheckLocal()) {
        std::string dosPath;
        char letter = 0;
        std::string rest;
        if (!plat::drivePathOf(destBase_, &dosPath).ok() || !plat::splitDrivePath(dosPath, &letter, &rest).ok()) {
            ShowMessage(kMsgFailed, kIconExclamation);
            return TransResult_Failed;
        }
        const plat::DriveType type = plat::DriveMap().driveType(letter);
        if (type == plat::DriveType::Unknown || type == plat::DriveType::NoRootDir) {
            ShowMessage(kMsgFailed, kIconExclamation);
            return TransResult_Failed;
        }
        if (type == plat::DriveType::CdRom) {
            ShowMessage(kMsgCdRom, kIconStop);
            return TransResult_Failed;
        }
    }
    if (!SpaceCheck({tempFolder_, destBase_, CheckLocal(), CheckWeb(), largestSize_, totalSize_})) {
        ShowMessage(kMsgNoSpace, kIconExclamation);
        return TransResult_Failed;
    }
    return 0;
}

int32_t CTransferCtrl::MakeFolder() {
    CTransNaming naming;
    TransferSettings base = transfer_;
    base.TransferFile = destBase_;
    std::string folder;
    if (naming.MakeDestinationFolderName(&folder, base) != 0) {
        ShowMessage(kMsgFailed, kIconExclamation);
        return TransResult_Failed;
    }
    const std::string namePart = "/" + afterLastSeparator(folder);
    destFolder_ = folder;
    if (CheckLocal() && catalogKind_ != 3) {
        const plat::FsResult r = plat::createFolder(destFolder_);
        if (!r.ok()) {
            const bool protectedMedium =
                r.code == plat::FsError::WriteProtected || r.code == plat::FsError::AccessDenied;
            const std::string first = list_->empty() ? std::string() : list_->front()->fileName;
            ShowMessage(protectedMedium ? kMsgWriteProtected : kMsgFailed, protectedMedium ? kIconStop : kIconExclamation,
                        false, first);
            return TransResult_Failed;
        }
        destMade_ = true;
    } else if (CheckLocal()) {
        destFolder_ = destBase_;   // this catalog takes the pictures in the base folder itself
    }
    if (CheckWeb()) {
        webFolder_ = webRoot_ + namePart;
        if (!plat::createFolder(webFolder_).ok()) {
            ShowMessage(kMsgFailed, kIconExclamation);
            if (destMade_) plat::removeEmptyFolder(destFolder_), destMade_ = false;
            return TransResult_Failed;
        }
        webMade_ = true;
        if (!CheckLocal()) destFolder_ = webFolder_;
    }
    workFolder_ = tempFolder_ + namePart;
    if (!plat::createFolder(workFolder_).ok()) {
        ShowMessage(kMsgFailed, kIconExclamation);
        if (destMade_) plat::removeEmptyFolder(destFolder_), destMade_ = false;
        if (webMade_) plat::removeEmptyFolder(webFolder_), webMade_ = false;
        return TransResult_Failed;
    }
    workMade_ = true;
    return 0;
}

int32_t CTransferCtrl::PictureLoop() {
    // A card's files can be read side by side; a camera answers one request at a time.
    if (access_->Kind() == CImageFileIf::kCard && list_->size() > 1) {
        const unsigned threads = PreviewsAhead::ThreadsBeside(std::thread::hardware_concurrency());
        // Four pictures a reader ahead: where previews are made from the
        // pictures, some take far longer than their neighbours, and the readers
        // keep busy with the pictures after them. A much wider window slows a
        // card of camera files, whose readers mostly copy.
        const size_t window = 4 * threads;
        previews_ = std::make_unique<PreviewsAhead>(
            list_->size(),
            [this](size_t i, std::unique_ptr<PictureRecord>& record, const plat::Event* abort) {
                return ReadAhead(*(*list_)[i], record, abort);
            },
            threads, window,
            [this](size_t i, std::unique_ptr<PictureRecord>& record) {
                // a temporary copy made ahead for a picture the run never reached
                if (record->thumbValue == 2) plat::removeFile(TempCopyPath(*(*list_)[i]));
            });
    }
    const int32_t result = EachPicture();
    previews_.reset();
    // Whatever ended the loop, the local copies under way stand under their names first.
    const int32_t settled = SettleLocalCopy();
    return settled != 0 ? settled : result;
}

int32_t CTransferCtrl::EachPicture() {
    int32_t result = 0;
    for (size_t i = 0; i < list_->size(); ++i) {
        if (Cancelled()) return TransResult_Stopped;
        result = OnePicture(i);
        AfterPicture();
        if (result == TransResult_Skipped) {
            ++skipped_;
            continue;
        }
        if (result != 0) return result;
    }
    // A picture left out anywhere in the run keeps the run from reading as clean.
    return skipped_ > 0 ? TransResult_Skipped : result;
}

void CTransferCtrl::AfterPicture() {
    if (!currentName_.empty()) {
        const std::string work = WorkCopyPath();
        plat::changeDosAttributes(work, 0, plat::FileAttr::ReadOnly | plat::FileAttr::Hidden | plat::FileAttr::System);
        plat::removeFile(work);
    }
    // The temporary copy goes too, so the temp drive never holds more than one picture.
    if (!tempCopy_.empty()) plat::removeFile(tempCopy_);
    tempCopy_.clear();
    sourceForCopy_.clear();
}

int32_t CTransferCtrl::SkipUnreadable(const TransFileRecord& rec) {
    ReportName(rec);
    leftOut_.unreadable.push_back(pictureName(rec));
    return TransResult_Skipped;
}

void CTransferCtrl::ShowNamedMessage(uint32_t id, const std::vector<std::string>& names) {
    std::string text = host_->LangText(id);
    if (text.empty()) text = std::to_string(id);
    text += "\n";
    for (size_t i = 0; i < names.size() && i < kNamesShown; ++i) text += "\n" + names[i];
    if (names.size() > kNamesShown) text += "\n... (+" + std::to_string(names.size() - kNamesShown) + ")";
    plat::MessageBoxRequest request;
    request.owner = owner_;
    request.text = text;
    request.icon = plat::MessageIcon::Exclamation;
    request.buttons = plat::MessageButtons::Ok;
    plat::showMessageBox(request);
}

// Before a user formats the card, they must know which pictures did not come
// over whole.
void CTransferCtrl::ReportLeftOut() {
    if (!leftOut_.unreadable.empty())
        ShowNamedMessage(transfer_.Thumbnail ? kMsgThumbFailed : kMsgPictureFailed, leftOut_.unreadable);
    if (!leftOut_.unprocessed.empty()) ShowNamedMessage(kMsgNotProcessed, leftOut_.unprocessed);
    if (!leftOut_.withoutCaption.empty()) ShowNamedMessage(kMsgNoCaption, leftOut_.withoutCaption);
}

int32_t CTransferCtrl::CloseDatabaseAtEnd(int32_t result) {
    if (!catalogOpen_ || !catalog_) return result;
    catalogOpen_ = false;
    if (result != 0 && result != 2) return result;
    const int32_t code = catalog_->CloseDatabase();
    if (code != 0) ShowMessage(catalog_->ResultToMessageId(code), kIconExclamation);
    catalog_.reset();
    // Showing the catalog application is not part of the copy: its failure changes nothing.
    return result;
}

int32_t CTransferCtrl::JqWebUpload() {
    if (webList_.empty()) {
        if (webMade_) plat::deleteTree(webFolder_), webMade_ = false;
        return 0;
    }
    int32_t code = JqIfMngResult_Failed;
    std::vector<std::string> notQueued;
    const bool started = host_->UploadFiles(webList_, &code, &notQueued);
    webList_.clear();
    if (!started) {
        if (webMade_) plat::deleteTree(webFolder_), webMade_ = false;
        return ErrorIFManager(code, 0);
    }
    webMade_ = false;   // the folder now belongs to the upload program
    if (!notQueued.empty()) {
        // Some copies were refused by the server: they will never be uploaded.
        for (const auto& p : notQueued) plat::removeFile(p);
        ShowMessage(kMsgFailed, kIconExclamation);
        return TransResult_Failed;
    }
    return 0;
}

void CTransferCtrl::Finish(int32_t result) {
    // Only folders this run made are ever removed.
    if (workMade_) plat::deleteTree(workFolder_), workMade_ = false;
    if (CheckLocal() && destMade_) removeIfEmpty(destFolder_);
    if (CheckWeb() && webMade_) {
        if (result == 0 || result == 2) removeIfEmpty(webFolder_);
        else plat::deleteTree(webFolder_);
    }
}

int32_t CTransferCtrl::ErrorIFManager(int32_t code, uint32_t messageId) {
    if (code == 0) return 0;
    uint32_t id = 0;
    if (code > 0 && code < 100) {
        if (messageId != 0) id = messageId;
        else if (code == 1 || code == 2) id = 61600;
        else if (code >= 5 && code <= 7) id = 61605;
        else id = kMsgFailed;
    } else {
        const int32_t m = GetErrorStringID(code, 1);
        id = m == 0 ? 0 : (m < 61600 ? kMsgFailed : static_cast<uint32_t>(m));
    }
    if (id == 0) return 0;
    switch (code) {
    case JqIfMngResult_ConnectionLost:
    case JqIfMngResult_NoAnswer:
    case JqIfMngResult_StatusNoPower:
    case JqIfMngResult_StatusNoCard:
    case JqIfMngResult_StatusNotOurs:
        ShowMessage(id, kIconExclamation);
        plat::postMessage(host_->MainFrame(), UM_CLOSE_TARGET, 0, 0);
        return TransResult_SourceGone;
    case JqIfMngResult_NotFound:
        return ShowMessage(id, kIconExclamation, true) == plat::kAnswerOk ? TransResult_Skipped : TransResult_Stopped;
    case 9:
        ShowMessage(id, kIconExclamation);
        return TransResult_Skipped;
    default:
        ShowMessage(id, kIconExclamation);
        return TransResult_Failed;
    }
}

// ---------------------------------------------------------------- one picture

std::string CTransferCtrl::TempCopyFolder(const TransFileRecord& rec) const {
    return tempFolder_ + "/" + SafeNameComponent(rec.sourceFolder);
}

std::string CTransferCtrl::TempCopyPath(const TransFileRecord& rec) const {
    return TempCopyFolder(rec) + "/" + SafeNameComponent(rec.fileName);
}

std::string CTransferCtrl::WorkCopyPath() const { return workFolder_ + "/" + SafeNameComponent(currentName_); }

void CTransferCtrl::ReportName(const TransFileRecord& rec) {
    TransferFileReport report;
    report.remaining = static_cast<int32_t>(list_->size());
    for (size_t i = 0; i < list_->size(); ++i)
        if ((*list_)[i].get() == &rec) report.remaining = static_cast<int32_t>(list_->size() - i);
    report.path = rec.fileName;
    plat::sendMessage(owner_, UM_TRANSFER_FILE, 0, reinterpret_cast<plat::LParam>(&report));
}

// The bar stands where the previous weighted step ended; the step about to run
// (with the unweighted steps after it) may move it by `weight`.
void CTransferCtrl::StepProgress(int32_t weight) {
    progress_.position += progress_.weight;
    plat::sendMessage(owner_, UM_TRANSFER_PROGRESS, static_cast<plat::WParam>(progress_.position), 0);
    progress_.shown = progress_.position;
    progress_.weight = weight;
}

int32_t CTransferCtrl::OnePicture(size_t index) {
    const TransFileRecord& rec = *(*list_)[index];
    currentName_ = rec.fileName;
    currentFolder_ = rec.sourceFolder;
    newName_.clear();
    progress_ = Progress{0, 0, -1, owner_};

    if (const int32_t r = ExistenceCheck(rec); r != 0) return r;
    if (const int32_t r = SizeCheck(rec); r != 0) return r;
    if (const int32_t r = GetIndicateDataInfo(rec, index); r != 0) return r;
    if (Cancelled()) {
        picture_.reset();
        return TransResult_Stopped;
    }
    TransferFileReport report;
    report.remaining = static_cast<int32_t>(list_->size() - index);
    report.path = WorkCopyPath();
    report.thumbnailSetting = static_cast<int32_t>(transfer_.Thumbnail);
    report.across = picture_->tilesAcross;
    report.down = picture_->tilesDown;
    report.thumbnail = std::move(picture_->blocks);
    picture_->blocks.clear();
    picture_->tilesAcross = picture_->tilesDown = 0;
    plat::sendMessage(owner_, UM_TRANSFER_FILE, 0, reinterpret_cast<plat::LParam>(&report));

    struct Step {
        int32_t weight;
        int32_t (CTransferCtrl::*run)(const TransFileRecord&);
    };
    const Step steps[] = {
        {30, &CTransferCtrl::ExifFileCheck},  {0, &CTransferCtrl::CpyTmpFromCamera},
        {20, &CTransferCtrl::MakeFileData},   {0, &CTransferCtrl::MakeNewFileName},
        {20, &CTransferCtrl::LocalCopy},      {20, &CTransferCtrl::WebCopy},
    };
    for (const Step& s : steps) {
        if (s.weight) StepProgress(s.weight);
        if (const int32_t r = (this->*s.run)(rec); r != 0) return r;
    }
    StepProgress(10);
    if (const int32_t r = DatabaseCopy(); r != 0) return r;
    progress_.position = 100;
    plat::sendMessage(owner_, UM_TRANSFER_PROGRESS, 100, 0);
    return 0;
}

int32_t CTransferCtrl::ExistenceCheck(const TransFileRecord& rec) {
    const int32_t found = access_->If_IsExistFile(rec.sourceFolder, rec.fileName);
    if (found > 0) return 0;
    ReportName(rec);
    if (found < 0) return ErrorIFManager(found, 0);
    if (host_->IsClosingTarget()) return TransResult_SourceGone;
    const int answer = ShowMessage(kMsgMissingPicture, kIconExclamation, true);
    if (access_->Kind() == CImageFileIf::kCard) {
        const int32_t status = host_->TargetStatus();
        if (host_->IsClosingTarget()) return TransResult_SourceGone;
        if (status != 0) return ErrorIFManager(status, 0);
    }
    return answer == plat::kAnswerOk ? TransResult_Skipped : TransResult_Stopped;
}

int32_t CTransferCtrl::SizeCheck(const TransFileRecord& rec) {
    if (SpaceCheck({tempFolder_, destBase_, CheckLocal(), CheckWeb(), rec.size, rec.size})) return 0;
    ReportName(rec);
    ShowMessage(kMsgNoSpace, kIconExclamation);
    return TransResult_Failed;
}

// A picture's preview (thumbnail and shooting information) as the panel shows it.
int32_t CTransferCtrl::ReadPreview(const TransFileRecord& rec, std::unique_ptr<PictureRecord>& record,
                                   const plat::Event* abort) const {
    return access_->If_GetThumbAndCaption(rec.sourceFolder, rec.fileName, record, kThumbWidth, kThumbHeight,
                                          RotationToOrientation(rec.rotation), abort, buildThumbFromPicture_);
}

// A card picture's preview read ahead, with its temporary copy made beside it
// on the reader's core; the reader then reports 2 (a fresh whole local copy),
// which spares the worker that copy. Where the copy cannot be made ahead the
// worker makes it, and meets any failure, in its own turn.
int32_t CTransferCtrl::ReadAhead(const TransFileRecord& rec, std::unique_ptr<PictureRecord>& record,
                                 const plat::Event* abort) const {
    const int32_t r = ReadPreview(rec, record, abort);
    if (r == 0 && record && record->thumbValue == 0 && CopyToTempAhead(rec, abort)) record->thumbValue = 2;
    return r;
}

bool CTransferCtrl::CopyToTempAhead(const TransFileRecord& rec, const plat::Event* abort) const {
    // Copies made ahead stand in the temp folder until their pictures come: each
    // leaves room for the worker's own largest copies on that drive.
    if (!HasFreeSpace(tempFolder_, rec.size + 2 * largestSize_)) return false;
    const std::string temp = TempCopyPath(rec);
    if (!plat::createFolders(TempCopyFolder(rec)).ok()) return false;
    const CopyProgressProc stopWhenAborted = [](uint64_t, uint64_t, void* reference) -> int32_t {
        return plat::isSignalled(static_cast<const plat::Event*>(reference)) ? 1 : 0;
    };
    const int32_t r = access_->If_CopyImageFile(rec.sourceFolder, rec.fileName, temp, true, stopWhenAborted,
                                                const_cast<plat::Event*>(abort));
    if (r == 0) return true;
    plat::removeFile(temp);
    return false;
}

int32_t CTransferCtrl::GetIndicateDataInfo(const TransFileRecord& rec, size_t index) {
    picture_.reset();
    // The preview follows the user's thumbnail setting: a camera's own thumbnail
    // serves unless thumbnails are to be made from the pictures.
    int32_t code = 0;
    if (!previews_ || !previews_->take(index, &picture_)) code = ReadPreview(rec, picture_, nullptr);
    // A picture the thumbnail reader cannot show (a movie) goes on without one.
    if (code == JqIfMngResult_StatusCannotShow && picture_) {
        FreeBitmapArray(*picture_);
        code = 0;
    }
    if (code == 0 && !picture_) code = 8;
    if (code != 0 && code != JqIfMngResult_NotFound && pictureUnreadable(code)) {
        picture_.reset();
        return SkipUnreadable(rec);
    }
    if (code != 0) {
        picture_.reset();
        ReportName(rec);
        const bool library = code > 0 && code < 100;
        return ErrorIFManager(code, library ? 0 : (transfer_.Thumbnail ? kMsgThumbFailed : kMsgPictureFailed));
    }
    if (picture_->blocks.empty() && transfer_.Thumbnail) plat::writeFileAtomic(WorkCopyPath(), std::string());
    picture_->protect = rec.readOnly;
    picture_->hidden = rec.hidden;
    // The caption built from this record tells the picture's size.
    picture_->size = static_cast<uint32_t>(std::min<uint64_t>(rec.size, UINT32_MAX));
    return 0;
}

int32_t CTransferCtrl::ExifFileCheck(const TransFileRecord& rec) {
    if (!HasExtension(rec.fileName, ".JPG") || imageSize_ == 0 || picture_->exif != 0 || jpegAnswer_) return 0;
    switch (host_->AskNoExifQuestion(owner_)) {
    case kNoExifGoOn: return 0;
    case kNoExifGoOnAll: jpegAnswer_ = true; return 0;
    case kNoExifSkip: return TransResult_Skipped;
    default: return TransResult_Stopped;
    }
}

int32_t CTransferCtrl::CpyTmpFromCamera(const TransFileRecord& rec) {
    const std::string temp = TempCopyPath(rec);
    // The thumbnail reader may have left a whole local copy already; use it only when it is there.
    if (picture_->thumbValue == 2 && plat::fileExists(temp)) {
        sourceForCopy_ = tempCopy_ = temp;
        return 0;
    }
    if (!plat::createFolders(TempCopyFolder(rec)).ok()) {
        ReportName(rec);
        ShowMessage(kMsgFailed, kIconExclamation);
        return TransResult_Failed;
    }
    plat::removeFile(temp);  // never take a stale copy of another card's picture
    Progress copy{progress_.position, progress_.weight, progress_.shown, owner_};
    const int32_t r = access_->If_CopyImageFile(rec.sourceFolder, rec.fileName, temp, true, copyProgress, &copy);
    progress_.shown = copy.shown;
    if (r != 0) {
        plat::removeFile(temp);
        if (pictureUnreadable(r)) return SkipUnreadable(rec);
        ReportName(rec);
        return ErrorIFManager(r, 0);
    }
    sourceForCopy_ = tempCopy_ = temp;
    return 0;
}

bool CTransferCtrl::NeedsWorkCopy(const TransFileRecord& rec) const {
    if (HasExtension(rec.fileName, ".MOV")) return false;
    if (HasExtension(rec.fileName, ".JPG") && picture_->exif == 0) return false;
    if (imageSize_ != 0 || rec.rotation != 0) return true;
    // Raw pictures are never rewritten just to carry a caption.
    if (HasExtension(rec.fileName, ".RWQ")) return false;
    if (fileInfo_.CaptionCopy) return true;
    for (size_t i = 0; i < 10; ++i)
        if (fileInfo_.Check[i] && !fileInfo_.Keyword[i].empty()) return true;
    return false;
}

int32_t CTransferCtrl::MakeFileData(const TransFileRecord& rec) {
    if (!NeedsWorkCopy(rec)) return 0;
    ProcessRequest request;
    request.source = sourceForCopy_;
    request.workFolder = workFolder_;
    request.name = SafeNameComponent(rec.fileName);
    request.quarterTurns = rec.rotation;
    request.imageSize = imageSize_;
    request.maker80004 = picture_->shotInfo ? picture_->shotInfo->maker80004 : -1;
    request.writeCaption = fileInfo_.CaptionCopy != 0;
    if (request.writeCaption) request.caption = host_->CaptionText(*picture_);
    for (size_t i = 0; i < 10; ++i)
        if (fileInfo_.Check[i] && !fileInfo_.Keyword[i].empty()) request.keywords.push_back(fileInfo_.Keyword[i]);
    request.readOnly = rec.readOnly;
    request.hidden = rec.hidden;
    Progress save{progress_.position, progress_.weight, progress_.shown, owner_};
    request.progress = copyProgress;
    request.reference = &save;
    const ProcessOutcome out = ProcessPicture(request);
    progress_.shown = save.shown;
    if (out.kind == ProcessOutcome::kSkip) {
        leftOut_.unprocessed.push_back(pictureName(rec));
        return TransResult_Skipped;
    }
    if (out.kind == ProcessOutcome::kLibraryError) {
        // The picture read for its thumbnail but not whole (a cut-off file).
        if (out.code == JQFL_READ_ERROR || out.code == JQFL_CORRUPT || out.code == JQFL_UNSUPPORTED ||
            out.code == JQFL_CANNOT_OPEN)
            return SkipUnreadable(rec);
        return ErrorIFManager(out.code, 0);
    }
    if ((request.writeCaption || !request.keywords.empty()) && !out.captionWritten)
        leftOut_.withoutCaption.push_back(pictureName(rec));
    currentName_ = request.name;
    sourceForCopy_ = out.workCopy;
    return 0;
}

int32_t CTransferCtrl::MakeNewFileName(const TransFileRecord& rec) {
    TransDate date;
    const ShotInfo* info = picture_->shotInfo.get();
    if (info && info->dateTime && info->dateTime->year > 0) {
        const JqCalendar& c = *info->dateTime;
        date = {c.year, c.month, c.day, c.hour, c.minute, c.second};
    } else {
        const std::time_t t = static_cast<std::time_t>(rec.time);
        std::tm local{};
        localtime_r(&t, &local);
        date = {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                static_cast<double>(local.tm_sec)};
    }
    const std::string folder = (!CheckLocal() && CheckWeb()) ? webFolder_ : destFolder_;
    TransferSettings t = settings_->GetTransferSettings();
    CTransNaming naming;
    std::string path;
    // The source path with the name as it now stands (a converted picture is a JPEG).
    // Earlier pictures may still be on their way to their names: those names are taken.
    std::function<bool(const std::string&)> coming;
    if (folder == destFolder_) coming = [this](const std::string& name) { return localCommits_.underWay(name); };
    const int32_t r = naming.MakeNewName(&path, rec.sourceFolder + "/" + currentName_, folder, t, date, coming);
    settings_->SetTransferSettings(t);
    if (r != 0) {
        ShowMessage(kMsgFailed, kIconExclamation);
        return TransResult_Failed;
    }
    newName_ = afterLastSeparator(path);
    return 0;
}

int32_t CTransferCtrl::CopyRoutine(const std::string& folder, const TransFileRecord& rec, std::string* target,
                                   bool commitBehind) {
    (void)rec;
    *target = folder + "/" + newName_;
    const int64_t size = plat::fileSize64(sourceForCopy_);
    if (size < 0) {
        ShowMessage(kMsgFailed, kIconExclamation);
        return TransResult_Failed;
    }
    if (!HasFreeSpace(folder, static_cast<uint64_t>(size))) {
        ShowMessage(kMsgNoSpace, kIconExclamation);
        return TransResult_Failed;
    }
    // Through a temporary name, checked and synced: never a partial file under the final name.
    plat::FsResult r;
    if (commitBehind) {
        // The copy is written, synced and named behind, in its turn; its source
        // is held open, for the picture's temporary and work copies go before
        // then. An earlier picture's copy that has failed fails the run here,
        // and this one is never made. One that fails later still has every copy
        // behind it dropped unnamed, and the run fails when the copies are
        // settled.
        plat::SourceFile source;
        r = plat::SourceFile::open(sourceForCopy_, &source);
        if (r.ok()) {
            if (localCommits_.failed()) return SettleLocalCopy();
            auto held = std::make_shared<plat::SourceFile>(std::move(source));
            localCommits_.start(
                [held, to = *target](plat::WrittenCopy* out) {
                    return plat::copyFileWritten(*held, to, {}, plat::kCopyChunk, false, out);
                },
                newName_);
        }
    } else {
        Progress copy{progress_.position, progress_.weight, progress_.shown, owner_};
        const plat::CopyProgress step = [&copy](uint64_t done, uint64_t total) {
            copyProgress(done, total, &copy);
            return true;
        };
        r = plat::copyFileChunked(sourceForCopy_, *target, step, plat::kCopyChunk, false);
        progress_.shown = copy.shown;
    }
    if (!r.ok()) {
        ReportCopyFailure(r, newName_);
        return TransResult_Failed;
    }
    return 0;
}

void CTransferCtrl::ReportCopyFailure(const plat::FsResult& r, const std::string& name) {
    if (r.code == plat::FsError::NoSpace) ShowMessage(kMsgNoSpace, kIconExclamation);
    else if (r.code == plat::FsError::WriteProtected) ShowMessage(kMsgWriteProtected, kIconStop, false, name);
    else ShowMessage(kMsgFailed, kIconExclamation);
}

// Waits for the local copies still being synced and named; a failure fails the
// run as it would have when the copy was made, naming that copy.
int32_t CTransferCtrl::SettleLocalCopy() {
    const plat::CommitBehind::Outcome o = localCommits_.wait();
    if (o) return 0;
    ReportCopyFailure(o.result, o.label);
    return TransResult_Failed;
}

int32_t CTransferCtrl::LocalCopy(const TransFileRecord& rec) {
    if (!CheckLocal()) return 0;
    std::string target;
    return CopyRoutine(destFolder_, rec, &target, true);
}

int32_t CTransferCtrl::WebCopy(const TransFileRecord& rec) {
    if (!CheckWeb()) return 0;
    if (HasExtension(newName_, ".RWQ") || HasExtension(newName_, ".MOV")) return 0;
    if (HasExtension(newName_, ".TIF") && !(picture_->shotInfo && picture_->shotInfo->maker80004 == 17)) return 0;
    std::string target;
    const int32_t r = CopyRoutine(webFolder_, rec, &target);
    if (r != 0) return r;
    plat::changeDosAttributes(target, 0, plat::FileAttr::ReadOnly | plat::FileAttr::Hidden | plat::FileAttr::System);
    webList_.push_back(target);
    return 0;
}

int32_t CTransferCtrl::DatabaseCopy() {
    if (!CheckLocal() || database_.CheckRegistry == 0) return 0;
    // The catalog reads the copy under its name.
    if (const int32_t r = SettleLocalCopy(); r != 0) return r;
    // The run's check opened the catalog; a link lost since then is a failure.
    if (catalogKind_ == 0 || !catalogOpen_ || !catalog_) {
        ShowMessage(kMsgFailed, kIconExclamation);
        catalogOpen_ = false;
        return TransResult_Failed;
    }
    const int32_t code = catalogKind_ == 1 ? catalog_->CatalogAsset(destFolder_ + "/" + newName_) : 0;
    if (code == 0) return 0;
    // The catalog's own message, read while the link is still there.
    ShowMessage(catalog_->ResultToMessageId(code), kIconExclamation);
    catalogOpen_ = false;
    catalog_.reset();
    return TransResult_Failed;
}
