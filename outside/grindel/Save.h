#pragma once
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "outside/grindel/VeltraSave.h"

class JpegFileWriter;
class TagControl;

class Save final : public IVeltraSave, public IVeltraProgress {
public:
    Save();
    ~Save();
    IVeltraError* Open(IVeltraFileStream* stream, IVeltraTagControl* tags, int32_t format, int32_t option) override;
    IVeltraError* Close() override;
    void Release() override { delete this; }
    IVeltraError* SetSource(IVeltraDataSource* source, int32_t flags, int32_t reserved) override;
    IVeltraProgress* GetProgressInterface() override { return this; }

    IVeltraError* Step() override;
    IVeltraError* IsDone(bool* done) override;
    IVeltraError* GetProgress(int32_t* done, int32_t* total) override;

private:
    IVeltraError* Begin();
    IVeltraError* CopyBand(int32_t tileRow, int32_t rows);
    IVeltraError* Finish();
    void Abandon();

    bool m_open = false;
    std::string m_path;
    TagControl* m_tags = nullptr;
    int32_t m_quality = 90;
    IVeltraDataSource* m_source = nullptr;
    int32_t m_width = 0;
    int32_t m_height = 0;
    int32_t m_colorSpace = 0;
    int32_t m_tileSize = 0;
    int32_t m_row = 0;
    bool m_done = false;
    std::string m_tempPath;
    std::unique_ptr<JpegFileWriter> m_writer;
    std::vector<unsigned char> m_band;
};
