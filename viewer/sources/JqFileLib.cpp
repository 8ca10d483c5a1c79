#include "viewer/sources/JqFileLib.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <tuple>
#include <vector>

#include "platform/sysroot/SystemRoot.h"
#include "platform/thread/PhysicalMemory.h"
#include "viewer/sources/SourceStrings.h"

namespace {

std::mutex g_settingsLock;
std::string g_commonFiles;
std::string g_workFolder;
std::atomic<uint32_t> g_workCounter{0};

std::string commonFilesDir() {
    std::lock_guard<std::mutex> g(g_settingsLock);
    return g_commonFiles.empty() ? plat::SystemRoot::current().commonFilesDir().string() : g_commonFiles;
}

std::string workFolder() {
    std::lock_guard<std::mutex> g(g_settingsLock);
    return g_workFolder.empty() ? plat::SystemRoot::current().tempDir().string() : g_workFolder;
}

// Work file of this object: the stem of the picture, made unique per object so
// that two objects on pictures with the same stem never share (and delete) one.
std::string makeWorkPath(const std::string& picturePath) {
    std::string name = picturePath;
    for (char& c : name)
        if (c == '\\') c = '/';
    if (const size_t slash = name.rfind('/'); slash != std::string::npos)
        name.erase(0, slash + 1);
    if (const size_t dot = name.rfind('.'); dot != std::string::npos)
        name.erase(dot);
    return workFolder() + "/" + name + "-" + std::to_string(::getpid()) + "-" +
           std::to_string(g_workCounter.fetch_add(1)) + ".swp";
}

// The library is loaded once per file and stays loaded for the life of the
// process: loading it (with its image and metadata libraries) costs far more
// than reading a thumbnail, and every picture of a transfer or a browser run
// makes an object. A file replaced or removed since is looked at afresh.
struct LoadedLibrary {
    dev_t device = 0;
    ino_t inode = 0;
    int64_t modified = 0;
    void* module = nullptr;
    JqflEntryProc entry = nullptr;
};

std::mutex g_loadLock;

JqflEntryProc loadLibrary(const std::string& path, void** module) {
    struct stat st{};
    if (::stat(path.c_str(), &st) != 0)
        return nullptr;
    const int64_t modified = int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec;
    static std::map<std::string, LoadedLibrary>* loaded = new std::map<std::string, LoadedLibrary>;
    std::lock_guard<std::mutex> g(g_loadLock);
    LoadedLibrary& l = (*loaded)[path];
    if (l.entry && std::tie(l.device, l.inode, l.modified) == std::tie(st.st_dev, st.st_ino, modified)) {
        *module = l.module;
        return l.entry;
    }
    void* m = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!m)
        return nullptr;
    auto entry = reinterpret_cast<JqflEntryProc>(::dlsym(m, "Jqfl_Entry"));
    if (!entry) {
        ::dlclose(m);
        return nullptr;
    }
    // an older copy stays loaded: objects made from it may still be at work
    l = LoadedLibrary{st.st_dev, st.st_ino, modified, m, entry};
    *module = m;
    return entry;
}

constexpr uint32_t kNeedsOptions = 0x100000;
constexpr uint32_t kExifVersion = 36864;

}  // namespace

void CJqFileLib::SetCommonFilesDir(const std::string& folder) {
    std::lock_guard<std::mutex> g(g_settingsLock);
    g_commonFiles = folder;
}

void CJqFileLib::SetWorkFolder(const std::string& folder) {
    std::lock_guard<std::mutex> g(g_settingsLock);
    g_workFolder = folder;
}

std::string CJqFileLib::LibraryPath() {
    return commonFilesDir() + source_strings::kLibraryFolder + "/" + source_strings::kLibraryFile;
}

CJqFileLib::CJqFileLib(const std::string& picturePath) {
    entry_ = loadLibrary(LibraryPath(), &module_);
    if (!entry_)
        return;
    picturePath_ = picturePath;
    workPath_ = makeWorkPath(picturePath);
}

CJqFileLib::~CJqFileLib() {
    if (!workPath_.empty())
        ::unlink(workPath_.c_str());
}

int32_t CJqFileLib::call(uint32_t command, void* block) {
    return entry_ ? entry_(command, block) : 0;
}

