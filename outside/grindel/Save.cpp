#include "outside/grindel/Save.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "outside/grindel/Grindel.h"
#include "outside/grindel/JpegFileWriter.h"
#include "outside/grindel/TagControl.h"
#include "outside/veltra/VeltraDataSource.h"

namespace {

IVeltraError* fail(int32_t line, int32_t code) { return IVeltraError::Add(nullptr, kGrindelModule, line, 0, code); }
IVeltraError* fail(int32_t line, const char* text) { return IVeltraError::Add(nullptr, kGrindelModule, line, text); }

int32_t qualityFor(int32_t option)
{
    switch (option) {
    case 1: return 50;
    case 2: return 75;
    case 3: return 90;
    case 4: return 95;
    default: return 0;
    }
}

// Components written for a source colour space; 0 when it cannot be written as JPEG.
int32_t componentsFor(int32_t colorSpace)
{
    switch (colorSpace) {
    case 2: case 3: case 19: return 1;
    case 32: case 33: case 38: return 3;
    default: return 0;
    }
}

// One row of source pixels to 8-bit grey or RGB (16 bits keep their high byte).
void toJpegRow(const unsigned char* in, unsigned char* out, int32_t pixels, int32_t colorSpace)
{
    switch (colorSpace) {
    case 3:
    case 33: {
        const int32_t n = pixels * (colorSpace == 3 ? 1 : 3);
        for (int32_t i = 0; i < n; ++i) {
            uint16_t v;
            std::memcpy(&v, in + 2 * i, 2);
            out[i] = static_cast<unsigned char>(v >> 8);
        }
        break;
    }
    case 38:
        for (int32_t x = 0; x < pixels; ++x) {
            out[3 * x] = in[3 * x + 2];
            out[3 * x + 1] = in[3 * x + 1];
            out[3 * x + 2] = in[3 * x];
        }
        break;
    default:
        std::memcpy(out, in, static_cast<size_t>(pixels) * static_cast<size_t>(componentsFor(colorSpace)));
    }
}

}  // namespace

IVeltraError* IVeltraSave::CreateSave(IVeltraSave** save)
{
    if (!save) return fail(__LINE__, kVeltraBadArgument);
    *save = new (std::nothrow) Save;
    return *save ? nullptr : fail(__LINE__, kVeltraOutOfMemory);
}

Save::Save() = default;

Save::~Save() { Abandon(); }

IVeltraError* Save::Open(IVeltraFileStream* stream, IVeltraTagControl* tags, int32_t format, int32_t option)
{
    if (m_open) return fail(__LINE__, kVeltraBadState);
    if (!stream || !*stream->GetPath()) return fail(__LINE__, kVeltraBadArgument);
    if (format != kGrindelSaveJpeg) return fail(__LINE__, "file format cannot be written");
    if (!qualityFor(option)) return fail(__LINE__, kVeltraBadArgument);
    m_path = stream->GetPath();
    m_tags = dynamic_cast<TagControl*>(tags);
    m_quality = qualityFor(option);
    m_open = true;
    return nullptr;
}

IVeltraError* Save::SetSource(IVeltraDataSource* source, int32_t flags, int32_t reserved)
{
    if (!m_open) return fail(__LINE__, kVeltraBadState);
    if (!source || flags != 0 || reserved != 0) return fail(__LINE__, kVeltraBadArgument);
    Abandon();
    m_source = source;
    if (IVeltraError* e = source->GetSize(&m_width, &m_height)) return VELTRA_WRAP(kGrindelModule, e);
    return nullptr;
}

