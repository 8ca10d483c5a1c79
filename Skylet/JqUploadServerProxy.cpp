#include "Skylet/JqUploadServerProxy.h"

namespace skylet {

plat::HResult JqUploadServerProxy::create(std::unique_ptr<JqUploadServerProxy>* out) {
    out->reset();
    std::shared_ptr<plat::RemoteObject> object;
    plat::HResult r = plat::RemoteObject::create(kJqUploadServerClassId, &object);
    if (plat::failed(r)) return r;
    *out = std::make_unique<JqUploadServerProxy>(std::move(object));
    return plat::hr::Ok;
}

plat::HResult JqUploadServerProxy::AddFile(const std::optional<std::string>& strPathName, int32_t nOwner) {
    plat::WireWriter args;
    encodeAddFile(args, strPathName, nOwner);
    return object_->call(kAddFileMethod, args);
}

plat::HResult JqUploadServerProxy::StartUpload() { return object_->call(kStartUploadMethod, plat::WireWriter()); }

}  // namespace skylet
