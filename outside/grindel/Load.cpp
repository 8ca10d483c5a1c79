#include "outside/grindel/Load.h"

#include <algorithm>
#include <new>

#include "outside/grindel/Grindel.h"
#include "outside/grindel/TagControl.h"
#include "outside/veltra/VeltraImage.h"

namespace {
IVeltraError* fail(int32_t line, int32_t code) { return IVeltraError::Add(nullptr, kGrindelModule, line, 0, code); }
}  // namespace

IVeltraError* IVeltraLoad::CreateLoad(IVeltraLoad** load)
{
    if (!load) return fail(__LINE__, kVeltraBadArgument);
    *load = new (std::nothrow) Load;
    return *load ? nullptr : fail(__LINE__, kVeltraOutOfMemory);
}

IVeltraError* Load::Open(IVeltraFileStream* stream, IVeltraTagControl* tags, int32_t bufferSize, int32_t flags)
{
    if (m_reader) return fail(__LINE__, kVeltraBadState);
    if (!stream || !*stream->GetPath() || bufferSize <= 0 || flags != 0) return fail(__LINE__, kVeltraBadArgument);
    std::string error;
    m_reader = OpenPictureReader(stream->GetPath(), &error);
    if (!m_reader) return IVeltraError::Add(nullptr, kGrindelModule, __LINE__, error.c_str());
    m_bufferSize = bufferSize;
    // Tags are a bonus: a file whose tags cannot be read still loads.
    if (auto* control = dynamic_cast<TagControl*>(tags)) control->ReadFrom(stream->GetPath());
    return nullptr;
}

IVeltraError* Load::Close()
{
    if (!m_reader) return fail(__LINE__, kVeltraBadState);
    m_reader.reset();
    m_image = nullptr;
    m_band.reset();
    return nullptr;
}

IVeltraError* Load::GetFileFormat(int32_t* format)
{
    if (!format) return fail(__LINE__, kVeltraBadArgument);
    if (!m_reader) return fail(__LINE__, kVeltraBadState);
    *format = m_reader->Format();
    return nullptr;
}

IVeltraError* Load::SetDestination(IVeltraImage* image)
{
    if (!image) return fail(__LINE__, kVeltraBadArgument);
    if (!m_reader || m_image) return fail(__LINE__, kVeltraBadState);  // a reader decodes once
    const int32_t cs = m_reader->ColorSpace();
    if (IVeltraError* e = image->SetColorSpace(cs)) return VELTRA_WRAP(kGrindelModule, e);
    if (IVeltraError* e = image->SetSize(m_reader->Width(), m_reader->Height())) return VELTRA_WRAP(kGrindelModule, e);
    if (m_reader->Resolution() > 0) {
        if (IVeltraError* e = image->SetResolution(m_reader->Resolution())) return VELTRA_WRAP(kGrindelModule, e);
    }
    m_rowBytes = m_reader->Width() * (IVeltraDataSource::GetBitsPerPixel(cs) / 8);
    m_bandRows = std::clamp(m_bufferSize / std::max(m_rowBytes, 1), 1, m_reader->Height());
    // every row is decoded into the band before it is handed on: no need to clear it
    m_band.reset(new (std::nothrow) unsigned char[static_cast<size_t>(m_rowBytes) * static_cast<size_t>(m_bandRows)]);
    if (!m_band) return fail(__LINE__, kVeltraOutOfMemory);
    m_image = image;
    m_row = 0;
    return nullptr;
}

IVeltraError* Load::Step()
{
    if (!m_image) return fail(__LINE__, kVeltraBadState);
    const int32_t rows = std::min(m_bandRows, m_reader->Height() - m_row);
    if (rows <= 0) return nullptr;
    std::string error;
    if (!m_reader->ReadRows(m_band.get(), m_rowBytes, rows, &error))
        return IVeltraError::Add(nullptr, kGrindelModule, __LINE__, error.c_str());
    const VeltraRect rect{0, m_row, m_reader->Width(), m_row + rows};
    if (IVeltraError* e = m_image->SetData(m_band.get(), m_rowBytes, rect)) return VELTRA_WRAP(kGrindelModule, e);
    m_row += rows;
    return nullptr;
}

IVeltraError* Load::IsDone(bool* done)
{
    if (!done) return fail(__LINE__, kVeltraBadArgument);
    if (!m_image) return fail(__LINE__, kVeltraBadState);
    *done = m_row >= m_reader->Height();
    return nullptr;
}

IVeltraError* Load::GetProgress(int32_t* done, int32_t* total)
{
    if (!done || !total) return fail(__LINE__, kVeltraBadArgument);
    *done = m_row;
    *total = m_reader ? m_reader->Height() : 0;
    return nullptr;
}
