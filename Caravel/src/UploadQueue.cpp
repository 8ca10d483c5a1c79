#include "Caravel/src/UploadQueue.h"

#include "Caravel/src/UploadFiles.h"
#include "Skylet/QueuedSources.h"
#include "platform/fs/FileOps.h"
#include "platform/fs/ProfileFile.h"
#include "platform/sysroot/SystemRoot.h"

#include <cstdint>
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

std::string UploadQueue::KeptQueueFile()
{
    return plat::SystemRoot::current().tempPath() + skylet::kKeptQueueName;
}

void UploadQueue::ReadKeptQueue()
{
    const std::string kept = KeptQueueFile();
    struct stat st {};
    if (::stat(kept.c_str(), &st) == 0)
        ReadUploadQueue(kept);
}

void UploadQueue::SaveKeptQueue() const
{
    std::string text = "[FileParameters]\n";
    int n = 0;
    for (const auto& b : m_batches)
        for (const auto& r : b.records) {
            if (r.sourcePath.find_first_of("\r\n") != std::string::npos || n == INT16_MAX)
                continue;
            ++n;
            text += "Source" + std::to_string(n) + "=" + r.sourcePath + "\n";
            text += "Owner" + std::to_string(n) + "=" + std::to_string(r.owner) + "\n";
        }
    text += "[General]\nTotalItems=" + std::to_string(n) + " \n";
    const std::string kept = KeptQueueFile();
    if (n == 0)
        RemoveFile(kept);
    else
        plat::writeFileAtomic(kept, text, 0600);
}

void UploadQueue::ReadUploadQueue(const std::string& queueFile)
{
    UploadBatch batch;
    if (!m_batches.empty()) {
        // one batch: what an earlier run kept goes first, then the new pictures
        batch = std::move(m_batches.front());
        m_batches.pop_front();
    }
    // read once: a queue of thousands of items is not parsed again per item
    const plat::ProfileSnapshot queue(queueFile);
    const auto count = static_cast<int16_t>(queue.readInt("General", "TotalItems", 0));
    for (int n = 1; n <= count; ++n) {
        const std::string path = queue.readString("FileParameters", "Source" + std::to_string(n), "");
        const auto owner = static_cast<int16_t>(queue.readInt("FileParameters", "Owner" + std::to_string(n), 1));
        if (!path.empty() && !GetFileNamePart(path).empty())
            AddQueuedFile(path, owner, &batch);
    }
    m_batches.push_front(std::move(batch));
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
        for (const auto& r : b.records)
            if (r.workFileMade && r.workPath != r.sourcePath)
                RemoveFile(r.workPath);
    SaveKeptQueue();
    m_batches.clear();
}

void UploadQueue::ClearProcessedMarks()
{
    for (auto& b : m_batches)
        for (auto& r : b.records)
            r.processed = false;
}

}  // namespace caravel
