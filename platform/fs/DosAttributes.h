#pragma once
// DOS file attributes (read-only, hidden, system, archive, directory) on Linux.
//
// Where they are kept:
//  - vfat/msdos: the FAT attribute byte itself, through the FAT attribute ioctls.
//  - any other file system that takes user extended attributes: hidden, system and
//    archive in the attribute "user.DOSATTRIB", as text "0x" followed by the bits
//    in hexadecimal (e.g. "0x22" = hidden + archive; older Samba writes the same
//    form). Read-only is not kept there: it is the write permission bits.
//  - a file system that can store neither: hidden, system and archive are
//    "unknown". Card checks treat unknown as satisfied (exFAT cards and plain test
//    folders keep working); setting hidden, system or archive there fails.
// Read-only is always the write permission bits as well (no write bit = read-only).
#include "platform/fs/FsResult.h"

#include <cstdint>
#include <filesystem>
#include <string>

namespace plat {

namespace FileAttr {
constexpr uint32_t ReadOnly = 0x01;
constexpr uint32_t Hidden = 0x02;
constexpr uint32_t System = 0x04;
constexpr uint32_t Directory = 0x10;
constexpr uint32_t Archive = 0x20;
constexpr uint32_t Normal = 0x80;  // reported alone when no other bit is set
// The bits a caller may set or clear.
constexpr uint32_t Settable = ReadOnly | Hidden | System | Archive;
}  // namespace FileAttr

struct DosAttributes {
    uint32_t bits = 0;      // FileAttr bits
    bool dosKnown = false;  // hidden/system/archive could be read from the file system

    bool has(uint32_t bit) const { return (bits & bit) != 0; }
    bool isDirectory() const { return has(FileAttr::Directory); }
    bool isReadOnly() const { return has(FileAttr::ReadOnly); }
    // The card rule "the marker file is hidden": unknown counts as hidden.
    bool hiddenOrUnknown() const { return !dosKnown || has(FileAttr::Hidden); }
};

// The primitive stores of DOS bits. The system one calls the kernel; tests pass
// their own to drive every branch (FAT, extended attribute, neither).
// Each call returns 0 or an errno.
class AttributeBackend {
public:
    virtual ~AttributeBackend() = default;
    virtual int fatGet(int fd, uint32_t* bits) const = 0;             // ENOTTY: not FAT
    virtual int fatSet(int fd, uint32_t bits) const = 0;
    virtual int xattrGet(int fd, std::string* value) const = 0;       // ENODATA: none set
    virtual int xattrSet(int fd, const std::string& value) const = 0; // ENOTSUP: cannot store
    static const AttributeBackend& system();
};

// Reads the attributes of `path` (a link is reported as itself, never followed).
FsResult readDosAttributes(const std::filesystem::path& path, DosAttributes* out,
                           const AttributeBackend& backend = AttributeBackend::system());

// Same, for `name` inside the open folder `dirFd` (enumeration).
FsResult readDosAttributesAt(int dirFd, const char* name, DosAttributes* out,
                             const AttributeBackend& backend = AttributeBackend::system());

// Sets the settable bits to exactly `bits` (directory and normal are ignored).
// Hidden, system or archive on a file system that cannot store them fails with
// Unsupported and leaves the file unchanged.
FsResult writeDosAttributes(const std::filesystem::path& path, uint32_t bits,
                            const AttributeBackend& backend = AttributeBackend::system());

// Reads, then sets `setBits` and clears `clearBits`. Clearing bits the file
// system cannot store succeeds (they are not set).
FsResult changeDosAttributes(const std::filesystem::path& path, uint32_t setBits, uint32_t clearBits,
                             const AttributeBackend& backend = AttributeBackend::system());

// The extended-attribute text form: "0x22" <-> 0x22. Parsing takes "0x" and 1-8
// hex digits (surrounding blanks and a trailing NUL allowed); anything else
// fails. Only hidden, system and archive are kept.
std::string formatDosAttrText(uint32_t bits);
bool parseDosAttrText(const std::string& text, uint32_t* bits);

}  // namespace plat
