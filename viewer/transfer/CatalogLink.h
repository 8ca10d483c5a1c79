#pragma once
// CCatalogLink: the client of the picture-database application chosen in the
// settings. It matches the application against the three it knows, starts it
// or brings it up, and for the one with automation (Quillbase) creates or opens a
// catalog file and adds each new picture to it.
#include "platform/com/HResult.h"
#include "platform/com/Variant.h"
#include "viewer/transfer/TransferCtrl.h"

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace plat {
class RemoteObject;
}

class CCatalogLink : public TransferCatalog {
public:
    // Language texts by id (the applications' file names and window title).
    using TextLookup = std::function<std::string(uint32_t id)>;

    CCatalogLink();
    explicit CCatalogLink(TextLookup texts);
    ~CCatalogLink() override;

    int32_t CreateCatalog(const std::string& application, const std::string& catalog);
    int32_t OpenDatabase(const std::string& application, const std::string& target) override;
    int32_t _CatalogAsset(const std::string& picture);
    int32_t CatalogAsset(const std::string& picture) override { return _CatalogAsset(picture); }
    int32_t CloseDatabase() override;
    uint32_t ResultToMessageId(int32_t code) override;

    // How long a started application may take to serve its automation class.
    void SetStartTimeout(int ms) { startTimeoutMs_ = ms; }

private:
    void Reset();
    bool MatchApplication(const std::string& application);
    bool MakeClassId();
    bool TargetIsRowKind() const;
    int32_t StartApplication();
    int32_t StartFolderApplication();
    plat::HResult Attach(std::shared_ptr<plat::RemoteObject>* app);
    plat::HResult FindCatalog(plat::RemoteObject& app, std::shared_ptr<plat::RemoteObject>* catalog);

    TextLookup texts_;
    int32_t row_ = -1;
    int32_t kind_ = -1;
    int32_t titleId_ = -1;
    bool classIdValid_ = false;
    std::string classId_;
    std::string application_;
    std::string target_;
    pid_t started_ = 0;
    int startTimeoutMs_ = 10000;
};