int32_t CJqFileLib::Initialize() {
    if (!entry_) return 0;
    JqflInitBlock b{};
    b.size = sizeof b;
    b.memoryWord = 0x2000000;
    b.physicalHalf = plat::totalPhysicalMemory32() / 2;
    std::snprintf(b.workPath, sizeof b.workPath, "%s", workPath_.c_str());
    return call(JQFL_INITIALIZE, &b);
}

int32_t CJqFileLib::Terminate() {
    return call(JQFL_TERMINATE, nullptr);
}

int32_t CJqFileLib::OpenFile(const char* path) {
    if (!entry_) return 0;
    JqflOpenBlock b{sizeof b, 0, path ? 4u : 1u, path ? path : picturePath_.c_str(), 0};
    const int32_t rc = call(JQFL_OPEN, &b);
    if (rc == 0) fileId_ = b.fileId;
    return rc;
}

int32_t CJqFileLib::NewImage() {
    if (!entry_) return 0;
    JqflOpenBlock b{sizeof b, 0, 0, nullptr, 0};
    const int32_t rc = call(JQFL_OPEN, &b);
    if (rc == 0) fileId_ = b.fileId;
    return rc;
}

void CJqFileLib::CloseFile() {
    if (!entry_) return;
    JqflOpenBlock b{sizeof b, fileId_, 0, nullptr, 0};
    call(JQFL_CLOSE, &b);
}

int32_t CJqFileLib::GetFileType() {
    if (!entry_) return 0;
    JqflFileTypeBlock b{sizeof b, fileId_, 0};
    const int32_t rc = call(JQFL_GET_FILE_TYPE, &b);
    fileType_ = b.type;
    if (fileType_ != kNeedsOptions)
        return rc;
    static const JqflOptionEntry option{16, {1, 3, 1}};
    JqflOptionsBlock o{sizeof o, fileId_, 1, &option};
    return call(JQFL_SET_OPTIONS, &o);
}

int32_t CJqFileLib::AllowEmbeddedThumbnail(bool allowed) {
    if (!entry_) return 0;
    const JqflOptionEntry option{sizeof(JqflOptionEntry), {JQFL_OPTION_SUB_IMAGE_SOURCE, allowed ? 1u : 0u, 0}};
    JqflOptionsBlock o{sizeof o, fileId_, 1, &option};
    return call(JQFL_SET_OPTIONS, &o);
}

int32_t CJqFileLib::GetImageInfo(int32_t* width, int32_t* height, int32_t* depth, int32_t* colorModel) {
    if (!entry_) return 0;
    JqflImageInfoBlock b{sizeof b, fileId_, 0, 0, 0, 0, 0, 0};
    const int32_t rc = call(JQFL_GET_IMAGE_INFO, &b);
    if (rc == 0) {
        if (width) *width = b.width;
        if (height) *height = b.height;
        if (depth) *depth = b.depth;
        if (colorModel) *colorModel = b.colorModel;
    }
    return rc;
}

int32_t CJqFileLib::SetImageInfo(int32_t width, int32_t height, int32_t depth, int32_t colorModel,
                                 int32_t orientation) {
    JqflImageInfoBlock b{sizeof b, fileId_, 0, width, height, depth, colorModel, orientation};
    return call(JQFL_SET_IMAGE_INFO, &b);
}

int32_t CJqFileLib::rect(uint32_t command, int32_t left, int32_t top, int32_t right, int32_t bottom, uint32_t size,
                         uint8_t* buffer) {
    if (!entry_) return 0;
    const uint32_t sub = command == JQFL_READ_SUB_IMAGE ? subImage_ : 0;
    JqflRectBlock b{sizeof b, fileId_, sub, left, top, right, bottom, size, buffer};
    const int32_t rc = call(command, &b);
    rectSize_ = b.bufferSize;
    return rc;
}

int32_t CJqFileLib::ReadImage(int32_t l, int32_t t, int32_t r, int32_t b, uint32_t size, uint8_t* buffer) {
    return rect(JQFL_READ_IMAGE, l, t, r, b, size, buffer);
}

