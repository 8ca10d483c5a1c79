#pragma once
// The upload server's interface, as server and clients see it: the class and
// interface ids, the method numbers and the encoding of their arguments.
#include "platform/com/HResult.h"
#include "platform/com/WireReader.h"
#include "platform/com/WireWriter.h"

#include <cstdint>
#include <optional>
#include <string>

namespace skylet {

inline constexpr const char* kJqUploadServerClassId = "{5B1E7A20-3C44-4E8B-9D21-6A0F2C7E4B11}";
inline constexpr const char* kIJqUploadServerIid = "{5B1E7A23-3C44-4E8B-9D21-6A0F2C7E4B11}";

// Methods in slot order after the three of every object.
inline constexpr uint32_t kAddFileMethod = 1;
inline constexpr uint32_t kStartUploadMethod = 2;

class IJqUploadServer {
public:
    virtual ~IJqUploadServer() = default;
    // A null path (nullopt) is not the same as an empty one: it queues no Source line.
    virtual plat::HResult AddFile(const std::optional<std::string>& strPathName, int32_t nOwner) = 0;
    virtual plat::HResult StartUpload() = 0;
};

// AddFile's arguments: the path as raw bytes (file names need not be UTF-8), the owner.
inline void encodeAddFile(plat::WireWriter& w, const std::optional<std::string>& path, int32_t owner) {
    w.nullableString(path).i32(owner);
}

inline bool decodeAddFile(plat::WireReader& r, std::optional<std::string>* path, int32_t* owner) {
    return r.nullableString(path) && r.i32(owner) && r.atEnd();
}

}  // namespace skylet
