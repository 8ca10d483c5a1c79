#pragma once
// CTransFileList: the pictures a transfer takes from the source, one
// TransFileRecord each, with the total and largest size for the space checks.
// Mode 0 lists the source's folders with the SelectTransfer filter, mode 2 the
// pictures the camera marked for transfer, mode 1 the browser's selection.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CImageFileIf;

struct TransFileRecord {
    std::string sourceFolder;
    std::string fileName;
    int32_t readOnly = 0;
    int32_t hidden = 0;
    int64_t time = 0;       // seconds, as the picture-access object gives it
    uint64_t size = 0;      // bytes (64-bit: large transfers must not wrap the space checks)
    int32_t rotation = 0;   // quarter turns given in the browser; 0 for folder lists
};

using TransFileArray = std::vector<std::unique_ptr<TransFileRecord>>;

// What the browser hands over in mode 1: its folder and its items.
struct TransSelectionItem {
    std::string name;
    bool selected = false;
    int32_t rotation = 0;
};
struct TransSelection {
    std::string folder;
    std::vector<TransSelectionItem> items;
};

class CTransFileList {
public:
    enum Mode : int32_t { kPanel = 0, kSelection = 1, kCameraRequest = 2 };

    explicit CTransFileList(CImageFileIf* source) : source_(source) {}
    virtual ~CTransFileList() = default;

    // Fills *array (made when null). On failure the array is emptied and reset
    // and the picture-access code returned; else 0 with the totals.
    int32_t Build(int32_t mode, uint32_t selectTransfer, uint32_t saveImage, const TransSelection* selection,
                  std::unique_ptr<TransFileArray>* array, uint64_t* total, uint64_t* largest);

    static void AddRecord(TransFileArray& array, const std::string& folder, const std::string& name, int32_t readOnly,
                          int32_t hidden, int64_t time, uint64_t size, int32_t rotation);

private:
    int32_t folderList(uint32_t filter, uint32_t saveImage, TransFileArray& array);
    int32_t selectionList(const TransSelection& selection, TransFileArray& array);
    void count(uint64_t size);

    CImageFileIf* source_;
    uint64_t total_ = 0;
    uint64_t largest_ = 0;
};
