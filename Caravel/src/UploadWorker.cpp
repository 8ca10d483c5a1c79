#include "Caravel/src/UploadWorker.h"

#include "Caravel/src/RunFlags.h"
#include "Caravel/src/UploadFiles.h"

namespace caravel {

namespace {

bool Cancelled() { return CancelFlag().load() != 0; }

std::string OfText(const char* what, int16_t index, int16_t total)
{
    return std::string(what) + " " + std::to_string(index) + " of " + std::to_string(total);
}

int16_t FirstBatchCount(const UploadQueue& q)
{
    return q.Batches().empty() ? 0 : static_cast<int16_t>(q.Batches().front().records.size());
}

}  // namespace

UploadWorker::UploadWorker(UploadQueue* queue, PictureConverter* converter, UploadTarget* target,
                           UploaderView* view, int32_t imageSize)
    : m_queue(queue), m_converter(converter), m_target(target), m_view(view), m_imageSize(imageSize)
{
}

void UploadWorker::Run()
{
    if (ProcessAllFiles())
        UploadAllFiles();
}

void UploadWorker::DropRecord(UploadBatch& batch, std::list<UploadFileRecord>::iterator& it, int16_t index,
                              int16_t* total)
{
    it = batch.records.erase(it);
    m_view->RemoveFileRow(index - 1);
    --*total;
}

bool UploadWorker::ProcessAllFiles()
{
    bool uploadAllowed = m_converter->SetUpPipeline();
    if (!uploadAllowed) {
        m_view->ShowMessage("Unable to process images at this time");
        m_converter->TearDownPipeline();
        return false;
    }
    int16_t total = FirstBatchCount(*m_queue);
    int16_t index = 1;
    for (auto& batch : m_queue->Batches()) {
        for (auto it = batch.records.begin(); it != batch.records.end() && !Cancelled();) {
            UploadFileRecord& r = *it;
            if (r.processed) {
                ++index;
                ++it;
                continue;
            }
            const std::string name = GetFileNamePart(r.sourcePath);
            m_view->SetFileNameText(name);
            m_view->SetStatusText(OfText("Processing", index, total));
            bool needsNoConversion = false;
            if (!m_converter->LoadImageFile(r.sourcePath, &needsNoConversion)) {
                if (Cancelled()) {
                    uploadAllowed = false;
                    ++it;
                } else if (needsNoConversion) {
                    // a JPEG whatever its name: it goes up as it stands
                    r.workPath = r.sourcePath;
                    r.processed = true;
                    ++index;
                    ++it;
                } else {
                    m_view->ShowMessage("Error Loading File: " + r.sourcePath);
                    DropRecord(batch, it, index, &total);
                }
                m_view->SetFileNameText("");
                continue;
            }
            // a picture that needs converting is never written over its own source
            if (r.workPath == r.sourcePath)
                r.workPath = m_queue->MakeWorkPath(name);
            if (!m_converter->TransformAndSave(r.workPath, m_imageSize, r.orientation)) {
                if (Cancelled()) {
                    r.workFileMade = true;
                    uploadAllowed = false;
                    ++it;
                } else {
                    m_view->ShowMessage("Error Saving File: " + r.sourcePath);
                    DropRecord(batch, it, index, &total);
                }
            } else if (GetFileSize64(r.workPath) > kMaxUploadSize) {
                m_view->ShowMessage("File over 2Mb in size, too big to Upload: " + r.workPath);
                // the converted copy is of no further use, and nothing would ever delete it
                const std::string refused = r.workPath;
                const bool ownCopy = refused != r.sourcePath;
                DropRecord(batch, it, index, &total);
                if (ownCopy)
                    RemoveFile(refused);
            } else {
                r.processed = true;
                r.workFileMade = true;
                ++index;
                ++it;
            }
            m_view->SetFileNameText("");
        }
    }
    if (Cancelled())
        uploadAllowed = false;
    m_converter->TearDownPipeline();
    return uploadAllowed;
}

void UploadWorker::UploadAllFiles()
{
    const std::string album = m_target->TargetAlbumKey();
    const char* albumKey = album.empty() ? nullptr : album.c_str();
    for (auto& batch : m_queue->Batches()) {
        const int16_t total = FirstBatchCount(*m_queue);
        int16_t index = 1;
        for (auto it = batch.records.begin(); it != batch.records.end() && !Cancelled();) {
            UploadFileRecord& r = *it;
            m_view->SetStatusText(OfText("Uploading", index, total));
            ++index;
            const int32_t space = m_target->GetSpaceLeft();
            if (space < 0)
                break;
            const int64_t size = GetFileSize64(r.workPath);
            m_view->SetFileNameText(GetFileNamePart(r.sourcePath));
            // the room is counted in thousands of bytes: compared in 64 bits
            if (static_cast<int64_t>(space) * 1000 < size) {
                m_view->ShowMessage("Not enough room available on web site, unable to upload file.");
                break;
            }
            if (m_target->UploadPhoto(r.workPath, albumKey) != 0)
                break;
            m_view->RemoveFileRow(0);
            if (r.workPath != r.sourcePath)
                RemoveFile(r.workPath);
            if (r.owner == 0)
                RemoveFile(r.sourcePath);
            it = batch.records.erase(it);
        }
    }
}

}  // namespace caravel
