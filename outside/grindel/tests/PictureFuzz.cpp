// Fuzz target: any file handed to the loader loads, or fails cleanly; its tags are
// read too, and a loaded picture is saved again.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "outside/grindel/Grindel.h"
#include "outside/veltra/VeltraImage.h"
#include "outside/veltra/VeltraManager.h"

namespace {

bool ok(IVeltraError* e)
{
    if (!e) return true;
    e->Release();
    return false;
}

VeltraFile fileOf(const std::string& path)
{
    VeltraFile f;
    std::strncpy(f.path, path.c_str(), sizeof f.path - 1);
    return f;
}

void step(IVeltraProgress* p)
{
    bool done = false;
    for (int i = 0; i < 100000 && ok(p->IsDone(&done)) && !done; ++i)
        if (!ok(p->Step())) return;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    char in[] = "/tmp/grindel-fuzz-XXXXXX";
    const int fd = mkstemp(in);
    if (fd < 0) return 0;
    const bool written = write(fd, data, size) == static_cast<ssize_t>(size);
    close(fd);
    const std::string out = std::string(in) + ".jpg";

    IVeltraManager* manager = nullptr;
    IVeltraImage* image = nullptr;
    IVeltraFileStream* stream = nullptr;
    IVeltraTagControl* tags = nullptr;
    IVeltraLoad* load = nullptr;
    if (written && ok(IVeltraManager::CreateManager(&manager, VeltraFile{}, 1u << 28, 4u << 16, 0)) &&
        ok(manager->CreateImage(&image, 0)) && ok(IVeltraFileStream::CreateFileStream(&stream)) &&
        ok(IVeltraTagControl::CreateTagControl(&tags)) && ok(IVeltraLoad::CreateLoad(&load)) &&
        ok(stream->Open(fileOf(in))) && ok(load->Open(stream, tags, 1 << 16, 0))) {
        if (ok(load->SetDestination(image))) {
            step(load->GetProgressInterface());
            IVeltraFileStream* outStream = nullptr;
            IVeltraSave* save = nullptr;
            if (ok(IVeltraFileStream::CreateFileStream(&outStream)) && ok(IVeltraSave::CreateSave(&save)) &&
                ok(outStream->Open(fileOf(out))) && ok(save->Open(outStream, tags, 16, 3))) {
                if (ok(save->SetSource(image, 0, 0))) step(save->GetProgressInterface());
                ok(save->Close());
            }
            if (save) save->Release();
            if (outStream) outStream->Release();
        }
        ok(load->Close());
    }
    if (load) load->Release();
    if (tags) tags->Release();
    if (stream) stream->Release();
    if (image) image->Destroy();
    if (manager) manager->Release();
    unlink(out.c_str());
    unlink(in);
    return 0;
}
