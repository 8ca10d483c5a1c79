#pragma once
// A client's handle of an upload server object in the server process.
#include "Skylet/IJqUploadServer.h"
#include "platform/com/RemoteObject.h"

#include <memory>

namespace skylet {

class JqUploadServerProxy : public IJqUploadServer {
public:
    // Creates the server object, starting the upload server when it is not running.
    static plat::HResult create(std::unique_ptr<JqUploadServerProxy>* out);

    explicit JqUploadServerProxy(std::shared_ptr<plat::RemoteObject> object) : object_(std::move(object)) {}

    plat::HResult AddFile(const std::optional<std::string>& strPathName, int32_t nOwner) override;
    plat::HResult StartUpload() override;

private:
    std::shared_ptr<plat::RemoteObject> object_;
};

}  // namespace skylet
