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

// Longest text values, in characters (UTF-16 units, as the settings sheet's
// fields count them). They are read into buffers that hold that many in UTF-8,
// where one unit takes at most three bytes, so whatever the sheet takes is read
// back whole in every language.
constexpr std::size_t kMaxPath = 259;
constexpr std::size_t kMaxKeyword = 31;
constexpr std::size_t kMaxPrefix = 8;
constexpr std::size_t kMaxSerial = 6;

// The text's length in UTF-16 units: a character beyond the basic plane counts two.
std::size_t Utf16Units(const std::string& text)
{
    std::size_t units = 0;
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if ((b & 0xC0) != 0x80)
            units += b >= 0xF0 ? 2 : 1;
    }
    return units;
}

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
    // A text of at most maxUnits characters; a longer one is a failed read.
    bool String(const char* name, std::size_t maxUnits, std::string* text) const
    {
        if (!ok_)
            return false;
        const auto bytes = static_cast<uint32_t>(maxUnits * 3 + 1);
        std::string buf(bytes, '\0');
        if (key_.queryString(name, buf.data(), bytes) != RegResult::Ok)
            return false;
        if (Utf16Units(buf.c_str()) > maxUnits)
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
    if (Utf16Units(*s) > max)
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
    key.String("PrefixTEXT", kMaxPrefix, &transfer_.PrefixTEXT);
    key.String("TransferFile", kMaxPath, &transfer_.TransferFile);
    key.String("PrvTransferFile", kMaxPath, &transfer_.PrvTransferFile);
    key.String("SerialNumber", kMaxSerial, &transfer_.SerialNumber);
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
        if (!key.String(Numbered("Keyword", i + 1).c_str(), kMaxKeyword, &keyword))
            keyword.clear();
    }
}

void CViewSettings::ReadDatabaseGroup()
{
    ReadKey key(kDatabaseKey);
    key.Dword("CheckRegistry", &database_.CheckRegistry);
    key.String("DataBaseSoft", kMaxPath, &database_.DataBaseSoft);
    key.String("Catalogfile", kMaxPath, &database_.Catalogfile);
    key.String("FolderReg", kMaxPath, &database_.FolderReg);
}

void CViewSettings::ReadViewerGroup()
{
    ReadKey key(kViewerKey);
    key.Dword("CreateThumbnail", &viewer_.CreateThumbnail);
    key.Dword("ViewerSoft", &viewer_.ViewerSoft);
    key.String("DinamicSoft", kMaxPath, &viewer_.DinamicSoft);
    key.String("StaticSoft", kMaxPath, &viewer_.StaticSoft);
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
    ReadKey(kRepFolderKey).String("FolderReg", kMaxPath, &RepFolder);
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
    if (key.String(kNameValue, kMaxPath, &name))
        record->SetName(name);
    if (key.String(kCapabilityValue, kMaxPath, &capability))
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
