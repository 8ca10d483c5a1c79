#pragma once
#include <cstdint>
#include <string>

namespace caravel {

// What the worker needs of the album service (CAlbumSession in the program).
class UploadTarget {
public:
    virtual ~UploadTarget() = default;
    virtual int32_t GetSpaceLeft() = 0;
    virtual int32_t UploadPhoto(const std::string& path, const char* albumKey) = 0;
    // The album key the pictures go to, empty for the storage room.
    virtual std::string TargetAlbumKey() const = 0;
};

}  // namespace caravel
