#pragma once
// CJqFileLib: the thin object that loads the image-file library for one picture
// (or one new picture being written), fills the parameter block of each command,
// calls the library's one entry and keeps the few values callers read back.
// With the library or its entry missing the object is inert: every operation
// returns 0 at once and leaves its outputs as they were.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "outside/imagefile/JqFileLib.h"
#include "viewer/sources/PictureRecords.h"

class CJqFileLib {
public:
    // Where the library and the work files are; set once by the application from
    // its settings. Defaults: the system root's Common Files and temp folders.
    static void SetCommonFilesDir(const std::string& folder);
    static void SetWorkFolder(const std::string& folder);
    static std::string LibraryPath();

    explicit CJqFileLib(const std::string& picturePath);
    virtual ~CJqFileLib();
    CJqFileLib(const CJqFileLib&) = delete;
    CJqFileLib& operator=(const CJqFileLib&) = delete;

    bool IsLoaded() const { return entry_ != nullptr; }

    int32_t Initialize();
    int32_t Terminate();
    int32_t OpenFile(const char* path = nullptr);  // null: the object's own picture
    int32_t NewImage();
    void CloseFile();
    int32_t GetFileType();
    int32_t GetImageInfo(int32_t* width, int32_t* height, int32_t* depth, int32_t* colorModel);
    int32_t SetImageInfo(int32_t width, int32_t height, int32_t depth, int32_t colorModel, int32_t orientation);
    int32_t ReadImage(int32_t left, int32_t top, int32_t right, int32_t bottom, uint32_t size, uint8_t* buffer);
    int32_t WriteImage(int32_t left, int32_t top, int32_t right, int32_t bottom, uint32_t size, uint8_t* buffer);
    // Sub-image (reduced picture) of index SubImageIndex(): commands 33, 289, 34.
    // Lets the thumbnail (sub-image) come from the picture's own EXIF thumbnail where
    // that shows the same picture at the asked size; else it is built from the picture.
    int32_t AllowEmbeddedThumbnail(bool allowed);
    int32_t GetSubImageInfo(int32_t* width, int32_t* height, int32_t* depth, int32_t* colorModel, int32_t* orientation);
    int32_t SetSubImageInfo(int32_t width, int32_t height, int32_t depth, int32_t colorModel, int32_t orientation);
    int32_t ReadSubImage(int32_t left, int32_t top, int32_t right, int32_t bottom, uint32_t size, uint8_t* buffer);
    int32_t GetInfoWords(int32_t words[4]);
    int32_t GetTagCount(uint32_t* count);
    int32_t GetTagList(JqflTagEntry* list, uint32_t capacity);
    int32_t GetTag(uint32_t tag, uint32_t* type, uint32_t* count, uint32_t* size, void* buffer);
    int32_t SetTag(uint32_t tag, uint32_t type, uint32_t size, const void* data);
    int32_t SaveFile(uint32_t format, uint32_t option, const char* path, JqflProgress progress = nullptr,
                     void* reference = nullptr);

    int32_t HasExifVersion(int32_t* flag);
    static int32_t IsBlankText(const char* text, int32_t length);
    // Fills the shooting information from the picture's tags; colorModel is the
    // picture's colour model, or -1 when it could not be read. 1 on success.
    int32_t BuildShotInfo(ShotInfo* info, int32_t colorModel);

    uint32_t FileId() const { return fileId_; }
    uint32_t FileType() const { return fileType_; }
    uint32_t LastRectSize() const { return rectSize_; }
    uint32_t SubImageIndex() const { return subImage_; }
    uint32_t TagListLength() const { return tagListLength_; }
    const std::string& PicturePath() const { return picturePath_; }
    const std::string& WorkFilePath() const { return workPath_; }

private:
    int32_t call(uint32_t command, void* block);
    int32_t rect(uint32_t command, int32_t left, int32_t top, int32_t right, int32_t bottom, uint32_t size,
                 uint8_t* buffer);
    bool readTagBytes(uint32_t tag, uint32_t* type, std::string* bytes);

    void* module_ = nullptr;  // the process-wide load of the library, never closed here
    JqflEntryProc entry_ = nullptr;
    uint32_t fileId_ = 0;
    uint32_t fileType_ = 0;
    uint32_t rectSize_ = 0;
    uint32_t subImage_ = 0;
    uint32_t tagListLength_ = 0;
    std::string picturePath_;
    std::string workPath_;
};

// The composed maker texts of the shooting information, each from a pair of the
// library's maker tags: "main (detail)", or whichever of the two is there.
std::optional<std::string> JoinedMakerText(const std::optional<std::string>& main,
                                           const std::optional<std::string>& detail);
// "18-135 mm", or "50 mm" for a lens of one focal length; nothing for a range
// that is none.
std::optional<std::string> FocalRangeText(double shortest, double longest);
// The lens name, with its focal range when the name does not give it.
std::optional<std::string> LensText(const std::optional<std::string>& name, const std::optional<std::string>& range);
