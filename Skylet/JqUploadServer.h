#pragma once
// The upload server object: one queue per object. AddFile appends pictures to
// the object's queue file; StartUpload completes the queue, records it for the
// upload program and starts that program.
#include "Skylet/IJqUploadServer.h"
#include "Skylet/UploadQueueFile.h"
#include "platform/com/ComObject.h"

#include <cstdint>
#include <optional>

namespace skylet {

class CJqUploadServer : public plat::ComObject, public IJqUploadServer {
public:
    plat::HResult call(uint32_t method, plat::WireReader& in, plat::WireWriter& out) override;

    plat::HResult AddFile(const std::optional<std::string>& strPathName, int32_t nOwner) override;
    plat::HResult StartUpload() override;

private:
    bool EnsureQueueFile();
    void ForgetQueue();

    std::optional<UploadQueueFile> queue_;  // none until the first AddFile of a queue
    int16_t itemCount_ = 0;
};

}  // namespace skylet
