#pragma once
// The system root: one folder that holds everything machine-like of the suite
// (registry hives, Program Files, Common Files, the install folder, the drive map,
// runtime sockets, temp). Tests and demos make their own root and so run a whole
// isolated machine without touching the user's.
#include <filesystem>
#include <string>

namespace plat {

class SystemRoot {
public:
    // The root in force for this process: $VOREL_ROOT, else $XDG_DATA_HOME/vorel,
    // else ~/.local/share/vorel. Read anew on every call (tests switch roots).
    static SystemRoot current();

    explicit SystemRoot(std::filesystem::path top);

    const std::filesystem::path& top() const { return top_; }
    std::filesystem::path registryDir() const { return top_ / "registry"; }
    std::filesystem::path programFilesDir() const { return top_ / "Program Files"; }
    std::filesystem::path commonFilesDir() const { return top_ / "Common Files"; }
    std::filesystem::path defaultInstallDir() const { return top_ / "Lumora"; }
    std::filesystem::path runDir() const { return top_ / "run"; }     // sockets, locks, window directory (0700)
    std::filesystem::path tempDir() const { return top_ / "tmp"; }    // what the programs use as their temp path (0700)
    std::filesystem::path keysDir() const { return top_ / "keys"; }   // per-user key containers (0700)

    // Makes every folder of the layout that is missing, with its mode. The private
    // folders (run, tmp, keys) must belong to the calling user and are made 0700;
    // a private folder owned by someone else is refused, never used.
    // Returns false with a readable reason in *error.
    bool ensureLayout(std::string* error = nullptr) const;

    // The temp path with a trailing '/', as the programs expect it; empty when the
    // folder cannot be made private to this user.
    std::string tempPath() const;

private:
    std::filesystem::path top_;
};

}  // namespace plat
