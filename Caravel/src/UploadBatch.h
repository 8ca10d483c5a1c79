#pragma once
// The queue in memory: one record per accepted picture, in the order of the files list's rows.
#include <cstdint>
#include <list>
#include <string>

namespace caravel {

struct UploadFileRecord {
    std::string sourcePath;
    std::string workPath;      // the file uploaded: the source for a JPEG, else the converted copy
    int16_t owner = 1;         // 0: the program owns the source and deletes it
    bool workFileMade = false; // a converted copy was written to the work path
    int32_t orientation = 0;
    bool processed = false;    // ready for upload
};

struct UploadBatch {
    std::list<UploadFileRecord> records;
};

}  // namespace caravel