int32_t CJqFileLib::WriteImage(int32_t l, int32_t t, int32_t r, int32_t b, uint32_t size, uint8_t* buffer) {
    return rect(JQFL_WRITE_IMAGE, l, t, r, b, size, buffer);
}

int32_t CJqFileLib::ReadSubImage(int32_t l, int32_t t, int32_t r, int32_t b, uint32_t size, uint8_t* buffer) {
    return rect(JQFL_READ_SUB_IMAGE, l, t, r, b, size, buffer);
}

int32_t CJqFileLib::GetSubImageInfo(int32_t* width, int32_t* height, int32_t* depth, int32_t* colorModel,
                                    int32_t* orientation) {
    if (!entry_) return 0;
    JqflImageInfoBlock b{sizeof b, fileId_, subImage_, 0, 0, 0, 0, 0};
    const int32_t rc = call(JQFL_GET_SUB_IMAGE_INFO, &b);
    if (rc == 0) {
        if (width) *width = b.width;
        if (height) *height = b.height;
        if (depth) *depth = b.depth;
        if (colorModel) *colorModel = b.colorModel;
        if (orientation) *orientation = b.orientation;
    }
    return rc;
}

int32_t CJqFileLib::SetSubImageInfo(int32_t width, int32_t height, int32_t depth, int32_t colorModel,
                                    int32_t orientation) {
    JqflImageInfoBlock b{sizeof b, fileId_, subImage_, width, height, depth, colorModel, orientation};
    return call(JQFL_SET_SUB_IMAGE_INFO, &b);
}

int32_t CJqFileLib::GetInfoWords(int32_t words[4]) {
    if (!entry_) return 0;
    JqflInfoWordsBlock b{};
    b.size = sizeof b;
    b.fileId = fileId_;
    const int32_t rc = call(JQFL_GET_INFO_WORDS, &b);
    if (rc == 0)
        for (int i = 0; i < 4; ++i) words[i] = b.word[i];
    return rc;
}

int32_t CJqFileLib::GetTagCount(uint32_t* count) {
    if (!entry_) return 0;
    JqflTagListBlock b{sizeof b, fileId_, 0, nullptr};
    const int32_t rc = call(JQFL_GET_TAG_LIST, &b);
    if (rc == 0 && count) *count = b.count;
    return rc;
}

int32_t CJqFileLib::GetTagList(JqflTagEntry* list, uint32_t capacity) {
    if (!entry_) return 0;
    JqflTagListBlock b{sizeof b, fileId_, capacity, list};
    const int32_t rc = call(JQFL_GET_TAG_LIST, &b);
    if (rc == 0) tagListLength_ = b.count;
    return rc;
}

int32_t CJqFileLib::GetTag(uint32_t tag, uint32_t* type, uint32_t* count, uint32_t* size, void* buffer) {
    if (!entry_) return 0;
    JqflTagBlock b{sizeof b, fileId_, tag, 0, 0, buffer && size ? *size : 0, buffer};
    const int32_t rc = call(JQFL_GET_TAG, &b);
    if (type) *type = b.type;
    if (count) *count = b.count;
    if (size) *size = b.bufferSize;
    return rc;
}

int32_t CJqFileLib::SetTag(uint32_t tag, uint32_t type, uint32_t size, const void* data) {
    JqflTagBlock b{sizeof b, fileId_, tag, type, 0, size, const_cast<void*>(data)};
    return call(JQFL_SET_TAG, &b);
}

int32_t CJqFileLib::SaveFile(uint32_t format, uint32_t option, const char* path, JqflProgress progress,
                             void* reference) {
    JqflSaveBlock b{sizeof b, fileId_, 1, format, option, path, 0, progress, reference};
    return call(JQFL_SAVE_FILE, &b);
}

int32_t CJqFileLib::HasExifVersion(int32_t* flag) {
    if (!entry_) return 0;
    uint32_t type = 0, count = 0, size = 0;
    if (flag) *flag = GetTag(kExifVersion, &type, &count, &size, nullptr) == 0 ? 1 : 0;
    return 0;
}

int32_t CJqFileLib::IsBlankText(const char* text, int32_t length) {
    if (!text || !*text || length == 0)
        return 1;
    for (int32_t i = 0; i < length; ++i)
        if (text[i] != ' ')
            return 0;
    return 1;
}
