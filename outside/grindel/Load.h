#pragma once
#include <memory>
#include <string>
#include <vector>

#include "outside/grindel/PictureReaders.h"
#include "outside/grindel/VeltraLoad.h"

class Load final : public IVeltraLoad, public IVeltraProgress {
public:
    IVeltraError* Open(IVeltraFileStream* stream, IVeltraTagControl* tags, int32_t bufferSize,
                       int32_t flags) override;
    IVeltraError* Close() override;
    void Release() override { delete this; }
    IVeltraError* GetFileFormat(int32_t* format) override;
    IVeltraError* SetDestination(IVeltraImage* image) override;
    IVeltraProgress* GetProgressInterface() override { return this; }

    IVeltraError* Step() override;
    IVeltraError* IsDone(bool* done) override;
    IVeltraError* GetProgress(int32_t* done, int32_t* total) override;

private:
    std::unique_ptr<PictureReader> m_reader;
    IVeltraImage* m_image = nullptr;
    int32_t m_bufferSize = 0;
    int32_t m_bandRows = 0;
    int32_t m_rowBytes = 0;
    int32_t m_row = 0;
    std::unique_ptr<unsigned char[]> m_band;  // rows decoded, then handed to the image
};
