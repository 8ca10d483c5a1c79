#pragma once
// The registry: two hives (LocalMachine, CurrentUser), each a SQLite database
// under the system root's registry folder, and ClassesRoot as a view of
// LocalMachine\SOFTWARE\Classes. Key and value names are case-insensitive and
// keep the case they were created with.
#include "platform/registry/RegKey.h"
#include "platform/registry/RegTypes.h"

#include <filesystem>
#include <string_view>

namespace plat {

class Registry {
public:
    // Opens an existing key; a missing key (or hive) gives NotFound.
    static RegResult open(Hive hive, std::string_view path, RegKey* out);
    // Opens a key, creating it and every missing parent.
    static RegResult create(Hive hive, std::string_view path, RegKey* out);
    // Deletes a key with all its subkeys and values.
    static RegResult deleteTree(Hive hive, std::string_view path);

    // The hive file in the current system root.
    static std::filesystem::path hiveFile(Hive hive);
    // "HKLM", "HKCU", "HKCR" (and the long forms) to a hive; false when unknown.
    static bool parseHiveName(std::string_view name, Hive* hive);
    static const char* hiveName(Hive hive);

    // How long a call waits for a lock held by another process (default 5 s).
    static void setBusyTimeout(int milliseconds);
};

}  // namespace plat
