#include "platform/registry/Registry.h"

#include "platform/registry/HiveStore.h"
#include "platform/registry/RegPath.h"
#include "platform/sysroot/SystemRoot.h"

#include <memory>

namespace plat {

namespace {

Hive storageHive(Hive hive) { return hive == Hive::ClassesRoot ? Hive::LocalMachine : hive; }

// The names below the hive file's top for a path of `hive`.
RegResult resolvePath(Hive hive, std::string_view path, std::vector<std::string>* names) {
    RegResult r = splitKeyPath(path, names);
    if (r != RegResult::Ok) return r;
    if (hive == Hive::ClassesRoot) names->insert(names->begin(), {"SOFTWARE", "Classes"});
    return RegResult::Ok;
}

}  // namespace

std::filesystem::path Registry::hiveFile(Hive hive) {
    const char* file = storageHive(hive) == Hive::LocalMachine ? "machine.db" : "user.db";
    return SystemRoot::current().registryDir() / file;
}

RegResult Registry::open(Hive hive, std::string_view path, RegKey* out) {
    *out = RegKey();
    std::vector<std::string> names;
    RegResult r = resolvePath(hive, path, &names);
    if (r != RegResult::Ok) return r;
    std::shared_ptr<HiveStore> store;
    if ((r = HiveStore::open(hiveFile(hive), HiveStore::Mode::ExistingOnly, &store)) != RegResult::Ok) return r;
    int64_t id = 0;
    if ((r = store->findKey(HiveStore::kRootKey, names, &id)) != RegResult::Ok) return r;
    *out = RegKey(hive, std::move(store), id);
    return RegResult::Ok;
}

RegResult Registry::create(Hive hive, std::string_view path, RegKey* out) {
    *out = RegKey();
    std::vector<std::string> names;
    RegResult r = resolvePath(hive, path, &names);
    if (r != RegResult::Ok) return r;
    std::shared_ptr<HiveStore> store;
    if ((r = HiveStore::open(hiveFile(hive), HiveStore::Mode::CreateIfMissing, &store)) != RegResult::Ok) return r;
    int64_t id = 0;
    if ((r = store->createKey(HiveStore::kRootKey, names, &id)) != RegResult::Ok) return r;
    *out = RegKey(hive, std::move(store), id);
    return RegResult::Ok;
}

RegResult Registry::deleteTree(Hive hive, std::string_view path) {
    std::vector<std::string> names;
    RegResult r = resolvePath(hive, path, &names);
    if (r != RegResult::Ok) return r;
    if (names.size() == (hive == Hive::ClassesRoot ? 2u : 0u)) return RegResult::AccessDenied;  // never a whole hive
    std::shared_ptr<HiveStore> store;
    if ((r = HiveStore::open(hiveFile(hive), HiveStore::Mode::ExistingOnly, &store)) != RegResult::Ok) return r;
    int64_t id = 0;
    if ((r = store->findKey(HiveStore::kRootKey, names, &id)) != RegResult::Ok) return r;
    return store->deleteKey(id);
}

bool Registry::parseHiveName(std::string_view name, Hive* hive) {
    std::string n = foldName(name);
    if (n == "hklm" || n == "hkey_local_machine") *hive = Hive::LocalMachine;
    else if (n == "hkcu" || n == "hkey_current_user") *hive = Hive::CurrentUser;
    else if (n == "hkcr" || n == "hkey_classes_root") *hive = Hive::ClassesRoot;
    else return false;
    return true;
}

const char* Registry::hiveName(Hive hive) {
    switch (hive) {
    case Hive::LocalMachine: return "HKLM";
    case Hive::CurrentUser: return "HKCU";
    case Hive::ClassesRoot: return "HKCR";
    }
    return "?";
}

void Registry::setBusyTimeout(int milliseconds) { HiveStore::setBusyTimeout(milliseconds); }

}  // namespace plat
