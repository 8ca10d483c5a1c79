#pragma once
// One upload run on its own thread: every picture not yet processed is converted, then every
// processed one is uploaded; the cancel flag is looked at between steps.
#include "Caravel/src/PictureConverter.h"
#include "Caravel/src/UploadQueue.h"
#include "Caravel/src/UploadTarget.h"
#include "Caravel/src/UploaderView.h"

#include <cstdint>
#include <string>

namespace caravel {

// Largest converted picture the service takes.
inline constexpr int64_t kMaxUploadSize = 2097152;

class UploadWorker {
public:
    UploadWorker(UploadQueue* queue, PictureConverter* converter, UploadTarget* target, UploaderView* view,
                 int32_t imageSize);

    // The whole run: conversion pass, then the upload pass when it allows.
    void Run();
    // Returns whether the upload pass may follow.
    bool ProcessAllFiles();
    void UploadAllFiles();

private:
    // Drops the record and its files-list row.
    void DropRecord(UploadBatch& batch, std::list<UploadFileRecord>::iterator& it, int16_t index, int16_t* total);

    UploadQueue* m_queue;
    PictureConverter* m_converter;
    UploadTarget* m_target;
    UploaderView* m_view;
    int32_t m_imageSize;
};

}  // namespace caravel
