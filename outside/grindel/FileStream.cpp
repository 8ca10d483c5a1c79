#include "outside/grindel/FileStream.h"

#include <cstring>
#include <new>

#include "outside/grindel/Grindel.h"

IVeltraError* IVeltraFileStream::CreateFileStream(IVeltraFileStream** stream)
{
    if (!stream) return IVeltraError::Add(nullptr, kGrindelModule, __LINE__, 0, kVeltraBadArgument);
    *stream = new (std::nothrow) FileStream;
    if (!*stream) return IVeltraError::Add(nullptr, kGrindelModule, __LINE__, 0, kVeltraOutOfMemory);
    return nullptr;
}

IVeltraError* FileStream::Open(const VeltraFile& file)
{
    const size_t n = strnlen(file.path, sizeof file.path);
    if (n == 0 || n == sizeof file.path)
        return IVeltraError::Add(nullptr, kGrindelModule, __LINE__, "file path empty or unterminated");
    m_path.assign(file.path, n);
    return nullptr;
}
