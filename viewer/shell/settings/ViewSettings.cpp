#include "viewer/shell/settings/ViewSettings.h"

#include "viewer/shell/common/RegistryNames.h"

#include "platform/registry/Registry.h"

#include <sys/stat.h>

#include <cctype>
#include <cstring>
#include <cstdlib>

namespace {

using plat::Hive;
using plat::RegKey;
using plat::RegResult;
using plat::RegType;

constexpr const char* kTransferKey = "Software\\VOREL\\Lumora\\Settings\\Transfer";
constexpr const char* kDatabaseKey = "Software\\VOREL\\Lumora\\Settings\\Database";
constexpr const char* kFileInfoKey = "Software\\VOREL\\Lumora\\Settings\\FileInfo";
constexpr const char* kViewerKey = "Software\\VOREL\\Lumora\\Settings\\Viewer";
constexpr const char* kRepFolderKey = "Software\\VOREL\\Lumora\\Settings\\RepFolder";
constexpr const char* kPrevViewInfoKey = "Software\\VOREL\\Lumora\\PrevViewInfo";
constexpr const char* kImagesFolder = "Images";  // 62053

// Read buffer sizes of the string values (bytes, terminating zero included).
constexpr uint32_t kPathBytes = 260;
constexpr uint32_t kPrefixBytes = 9;
constexpr uint32_t kSerialBytes = 7;
constexpr uint32_t kKeywordBytes = 32;
constexpr std::size_t kMaxPath = kPathBytes - 1;
constexpr std::size_t kMaxKeyword = kKeywordBytes - 1;

// A key opened for reading; every read on a key that is missing fails, so the
// group keeps its defaults.
class ReadKey {
public:
    explicit ReadKey(const char* path) { ok_ = plat::Registry::open(Hive::CurrentUser, path, &key_) == RegResult::Ok; }
    bool ok() const { return ok_; }

