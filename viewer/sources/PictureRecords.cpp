#include "viewer/sources/PictureRecords.h"

#include <strings.h>

void FreeFileInfoArray(FileInfoArray& array) {
    while (!array.empty())
        array.pop_back();
}

void FreeBitmapArray(PictureRecord& record) {
    std::vector<BitmapRecord>().swap(record.blocks);
    record.tilesAcross = 0;
    record.tilesDown = 0;
}

void FreePictureRecord(std::unique_ptr<PictureRecord>& record, bool withRecord) {
    if (!record)
        return;
    FreeBitmapArray(*record);
    if (withRecord)
        record.reset();
}

bool IsMovieName(const std::string& name) {
    return name.size() >= 4 && strcasecmp(name.c_str() + name.size() - 4, ".MOV") == 0;
}
