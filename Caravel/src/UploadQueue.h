#pragma once
// The pictures handed over by the upload server: reading the queue file, which pictures are
// accepted, the work folder and the names of converted copies, and the files deleted at exit.
#include "Caravel/src/UploadBatch.h"
#include "Caravel/src/UploaderView.h"

#include <list>
#include <string>

namespace caravel {

class UploadQueue {
public:
    // workFolder: where converted copies are written (no trailing '/').
    UploadQueue(UploaderView* view, std::string workFolder);

    // The user's work folder: the temp path followed by "VorelImages".
    static std::string DefaultWorkFolder();

    // Reads the queue file into the batch (made when there is none) and deletes the
    // file. A missing file adds nothing.
    void ReadUploadQueue(const std::string& queueFile);
    // The pictures an earlier run kept because the album service had not confirmed
    // them; read first at every start.
    void ReadKeptQueue();
    // Writes the queue as it now stands to the kept queue file (removed when empty),
    // so the pictures outlive the program and nothing prunes them meanwhile.
    void SaveKeptQueue() const;
    static std::string KeptQueueFile();
    // Type check, record and files-list row; false when refused or nameless.
    bool AddQueuedFile(const std::string& path, int16_t owner, UploadBatch* batch);
    // Creates the work folder; false when it could not be made (it may exist already).
    bool CreateWorkDir() const;
    // "%d file(s) waiting to upload" for the first batch, shown on the status line.
    void UpdateWaitingCount() const;
    std::string WaitingCountText() const;
    // Deletes the work copies made (they are made again when needed), keeps every
    // picture not yet uploaded in the kept queue, and drops every record. A picture
    // the album service has not confirmed is never deleted: it may be the only copy.
    void CleanUpAtExit();
    // Every picture is converted again at the next run (the picture size changed).
    void ClearProcessedMarks();
    // A work-folder path for a converted copy of `name`, distinct from every other record's
    // (also from those of `pending`, a batch not yet in the list).
    std::string MakeWorkPath(const std::string& name, const UploadBatch* pending = nullptr) const;

    std::list<UploadBatch>& Batches() { return m_batches; }
    const std::list<UploadBatch>& Batches() const { return m_batches; }
    const std::string& WorkFolder() const { return m_workFolder; }

private:
    bool WorkPathTaken(const std::string& path, const UploadBatch* pending) const;

    UploaderView* m_view;
    std::string m_workFolder;
    std::list<UploadBatch> m_batches;
};

}  // namespace caravel
