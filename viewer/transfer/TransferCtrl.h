#pragma once
// CTransferCtrl: the thread that carries out one transfer. It lists the pictures
// to take from the current source, checks the destination, makes a dated folder,
// and for each picture fetches it, makes its processed work copy when the
// settings ask for one, names it, copies it to the destination and the web-upload
// folder and registers it with the catalog; at the end it hands the web copies to
// the upload server and removes what it made and no longer needs. It reports to
// the progress dialog that started it only through window messages.
#include "platform/fs/CommitBehind.h"
#include "platform/msg/WindowHandle.h"
#include "platform/thread/Event.h"
#include "platform/thread/WorkerThread.h"
#include "viewer/shell/settings/ViewSettings.h"
#include "viewer/sources/PictureRecords.h"
#include "viewer/transfer/PreviewsAhead.h"
#include "viewer/transfer/TransFileList.h"
#include "viewer/transfer/TransNaming.h"
#include "viewer/transfer/TransTypes.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CImageFileIf;

// The catalog application's client, as the transfer uses it.
class TransferCatalog {
public:
    virtual ~TransferCatalog() = default;
    virtual int32_t OpenDatabase(const std::string& application, const std::string& target) = 0;
    virtual int32_t CatalogAsset(const std::string& picturePath) = 0;
    virtual int32_t CloseDatabase() = 0;
    virtual uint32_t ResultToMessageId(int32_t code) = 0;
};

// What the worker takes from the application and the main frame.
class TransferHost {
public:
    virtual ~TransferHost() = default;
    virtual CViewSettings* Settings() = 0;
    virtual CImageFileIf* PictureAccess() = 0;
    virtual std::string TempFolder() = 0;
    virtual std::string ImagesFolder() = 0;
    virtual std::string WebUploadFolder() = 0;
    virtual bool WebUploadAvailable() = 0;
    virtual plat::WindowHandle MainFrame() = 0;
    // The main frame has put up its message that closes the source.
    virtual bool IsClosingTarget() = 0;
    // The drive source's state (its periodic check); 0 when the card is fine.
    virtual int32_t TargetStatus() = 0;
    // The four-choice question about JPEG files without Exif data: 1170-1173.
    virtual int AskNoExifQuestion(plat::WindowHandle owner) = 0;
    // Hands the web copies to the upload server (false: not started, *result why;
    // *notQueued the copies that are not part of a started upload). By default
    // through the upload client to the system's upload server.
    virtual bool UploadFiles(const std::vector<std::string>& paths, int32_t* result,
                             std::vector<std::string>* notQueued);
    // A new catalog client, or null when none is available.
    virtual std::unique_ptr<TransferCatalog> MakeCatalogLink() = 0;
    // A language text (messages, the catalog programs' names); by default from
    // the language library.
    virtual std::string LangText(uint32_t id);
    // The shooting-information text written as a picture's caption.
    virtual std::string CaptionText(const PictureRecord& record) = 0;
};

// What UM_TRANSFER_FILE points to, valid during the send. The thumbnail's
// ownership passes to the dialog: it moves the grid out.
struct TransferFileReport {
    int32_t remaining = 0;        // pictures left including this one
    std::string path;             // work folder + "/" + name, or the name alone
    std::vector<BitmapRecord> thumbnail;
    int32_t thumbnailSetting = 0; // the Transfer Thumbnail setting
    uint32_t across = 0;          // grid columns
    uint32_t down = 0;            // grid rows
};

class CTransferCtrl : public plat::WorkerThread {
public:
    enum Mode : int32_t { kPanel = 0, kSelection = 1, kCameraRequest = 2 };

    CTransferCtrl(plat::WindowHandle ownerDialog, TransferHost* host);
    ~CTransferCtrl() override;

    // Set by the dialog before it resumes the thread.
    void SetMode(int32_t mode) { mode_ = mode; }
    void SetSelection(const TransSelection& selection) { selection_ = selection; }
    // Set by the dialog's Cancel button and its close.
    void Cancel() { cancel_.set(); }

    // The whole run; the run's TransResult.
    int32_t InitInstance();

    // Pictures skipped or refused during the run (the dialog can tell the user).
    int32_t SkippedCount() const { return skipped_; }

    // What the run left out or changed, named to the user when it ends.
    struct LeftOut {
        std::vector<std::string> unreadable;      // could not be read: not transferred
        std::vector<std::string> unprocessed;     // could not be turned or scaled: not transferred
        std::vector<std::string> withoutCaption;  // transferred without their caption
    };
    const LeftOut& LeftOutPictures() const { return leftOut_; }

    // The copy progress of a step: where the bar stands and what this step adds.
    struct Progress {
        int32_t position = 0;
        int32_t weight = 0;
        int32_t shown = -1;
        plat::WindowHandle owner;
    };
    static int32_t ProgressPosition(uint64_t done, uint64_t total, int32_t position, int32_t weight);

protected:
    uint32_t run() override { return static_cast<uint32_t>(InitInstance()); }

private:
    friend struct TransferPictureSteps;