    // Leaves *value as it was when the value is missing or not a DWORD.
    void Dword(const char* name, uint32_t* value) const
    {
        uint32_t v = 0;
        if (ok_ && key_.queryDword(name, &v) == RegResult::Ok)
            *value = v;
    }
    // Leaves *text as it was when missing or too long for `bytes`.
    bool String(const char* name, uint32_t bytes, std::string* text) const
    {
        if (!ok_)
            return false;
        std::string buf(bytes, '\0');
        if (key_.queryString(name, buf.data(), bytes) != RegResult::Ok)
            return false;
        *text = buf.c_str();
        return true;
    }

private:
    RegKey key_;
    bool ok_ = false;
};

// A key created for writing; every write reports into ok().
class WriteKey {
public:
    explicit WriteKey(const char* path) { ok_ = plat::Registry::create(Hive::CurrentUser, path, &key_) == RegResult::Ok; }
    bool ok() const { return ok_; }
    void Dword(const char* name, uint32_t value)
    {
        if (ok_)
            ok_ = key_.setDword(name, value) == RegResult::Ok;
    }
    // Strings are REG_MULTI_SZ with their length + 1 bytes.
    void String(const char* name, const std::string& text)
    {
        if (ok_)
            ok_ = key_.setString(name, text, RegType::MultiString) == RegResult::Ok;
    }

private:
    RegKey key_;
    bool ok_ = false;
};

void Bool(uint32_t* v, uint32_t replacement)
{
    if (*v > 1)
        *v = replacement;
}

void Range(uint32_t* v, uint32_t max, uint32_t replacement)
{
    if (*v > max)
        *v = replacement;
}

void Limit(std::string* s, std::size_t max, const std::string& replacement)
{
    if (s->size() > max)
        *s = replacement;
}

std::string Numbered(const char* base, int n)
{
    return base + std::to_string(n);
}

bool Exists(const std::string& path)
{
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

std::string WithSeparator(const std::string& folder)
{
    if (!folder.empty() && (folder.back() == '/' || folder.back() == '\\'))
        return folder;
    return folder + "/";
}

}  // namespace

bool IsValidPrefixText(const std::string& text)
{
    if (text.size() > 8)
        return false;
    for (unsigned char c : text)
        if (!std::isalnum(c) || c > 0x7F)
            return false;
    return true;
}

std::string ValidSerialNumber(const std::string& text)
{
    if (text.empty() || text.size() > 6)
        return "0";
    for (unsigned char c : text)
        if (!std::isdigit(c))
            return "0";
    const long n = std::strtol(text.c_str(), nullptr, 10);
    return n >= 1 && n <= 999999 ? text : "0";
}

bool IsThumbSize(uint32_t size)
{
    return size == 64 || size == 96 || size == 128 || size == 192 || size == 256;
}

bool CViewSettings::ReadInstallInfo()
{
    return ::ReadInstallInfo(&install_);
}

bool CViewSettings::LoadSettings()
{
    if (!ReadInstallInfo())
        return false;
    SetDefaults();
    ReadStartUpGroup();
    ReadTransferGroup();
    ReadFileInfoGroup();
    ReadDatabaseGroup();
    ReadViewerGroup();
    ReadImageSize();
    ReadPrevViewInfo();
    ReadRepFolder();
    ReadSelectTransfer();
    ReadDestChecks();
    Validate();
    return true;
}

std::string CViewSettings::DefaultFolder() const
{
    const std::string images = WithSeparator(install_.installDir) + kImagesFolder;
    if (Exists(images))
        return images;
    const std::size_t slash = images.find_last_of('/');
    if (slash == std::string::npos)
        return images;
    return slash == 0 ? std::string("/") : images.substr(0, slash);
}

std::string CViewSettings::DatabaseFolderDefault() const
{
    return WithSeparator(install_.installDir) + kImagesFolder;
}

void CViewSettings::SetDefaults()
{
    const std::string folder = DefaultFolder();
    AutoStart = 0;
    StartType = 0;
    transfer_ = TransferSettings{};
    transfer_.TransferFile = folder;
    transfer_.PrvTransferFile = folder;
    database_ = DatabaseSettings{};
    database_.FolderReg = DatabaseFolderDefault();
    fileInfo_ = FileInfoSettings{};
    viewer_ = ViewerSettings{};
    ImageSize = 0;
    X = Y = Height = Width = 0;
    Zoom = 0;
    ViewInfo = 0;
    ThumbSize = 96;
    RepFolder = folder;
    SelectTransfer = 0;
    KeepSelect = 0;
    CheckWeb = 0;
    CheckLocal = 1;
}

void CViewSettings::ReadStartUpGroup()
{
    ReadKey key(kStartUpKey);
    key.Dword(kAutoStartValue, &AutoStart);
    key.Dword(kStartTypeValue, &StartType);
}

void CViewSettings::ReadTransferGroup()
{
    ReadKey key(kTransferKey);
    key.Dword("Thumbnail", &transfer_.Thumbnail);
    key.Dword("SaveImage", &transfer_.SaveImage);
    key.Dword("PrefixSuffix", &transfer_.PrefixSuffix);
    key.Dword("Contents", &transfer_.Contents);
    key.Dword("CreateFile", &transfer_.CreateFile);
    key.String("PrefixTEXT", kPrefixBytes, &transfer_.PrefixTEXT);
    key.String("TransferFile", kPathBytes, &transfer_.TransferFile);
    key.String("PrvTransferFile", kPathBytes, &transfer_.PrvTransferFile);
    key.String("SerialNumber", kSerialBytes, &transfer_.SerialNumber);
}

void CViewSettings::ReadFileInfoGroup()
{
    ReadKey key(kFileInfoKey);
    key.Dword("CaptionCopy", &fileInfo_.CaptionCopy);
    for (int i = 0; i < 10; ++i)
        key.Dword(Numbered("Check", i + 1).c_str(), &fileInfo_.Check[static_cast<std::size_t>(i)]);
    for (int i = 0; i < 10; ++i) {
        std::string& keyword = fileInfo_.Keyword[static_cast<std::size_t>(i)];
        // A failed read leaves the (empty) buffer, not the default.
        if (!key.String(Numbered("Keyword", i + 1).c_str(), kKeywordBytes, &keyword))
            keyword.clear();
    }
}

void CViewSettings::ReadDatabaseGroup()
{
    ReadKey key(kDatabaseKey);
    key.Dword("CheckRegistry", &database_.CheckRegistry);
    key.String("DataBaseSoft", kPathBytes, &database_.DataBaseSoft);
    key.String("Catalogfile", kPathBytes, &database_.Catalogfile);
    key.String("FolderReg", kPathBytes, &database_.FolderReg);
}

void CViewSettings::ReadViewerGroup()
{
    ReadKey key(kViewerKey);
    key.Dword("CreateThumbnail", &viewer_.CreateThumbnail);
    key.Dword("ViewerSoft", &viewer_.ViewerSoft);
    key.String("DinamicSoft", kPathBytes, &viewer_.DinamicSoft);
    key.String("StaticSoft", kPathBytes, &viewer_.StaticSoft);
}

void CViewSettings::ReadImageSize()
{
    ReadKey(kTransferKey).Dword("ImageSize", &ImageSize);
}

void CViewSettings::ReadPrevViewInfo()
{
    ReadKey key(kPrevViewInfoKey);
    key.Dword("X", &X);
    key.Dword("Y", &Y);
    key.Dword("Height", &Height);
    key.Dword("Width", &Width);
    key.Dword("Zoom", &Zoom);
    key.Dword("ViewInfo", &ViewInfo);
    key.Dword("ThumbSize", &ThumbSize);
}

void CViewSettings::ReadRepFolder()
{
    ReadKey(kRepFolderKey).String("FolderReg", kPathBytes, &RepFolder);
}

void CViewSettings::ReadSelectTransfer()
{
    ReadKey key(kTransferKey);
    key.Dword("SelectTransfer", &SelectTransfer);
    key.Dword("KeepSelect", &KeepSelect);
}

void CViewSettings::ReadDestChecks()
{
    ReadKey key(kTransferKey);
    key.Dword("CheckLocal", &CheckLocal);
    key.Dword("CheckWeb", &CheckWeb);
}

void CViewSettings::Validate()
{
    Bool(&AutoStart, 0);
    Bool(&StartType, 0);
    Bool(&transfer_.Thumbnail, 1);
    Bool(&transfer_.SaveImage, 1);
    Range(&transfer_.PrefixSuffix, 2, 0);
    Range(&transfer_.Contents, 3, 2);
    Bool(&transfer_.CreateFile, 0);
    if (!IsValidPrefixText(transfer_.PrefixTEXT))
        transfer_.PrefixTEXT.clear();
    Limit(&transfer_.TransferFile, kMaxPath, "");
    Limit(&transfer_.PrvTransferFile, kMaxPath, "");
    transfer_.SerialNumber = ValidSerialNumber(transfer_.SerialNumber);
    Bool(&database_.CheckRegistry, 0);
    Limit(&database_.DataBaseSoft, kMaxPath, "");
    Limit(&database_.Catalogfile, kMaxPath, "");
    Limit(&database_.FolderReg, kMaxPath, DatabaseFolderDefault());
    Bool(&fileInfo_.CaptionCopy, 1);
    for (uint32_t& check : fileInfo_.Check)
        Bool(&check, 0);
    for (std::string& keyword : fileInfo_.Keyword)
        Limit(&keyword, kMaxKeyword, "");
    Bool(&viewer_.CreateThumbnail, 0);
    Bool(&viewer_.ViewerSoft, 0);
    Limit(&viewer_.DinamicSoft, kMaxPath, "");
    Limit(&viewer_.StaticSoft, kMaxPath, "");
    Range(&ImageSize, 3, 0);
    Bool(&Zoom, 0);
    Range(&ViewInfo, 3, 0);
    if (!IsThumbSize(ThumbSize))
        ThumbSize = 96;
    Limit(&RepFolder, kMaxPath, "");
    Range(&SelectTransfer, 4, 0);
    Bool(&KeepSelect, 0);
    Bool(&CheckWeb, 0);
    Bool(&CheckLocal, 0);
}

bool CViewSettings::SaveSettings()
{
    const bool startUp = SaveStartUpGroup();
    const bool transfer = SaveTransferGroup();
    const bool database = SaveDatabaseGroup();
    const bool fileInfo = SaveFileInfoGroup();
    const bool viewer = SaveViewerGroup();
    return startUp && transfer && database && fileInfo && viewer;
}

bool CViewSettings::SaveStartUpGroup() const
{
    WriteKey key(kStartUpKey);
    key.Dword(kAutoStartValue, AutoStart);
    key.Dword(kStartTypeValue, StartType);
    return key.ok();
}

bool CViewSettings::SaveTransferGroup() const
{
    WriteKey key(kTransferKey);
    key.Dword("Thumbnail", transfer_.Thumbnail);
    key.Dword("SaveImage", transfer_.SaveImage);
    key.Dword("PrefixSuffix", transfer_.PrefixSuffix);
    key.Dword("Contents", transfer_.Contents);
    key.Dword("CreateFile", transfer_.CreateFile);
    key.String("PrefixTEXT", transfer_.PrefixTEXT);
    key.String("TransferFile", transfer_.TransferFile);
    key.String("PrvTransferFile", transfer_.PrvTransferFile);
    key.String("SerialNumber", transfer_.SerialNumber);
    return key.ok();
}

bool CViewSettings::SaveDatabaseGroup() const
{
    WriteKey key(kDatabaseKey);
    key.Dword("CheckRegistry", database_.CheckRegistry);
    key.String("DataBaseSoft", database_.DataBaseSoft);
    key.String("Catalogfile", database_.Catalogfile);
    key.String("FolderReg", database_.FolderReg);
    return key.ok();
}

bool CViewSettings::SaveFileInfoGroup() const
{
    WriteKey key(kFileInfoKey);
    key.Dword("CaptionCopy", fileInfo_.CaptionCopy);
    for (int i = 0; i < 10; ++i)
        key.Dword(Numbered("Check", i + 1).c_str(), fileInfo_.Check[static_cast<std::size_t>(i)]);
    for (int i = 0; i < 10; ++i)
        key.String(Numbered("Keyword", i + 1).c_str(), fileInfo_.Keyword[static_cast<std::size_t>(i)]);
    return key.ok();
}

bool CViewSettings::SaveViewerGroup() const
{
    WriteKey key(kViewerKey);
    key.Dword("CreateThumbnail", viewer_.CreateThumbnail);
    key.Dword("ViewerSoft", viewer_.ViewerSoft);
    key.String("DinamicSoft", viewer_.DinamicSoft);
    key.String("StaticSoft", viewer_.StaticSoft);
    return key.ok();
}

bool CViewSettings::ReadStartUp(StartUpRecord* record)
{
    *record = StartUpRecord{};
    ReadKey key(kStartUpKey);
    if (!key.ok())
        return false;
    key.Dword(kAutoStartValue, &record->AutoStart);
    key.Dword(kStartTypeValue, &record->StartType);
    if (record->StartType > 1)
        record->StartType = 0;
    if (record->AutoStart > 1) {
        record->AutoStart = 0;
        AutoStart = 0;
    }
    return true;
}

bool CViewSettings::WriteImageSize(uint32_t n)
{
    ImageSize = n;
    WriteKey key(kTransferKey);
    key.Dword("ImageSize", n);
    return key.ok();
}

bool CViewSettings::WritePrevViewInfo(uint32_t x, uint32_t y, uint32_t height, uint32_t width, uint32_t zoom,
                                      uint32_t viewInfo, uint32_t thumbSize)
{
    X = x;
    Y = y;
    Height = height;
    Width = width;
    Zoom = zoom;
    ViewInfo = viewInfo;
    ThumbSize = thumbSize;
    WriteKey key(kPrevViewInfoKey);
    key.Dword("X", x);
    key.Dword("Y", y);
    key.Dword("Height", height);
    key.Dword("Width", width);
    key.Dword("Zoom", zoom);
    key.Dword("ViewInfo", viewInfo);
    key.Dword("ThumbSize", thumbSize);
    return key.ok();
}

bool CViewSettings::WriteRepFolder(const std::string& path)
{
    RepFolder = path;
    WriteKey key(kRepFolderKey);
    key.String("FolderReg", path);
    return key.ok();
}

bool CViewSettings::WriteSelectTransfer(uint32_t select, uint32_t keep)
{
    SelectTransfer = select;
    KeepSelect = keep;
    WriteKey key(kTransferKey);
    key.Dword("SelectTransfer", select);
    key.Dword("KeepSelect", keep);
    return key.ok();
}

bool CViewSettings::WriteTransferDestChecks(uint32_t web, uint32_t local)
{
    CheckWeb = web;
    CheckLocal = local;
    WriteKey key(kTransferKey);
    key.Dword("CheckWeb", web);
    key.Dword("CheckLocal", local);
    return key.ok();
}

bool CViewSettings::WriteSerialNumber(const std::string& text)
{
    transfer_.SerialNumber = text;
    WriteKey key(kTransferKey);
    key.String("SerialNumber", text);
    return key.ok();
}

bool CViewSettings::ReadMessageID(int index, MessageIdRecord* record) const
{
    return ::ReadMessageID(index, record);
}

bool CViewSettings::WriteMessageID(int index, const MessageIdRecord& record) const
{
    return ::WriteMessageID(index, record);
}

bool CViewSettings::LoadLastTarget(MessageIdRecord* record) const
{
    record->Clear();
    ReadKey key(kLastTargetKey);
    if (!key.ok())
        return false;
    std::string name, capability;
    if (key.String(kNameValue, kPathBytes, &name))
        record->SetName(name);
    if (key.String(kCapabilityValue, kPathBytes, &capability))
        record->SetCapability(capability);
    return true;
}

bool CViewSettings::SaveLastTarget(const MessageIdRecord& record) const
{
    WriteKey key(kLastTargetKey);
    key.String(kNameValue, std::string(record.Name, ::strnlen(record.Name, sizeof record.Name)));
    key.String(kCapabilityValue, std::string(record.Capability, ::strnlen(record.Capability, sizeof record.Capability)));
    return key.ok();
}
