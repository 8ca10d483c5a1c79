#pragma once
// Every persistent choice of the viewer and the installation values: read from
// the registry (user values below HKEY_CURRENT_USER\Software\VOREL\Lumora), given
// defaults, brought into range, and written back by groups.
#include "viewer/shell/common/InstallInfo.h"
#include "viewer/shell/common/MessageIdRecord.h"

#include <array>
#include <cstdint>
#include <string>

struct TransferSettings {
    uint32_t Thumbnail = 1;
    uint32_t SaveImage = 1;
    uint32_t PrefixSuffix = 0;
    uint32_t Contents = 2;
    uint32_t CreateFile = 0;
    std::string PrefixTEXT;
    std::string TransferFile;
    std::string PrvTransferFile;
    std::string SerialNumber = "0";
};

struct DatabaseSettings {
    uint32_t CheckRegistry = 0;
    std::string DataBaseSoft;
    std::string Catalogfile;
    std::string FolderReg;
};

struct FileInfoSettings {
    uint32_t CaptionCopy = 1;
    std::array<uint32_t, 10> Check = {};     // Check1..Check10
    std::array<std::string, 10> Keyword;     // Keyword1..Keyword10
};

struct ViewerSettings {
    uint32_t CreateThumbnail = 0;
    uint32_t ViewerSoft = 0;
    std::string DinamicSoft;
    std::string StaticSoft;
};

struct StartUpRecord {
    uint32_t AutoStart = 0;
    uint32_t StartType = 0;
};

class CViewSettings {
public:
    CViewSettings() = default;
    virtual ~CViewSettings() = default;

    // The installation values and the StartID migration; true when all four reads succeed.
    bool ReadInstallInfo();
    // ReadInstallInfo (false at once when it fails), defaults, every user group, validation.
    bool LoadSettings();
    // StartUp, Transfer (without ImageSize, SelectTransfer, KeepSelect, CheckLocal,
    // CheckWeb), Database, FileInfo, Viewer; true only when every group was written.
    bool SaveSettings();

    bool ReadStartUp(StartUpRecord* record);
    bool WriteImageSize(uint32_t n);
    bool WritePrevViewInfo(uint32_t x, uint32_t y, uint32_t height, uint32_t width, uint32_t zoom,
                           uint32_t viewInfo, uint32_t thumbSize);
    bool WriteRepFolder(const std::string& path);
    bool WriteSelectTransfer(uint32_t select, uint32_t keep);
    bool WriteTransferDestChecks(uint32_t web, uint32_t local);
    bool WriteSerialNumber(const std::string& text);

    bool ReadMessageID(int index, MessageIdRecord* record) const;
    bool WriteMessageID(int index, const MessageIdRecord& record) const;
    bool LoadLastTarget(MessageIdRecord* record) const;
    bool SaveLastTarget(const MessageIdRecord& record) const;

    TransferSettings GetTransferSettings() const { return transfer_; }
    DatabaseSettings GetDatabaseSettings() const { return database_; }
    FileInfoSettings GetFileInfoSettings() const { return fileInfo_; }
    ViewerSettings GetViewerSettings() const { return viewer_; }
    void SetTransferSettings(const TransferSettings& s) { transfer_ = s; }
    void SetDatabaseSettings(const DatabaseSettings& s) { database_ = s; }
    void SetFileInfoSettings(const FileInfoSettings& s) { fileInfo_ = s; }
    void SetViewerSettings(const ViewerSettings& s) { viewer_ = s; }

    // The default folder: installation folder + "Images"; when that does not
    // exist, its parent (the root stays "/").
    std::string DefaultFolder() const;

    // Installation values.
    const std::string& Language() const { return install_.language; }
    const std::string& InstallDir() const { return install_.installDir; }
    const std::string& ViewerPath() const { return install_.viewerPath; }
    const std::string& CommonFilesDir() const { return install_.commonFilesDir; }
    const std::string& ProgramFilesDir() const { return install_.programFilesDir; }
    void SetInstallInfo(const InstallInfo& info) { install_ = info; }

    // User values outside the four groups.
    uint32_t AutoStart = 0;
    uint32_t StartType = 0;
    uint32_t ImageSize = 0;
    uint32_t X = 0, Y = 0, Height = 0, Width = 0;
    uint32_t Zoom = 0;
    uint32_t ViewInfo = 0;
    uint32_t ThumbSize = 96;
    std::string RepFolder;
    uint32_t SelectTransfer = 0;
    uint32_t KeepSelect = 0;
    uint32_t CheckWeb = 0;
    uint32_t CheckLocal = 1;

private:
    void SetDefaults();
    void ReadStartUpGroup();
    void ReadTransferGroup();
    void ReadFileInfoGroup();
    void ReadDatabaseGroup();
    void ReadViewerGroup();
    void ReadImageSize();
    void ReadPrevViewInfo();
    void ReadRepFolder();
    void ReadSelectTransfer();
    void ReadDestChecks();
    void Validate();
    std::string DatabaseFolderDefault() const;

    bool SaveStartUpGroup() const;
    bool SaveTransferGroup() const;
    bool SaveDatabaseGroup() const;
    bool SaveFileInfoGroup() const;
    bool SaveViewerGroup() const;

    InstallInfo install_;
    TransferSettings transfer_;
    DatabaseSettings database_;
    FileInfoSettings fileInfo_;
    ViewerSettings viewer_;
};

// Value checks of the loader, usable on their own.
bool IsValidPrefixText(const std::string& text);    // empty, or 1-8 of 0-9 A-Z a-z
std::string ValidSerialNumber(const std::string& text);  // decimal 1-999999 kept, else "0"
bool IsThumbSize(uint32_t size);                    // 64, 96, 128, 192, 256
