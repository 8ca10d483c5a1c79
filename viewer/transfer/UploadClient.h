#pragma once
// The viewer's side of the upload server: hands the web copies of a transfer to
// the server, which queues them and starts the upload program.
#include "Skylet/IJqUploadServer.h"
#include "viewer/sources/JqIfMngResult.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class UploadClient {
public:
    using ServerFactory = std::function<plat::HResult(std::unique_ptr<skylet::IJqUploadServer>*)>;

    // The upload server of the system root.
    UploadClient();
    // Another server (tests).
    explicit UploadClient(ServerFactory factory);
    virtual ~UploadClient() = default;

    // TRUE when the upload was started; *result is then 0, else -114, -118, -88 or
    // -89. Every path goes with owner 0 (the upload program deletes it when done).
    // *notQueued (when given) lists the paths that are not part of a started
    // upload: on TRUE those the server refused (the caller can say so and remove
    // only those copies), on FALSE every path.
    bool UploadFiles(const std::vector<std::string>& paths, JqIfMngResult* result,
                     std::vector<std::string>* notQueued = nullptr);

    // StartUpload's result as a picture-access result code.
    static JqIfMngResult ResultOfStartUpload(plat::HResult r);

private:
    ServerFactory factory_;
};

// Prunes the web-upload folder: files at its top and work folders at least
// minAgeHours old go (young empty ones too with removeEmptyYoung), except the
// folders holding a picture an upload queue still names, which may be its only copy.
void PruneWebUploadFolder(const std::string& webFolder, int minAgeHours, bool removeEmptyYoung);