    // The run's steps, in order.
    int32_t Run();
    int32_t WebFolderCleanUp();
    int32_t TransFolderCheck();
    int32_t DatabaseCheck();
    int32_t GetFileList();
    int32_t WebTransFileCheck();
    int32_t DriveCheck();
    int32_t MakeFolder();
    int32_t PictureLoop();
    int32_t EachPicture();
    int32_t CloseDatabaseAtEnd(int32_t result);
    int32_t JqWebUpload();
    void Finish(int32_t result);
    void ResetDestination();

    // One picture and its steps.
    int32_t OnePicture(size_t index);
    int32_t ExistenceCheck(const TransFileRecord& rec);
    int32_t SizeCheck(const TransFileRecord& rec);
    int32_t GetIndicateDataInfo(const TransFileRecord& rec, size_t index);
    int32_t ReadPreview(const TransFileRecord& rec, std::unique_ptr<PictureRecord>& record,
                        const plat::Event* abort) const;
    int32_t ReadAhead(const TransFileRecord& rec, std::unique_ptr<PictureRecord>& record,
                      const plat::Event* abort) const;
    bool CopyToTempAhead(const TransFileRecord& rec, const plat::Event* abort) const;
    int32_t ExifFileCheck(const TransFileRecord& rec);
    int32_t CpyTmpFromCamera(const TransFileRecord& rec);
    int32_t MakeFileData(const TransFileRecord& rec);
    int32_t MakeNewFileName(const TransFileRecord& rec);
    int32_t LocalCopy(const TransFileRecord& rec);
    int32_t WebCopy(const TransFileRecord& rec);
    int32_t DatabaseCopy();
    int32_t CopyRoutine(const std::string& folder, const TransFileRecord& rec, std::string* target,
                        bool commitBehind = false);
    int32_t SettleLocalCopy();
    void ReportCopyFailure(const plat::FsResult& r, const std::string& name);
    void AfterPicture();
    int32_t SkipUnreadable(const TransFileRecord& rec);
    void ReportLeftOut();
    void ShowNamedMessage(uint32_t id, const std::vector<std::string>& names);

    // Helpers.
    bool NeedsWorkCopy(const TransFileRecord& rec) const;
    bool WebAccepts(const TransFileRecord& rec) const;
    int32_t ThumbMaker80004(const TransFileRecord& rec) const;
    std::string TempCopyFolder(const TransFileRecord& rec) const;
    std::string TempCopyPath(const TransFileRecord& rec) const;
    std::string WorkCopyPath() const;
    int32_t ErrorIFManager(int32_t code, uint32_t messageId);
    int ShowMessage(uint32_t id, int icon, bool okCancel = false, const std::string& arg = {});
    void ReportName(const TransFileRecord& rec);
    void StepProgress(int32_t weight);
    bool Cancelled() const;
    bool CheckLocal() const { return checkLocal_; }
    bool CheckWeb() const { return checkWeb_; }

    plat::WindowHandle owner_;
    TransferHost* host_;
    CViewSettings* settings_;
    CImageFileIf* access_;
    std::unique_ptr<TransFileArray> list_;
    TransSelection selection_;
    int32_t mode_ = kPanel;

    // Settings copied out at the start of the run.
    TransferSettings transfer_;
    DatabaseSettings database_;
    FileInfoSettings fileInfo_;
    bool buildThumbFromPicture_ = true;
    uint32_t imageSize_ = 0;
    uint32_t selectTransfer_ = 0;
    bool checkLocal_ = false;
    bool checkWeb_ = false;

    std::string tempFolder_;
    std::string workFolder_;      // the run's own folder under the temp folder
    std::string destBase_;
    std::string webRoot_;         // the application's web-upload folder
    std::string webFolder_;       // the run's own folder under it
    std::string destFolder_;
    bool workMade_ = false;
    bool destMade_ = false;
    bool webMade_ = false;

    std::string currentName_;
    std::string currentFolder_;
    std::string newName_;
    std::string sourceForCopy_;   // temporary or work copy of the picture now handled
    std::string tempCopy_;        // the picture's temporary copy, removed after the picture
    // The last local copies are synced and named, in order and labelled with
    // their new names, while the next pictures are read and written.
    plat::CommitBehind localCommits_;
    std::unique_ptr<PreviewsAhead> previews_;  // a card's next previews, read on other cores
    std::unique_ptr<PictureRecord> picture_;
    uint64_t totalSize_ = 0;
    uint64_t largestSize_ = 0;

    bool catalogOpen_ = false;
    std::unique_ptr<TransferCatalog> catalog_;
    int32_t catalogKind_ = 0;
    std::vector<std::string> webList_;
    bool jpegAnswer_ = false;
    int32_t skipped_ = 0;
    LeftOut leftOut_;
    Progress progress_;
    plat::Event cancel_;
};
