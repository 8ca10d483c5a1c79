#include "outside/quillbase/Automation.h"

#include "outside/quillbase/CatalogFile.h"

#include <mutex>
#include <vector>

namespace quillbase {

namespace {

using plat::DispatchKind;
using plat::HResult;
using plat::Variant;
namespace hr = plat::hr;

struct Shared {
    std::mutex mutex;
    std::vector<std::shared_ptr<CatalogFile>> open;
    bool visible = false;
};
Shared& shared() {
    static Shared s;
    return s;
}

bool stringArg(const std::vector<Variant>& args, size_t i, std::string* out) {
    if (i >= args.size() || args[i].type != Variant::Type::Bstr || !args[i].bstr) return false;
    *out = *args[i].bstr;
    return true;
}

class CatalogObject : public plat::DispatchObject {
public:
    explicit CatalogObject(std::shared_ptr<CatalogFile> file) : file_(std::move(file)) {}
    HResult invoke(int32_t id, DispatchKind kind, std::vector<Variant>& args, Variant* result) override {
        if (id == dispid::FullName && kind == DispatchKind::PropertyGet) {
            if (!args.empty()) return hr::BadParamCount;
            *result = Variant::fromString(file_->path());
            return hr::Ok;
        }
        if (id == dispid::AddFile && kind == DispatchKind::Method) {
            if (args.size() != 1) return hr::BadParamCount;
            std::string path;
            if (!stringArg(args, 0, &path)) return hr::TypeMismatch;
            std::lock_guard lock(shared().mutex);
            return file_->addAsset(path) ? hr::Ok : hr::Fail;
        }
        return hr::MemberNotFound;
    }

private:
    std::shared_ptr<CatalogFile> file_;
};

class EntryObject : public plat::DispatchObject {
public:
    explicit EntryObject(std::shared_ptr<CatalogFile> file) : file_(std::move(file)) {}
    HResult invoke(int32_t id, DispatchKind kind, std::vector<Variant>& args, Variant* result) override {
        if (id != dispid::Catalog || kind != DispatchKind::PropertyGet) return hr::MemberNotFound;
        if (!args.empty()) return hr::BadParamCount;
        *result = Variant::fromObject(std::make_shared<CatalogObject>(file_));
        return hr::Ok;
    }

private:
    std::shared_ptr<CatalogFile> file_;
};

class CollectionObject : public plat::DispatchObject {
public:
    HResult invoke(int32_t id, DispatchKind kind, std::vector<Variant>& args, Variant* result) override {
        if (kind != DispatchKind::PropertyGet) return hr::MemberNotFound;
        std::lock_guard lock(shared().mutex);
        if (id == dispid::Count) {
            *result = Variant::fromInt(static_cast<int32_t>(shared().open.size()));
            return hr::Ok;
        }
        if (id == dispid::Item) {
            if (args.size() != 1) return hr::BadParamCount;
            if (args[0].type != Variant::Type::I4) return hr::TypeMismatch;
            const int32_t i = args[0].i4;
            if (i < 0 || static_cast<size_t>(i) >= shared().open.size()) return hr::InvalidArg;
            *result = Variant::fromObject(std::make_shared<EntryObject>(shared().open[static_cast<size_t>(i)]));
            return hr::Ok;
        }
        return hr::MemberNotFound;
    }
};

class ApplicationObject : public plat::DispatchObject {
public:
    HResult invoke(int32_t id, DispatchKind kind, std::vector<Variant>& args, Variant* result) override {
        if ((id == dispid::NewCatalog || id == dispid::OpenCatalog) && kind == DispatchKind::Method)
            return openOrCreate(id == dispid::NewCatalog, args, result);
        if (id == dispid::Activate && kind == DispatchKind::Method) return args.empty() ? hr::Ok : hr::BadParamCount;
        if (id == dispid::Visible && kind == DispatchKind::PropertyPut) {
            if (args.size() != 1) return hr::BadParamCount;
            if (args[0].type != Variant::Type::Bool) return hr::TypeMismatch;
            std::lock_guard lock(shared().mutex);
            shared().visible = args[0].boolean;
            return hr::Ok;
        }
        if (id == dispid::Visible && kind == DispatchKind::PropertyGet) {
            std::lock_guard lock(shared().mutex);
            *result = Variant::fromBool(shared().visible);
            return hr::Ok;
        }
        if (id == dispid::Catalogs && kind == DispatchKind::PropertyGet) {
            *result = Variant::fromObject(std::make_shared<CollectionObject>());
            return hr::Ok;
        }
        return hr::MemberNotFound;
    }

private:
    static HResult openOrCreate(bool create, std::vector<Variant>& args, Variant* result) {
        if (args.size() != 2) return hr::BadParamCount;
        std::string path;
        if (!stringArg(args, 0, &path)) return hr::TypeMismatch;
        std::lock_guard lock(shared().mutex);
        for (const auto& f : shared().open)
            if (f->path() == path) {
                if (create) return hr::Fail;
                *result = Variant::fromObject(std::make_shared<EntryObject>(f));
                return hr::Ok;
            }
        std::shared_ptr<CatalogFile> file = create ? CatalogFile::create(path) : CatalogFile::open(path);
        if (!file) return hr::Fail;
        shared().open.push_back(file);
        *result = Variant::fromObject(std::make_shared<EntryObject>(file));
        return hr::Ok;
    }
};

}  // namespace

std::shared_ptr<plat::ComObject> makeApplication() { return std::make_shared<ApplicationObject>(); }

}  // namespace quillbase
