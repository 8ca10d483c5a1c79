// vdrive: shows and edits the drive map of the current system root.
//   vdrive list                          every drive, its type, slot and root
//   vdrive add X: <folder> [type]        make a folder drive X: (default removable)
//   vdrive remove X:                     drop a manual entry
//   vdrive resolve X:\path               the file-system path a drive path names
//   vdrive attrib [+h|-h|+r|-r|+s|-s|+a|-a]... <file>
//                                        show or change a file's DOS attributes (a card's
//                                        marker file must be hidden, as cameras write it)
#include "platform/fs/DosAttributes.h"
#include "platform/fs/DriveMap.h"

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

int usage() {
    std::fprintf(stderr,
                 "usage: vdrive list\n"
                 "       vdrive add X: <folder> [removable|fixed|cdrom|noroot]\n"
                 "       vdrive remove X:\n"
                 "       vdrive resolve X:\\path\n"
                 "       vdrive attrib [+h|-h|+r|-r|+s|-s|+a|-a]... <file>\n");
    return 2;
}

int fail(const char* what, const plat::FsResult& r) {
    std::fprintf(stderr, "vdrive: %s: %s\n", what, r.message().c_str());
    return 1;
}

int list(const plat::DriveMap& map) {
    std::vector<plat::DriveInfo> drives;
    if (plat::FsResult r = map.drives(&drives); !r) return fail("cannot read the drive map", r);
    for (const plat::DriveInfo& d : drives) {
        std::printf("%s\t%s\t%s\t%s\t%s\n", d.name().c_str(), plat::driveTypeName(d.type),
                    d.manual ? "manual" : (d.letter == 'C' && d.slot.empty() ? "system" : "slot"),
                    d.slot.empty() ? "-" : d.slot.c_str(), d.hasMedium() ? d.root.c_str() : "(no medium)");
    }
    return 0;
}

// "+h" -> set Hidden, "-r" -> clear ReadOnly ...; false for anything else.
bool parseAttributeChange(const std::string& word, uint32_t* set, uint32_t* clear) {
    if (word.size() != 2 || (word[0] != '+' && word[0] != '-')) return false;
    uint32_t bit = 0;
    switch (word[1] | 0x20) {
        case 'r': bit = plat::FileAttr::ReadOnly; break;
        case 'h': bit = plat::FileAttr::Hidden; break;
        case 's': bit = plat::FileAttr::System; break;
        case 'a': bit = plat::FileAttr::Archive; break;
        default: return false;
    }
    *(word[0] == '+' ? set : clear) |= bit;
    return true;
}

int attrib(int argc, char** argv) {
    uint32_t set = 0, clear = 0;
    for (int i = 2; i + 1 < argc; ++i)
        if (!parseAttributeChange(argv[i], &set, &clear)) return usage();
    const std::filesystem::path file = argv[argc - 1];
    if (set | clear) {
        if (plat::FsResult r = plat::changeDosAttributes(file, set, clear); !r) return fail(file.c_str(), r);
    }
    plat::DosAttributes now;
    if (plat::FsResult r = plat::readDosAttributes(file, &now); !r) return fail(file.c_str(), r);
    std::string shown;
    for (auto [bit, letter] : {std::pair{plat::FileAttr::ReadOnly, 'R'}, {plat::FileAttr::Hidden, 'H'},
                               {plat::FileAttr::System, 'S'}, {plat::FileAttr::Archive, 'A'}})
        if (now.has(bit)) shown += letter;
    std::printf("%s\t%s%s\n", shown.empty() ? "-" : shown.c_str(), file.c_str(),
                now.dosKnown ? "" : "\t(this file system keeps no hidden/system/archive bits)");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage();
    const std::string command = argv[1];
    plat::DriveMap map;
    if (command == "list" && argc == 2) return list(map);

    if (command == "add" && (argc == 4 || argc == 5)) {
        char letter = 0;
        if (!plat::parseDriveLetter(argv[2], &letter)) return fail(argv[2], plat::FsResult::fail(plat::FsError::BadDrive));
        plat::DriveType type = plat::DriveType::Removable;
        if (argc == 5 && !plat::parseDriveType(argv[4], &type)) return usage();
        std::error_code ec;
        std::filesystem::path folder = std::filesystem::absolute(argv[3], ec);
        if (ec) return fail(argv[3], plat::FsResult::fromErrno(ec.value()));
        if (plat::FsResult r = map.addManual(letter, folder, type); !r) return fail("cannot add the drive", r);
        return 0;
    }
    if (command == "remove" && argc == 3) {
        char letter = 0;
        if (!plat::parseDriveLetter(argv[2], &letter)) return fail(argv[2], plat::FsResult::fail(plat::FsError::BadDrive));
        if (plat::FsResult r = map.removeManual(letter); !r) return fail("cannot remove the drive", r);
        return 0;
    }
    if (command == "resolve" && argc == 3) {
        std::filesystem::path out;
        if (plat::FsResult r = plat::resolveDrivePath(argv[2], &out, map); !r) return fail(argv[2], r);
        std::printf("%s\n", out.c_str());
        return 0;
    }
    if (command == "attrib" && argc >= 3) return attrib(argc, argv);
    return usage();
}
