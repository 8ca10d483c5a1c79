#include "Caravel/src/UploadQueue.h"

#include "Caravel/src/UploadFiles.h"
#include "platform/fs/ProfileFile.h"
#include "platform/sysroot/SystemRoot.h"

#include <cstdio>
#include <sys/stat.h>

namespace caravel {

UploadQueue::UploadQueue(UploaderView* view, std::string workFolder)
    : m_view(view), m_workFolder(std::move(workFolder))
{
}

std::string UploadQueue::DefaultWorkFolder()
{
    return plat::SystemRoot::current().tempPath() + "VorelImages";
}

void UploadQueue::ReadUploadQueue(const std::string& queueFile)
{
    UploadBatch batch;
    const auto count = static_cast<int16_t>(plat::readProfileInt(queueFile, "General", "TotalItems", 0));
    for (int n = 1; n <= count; ++n) {
        const std::string path =
            plat::readProfileString(queueFile, "FileParameters", "Source" + std::to_string(n), "");
        const auto owner =
            static_cast<int16_t>(plat::readProfileInt(queueFile, "FileParameters", "Owner" + std::to_string(n), 1));
        if (!path.empty() && !GetFileNamePart(path).empty())
            AddQueuedFile(path, owner, &batch);
    }
    m_batches.push_back(std::move(batch));
    RemoveFile(queueFile);
    UpdateWaitingCount();
}

bool UploadQueue::WorkPathTaken(const std::string& path, const UploadBatch* pending) const
{
    auto inBatch = [&path](const UploadBatch& b) {
        for (const auto& r : b.records)
            if (r.workPath == path)
                return true;
        return false;
    };
    if (pending && inBatch(*pending))
        return true;
    for (const auto& b : m_batches)
        if (inBatch(b))
            return true;
    return false;
}

std::string UploadQueue::MakeWorkPath(const std::string& name, const UploadBatch* pending) const
{
    // pictures of the same name from different folders must not share a copy
    const std::string jpeg = MakeJpegName(name);
    const std::string stem = jpeg.substr(0, jpeg.size() - 4);
    std::string path = m_workFolder + "/" + jpeg;
    for (int k = 2; WorkPathTaken(path, pending); ++k)
        path = m_workFolder + "/" + stem + "-" + std::to_string(k) + ".jpg";
    return path;
}

bool UploadQueue::AddQueuedFile(const std::string& path, int16_t owner, UploadBatch* batch)
{
    UploadFileRecord record;
    record.sourcePath = path;
    record.owner = owner;
    const std::string name = GetFileNamePart(path);
    if (name.empty())
        return false;
    if (IsRawFile(name)) {
        // refused below
    } else if (IsJpegFile(name)) {
        record.workPath = path;
    } else if (IsTiffFile(name)) {
        record.workPath = MakeWorkPath(name, batch);
    }
    if (record.workPath.empty()) {
        if (m_view)
            m_view->ShowMessage("Error with file : " + name);
        return false;
    }
    batch->records.push_back(std::move(record));
    if (m_view)
        m_view->AddFileRow(name);
    return true;
}

bool UploadQueue::CreateWorkDir() const
{
    return ::mkdir(m_workFolder.c_str(), 0700) == 0;
}

std::string UploadQueue::WaitingCountText() const
{
    const size_t n = m_batches.empty() ? 0 : m_batches.front().records.size();
    return std::to_string(n) + " file(s) waiting to upload";
}

void UploadQueue::UpdateWaitingCount() const
{
    if (m_view)
        m_view->SetStatusText(WaitingCountText());
}

void UploadQueue::CleanUpAtExit()
{
    for (const auto& b : m_batches)
        for (const auto& r : b.records) {
            if (r.workFileMade)
                RemoveFile(r.workPath);
            if (r.owner == 0)
                RemoveFile(r.sourcePath);
        }
    m_batches.clear();
}

void UploadQueue::ClearProcessedMarks()
{
    for (auto& b : m_batches)
        for (auto& r : b.records)
            r.processed = false;
}

}  // namespace caravel