IVeltraError* Save::Begin()
{
    if (IVeltraError* e = m_source->GetSize(&m_width, &m_height)) return VELTRA_WRAP(kGrindelModule, e);
    if (IVeltraError* e = m_source->GetColorSpace(&m_colorSpace)) return VELTRA_WRAP(kGrindelModule, e);
    if (IVeltraError* e = m_source->GetTileSize(&m_tileSize)) return VELTRA_WRAP(kGrindelModule, e);
    double resolution = 0;
    if (IVeltraError* e = m_source->GetResolution(&resolution)) return VELTRA_WRAP(kGrindelModule, e);
    const int32_t components = componentsFor(m_colorSpace);
    if (!components) return fail(__LINE__, "colour space cannot be written as JPEG");
    if (m_width <= 0 || m_height <= 0 || m_width > 65500 || m_height > 65500 || m_tileSize <= 0)
        return fail(__LINE__, "picture size cannot be written as JPEG");

    // Written beside the target and renamed over it at the end: no half-written file.
    m_tempPath = m_path + ".partXXXXXX";
    const int fd = mkostemp(m_tempPath.data(), O_CLOEXEC);
    if (fd < 0) {
        m_tempPath.clear();
        return fail(__LINE__, "cannot create the file");
    }
    fchmod(fd, 0644);
    std::FILE* file = fdopen(fd, "wb");
    if (!file) {
        close(fd);
        return fail(__LINE__, "cannot create the file");
    }
    m_writer = std::make_unique<JpegFileWriter>();
    if (!m_writer->Start(file, m_width, m_height, components, m_quality, resolution))
        return fail(__LINE__, m_writer->Error());
    try {
        m_band.assign(static_cast<size_t>(m_width) * components * m_tileSize, 0);
    } catch (const std::bad_alloc&) {
        return fail(__LINE__, kVeltraOutOfMemory);
    }
    m_row = 0;
    return nullptr;
}

// Pulls one row of tiles from the source into the band as JPEG rows.
IVeltraError* Save::CopyBand(int32_t tileRow, int32_t rows)
{
    const int32_t components = componentsFor(m_colorSpace);
    const int32_t rowBytes = m_width * components;
    int32_t tileRowBytes = 0;
    if (IVeltraError* e = m_source->GetRowBytes(&tileRowBytes)) return VELTRA_WRAP(kGrindelModule, e);
    const int32_t columns = (m_width + m_tileSize - 1) / m_tileSize;
    for (int32_t c = 0; c < columns; ++c) {
        void* bits = nullptr;
        if (IVeltraError* e = m_source->LockTile(&bits, c, tileRow, nullptr)) return VELTRA_WRAP(kGrindelModule, e);
        const int32_t x0 = c * m_tileSize;
        const int32_t pixels = std::min(m_tileSize, m_width - x0);
        for (int32_t y = 0; y < rows; ++y) {
            const auto* in = static_cast<const unsigned char*>(bits) + static_cast<ptrdiff_t>(y) * tileRowBytes;
            toJpegRow(in, m_band.data() + static_cast<ptrdiff_t>(y) * rowBytes + x0 * components, pixels,
                      m_colorSpace);
        }
        if (IVeltraError* e = m_source->UnlockTile(c, tileRow)) return VELTRA_WRAP(kGrindelModule, e);
    }
    if (!m_writer->WriteRows(m_band.data(), rowBytes, rows)) return fail(__LINE__, m_writer->Error());
    return nullptr;
}

IVeltraError* Save::Finish()
{
    if (!m_writer->Finish()) return fail(__LINE__, m_writer->Error());
    m_writer.reset();
    if (m_tags && !m_tags->WriteInto(m_tempPath, m_width, m_height))
        return fail(__LINE__, "cannot write the tags");
    if (std::rename(m_tempPath.c_str(), m_path.c_str()) != 0) return fail(__LINE__, "cannot replace the file");
    m_tempPath.clear();
    m_done = true;
    return nullptr;
}

IVeltraError* Save::Step()
{
    if (!m_open || !m_source) return fail(__LINE__, kVeltraBadState);
    if (m_done) return nullptr;
    IVeltraError* e = nullptr;
    if (!m_writer) e = Begin();
    if (!e) {
        const int32_t rows = std::min(m_tileSize, m_height - m_row);
        e = CopyBand(m_row / m_tileSize, rows);
        if (!e) m_row += rows;
    }
    if (!e && m_row >= m_height) e = Finish();
    if (e) Abandon();
    return e;
}

IVeltraError* Save::IsDone(bool* done)
{
    if (!done) return fail(__LINE__, kVeltraBadArgument);
    if (!m_open || !m_source) return fail(__LINE__, kVeltraBadState);
    *done = m_done;
    return nullptr;
}

IVeltraError* Save::GetProgress(int32_t* done, int32_t* total)
{
    if (!done || !total) return fail(__LINE__, kVeltraBadArgument);
    *done = m_row;
    *total = m_height;
    return nullptr;
}

void Save::Abandon()
{
    m_writer.reset();  // closes the file
    if (!m_tempPath.empty()) unlink(m_tempPath.c_str());
    m_tempPath.clear();
    m_row = 0;
    m_done = false;
}

IVeltraError* Save::Close()
{
    if (!m_open) return fail(__LINE__, kVeltraBadState);
    if (!m_done) Abandon();
    m_open = false;
    m_source = nullptr;
    return nullptr;
}
