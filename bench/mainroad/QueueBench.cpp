// Queueing 2000 pictures for upload through the upload server object (each
// AddFile as the viewer calls it, then the total the server writes when it hands
// the queue over), and the upload program reading that queue file. Each has an
// absolute target (under 1 s); there is no outside tool to run beside them.
#include "bench/mainroad/MainRoad.h"

#include "Caravel/src/UploadQueue.h"
#include "Skylet/JqUploadServer.h"
#include "Skylet/UploadQueueFile.h"
#include "platform/sysroot/SystemRoot.h"
#include "platform/testing/TempRoot.h"

#include <cstdio>
#include <filesystem>

namespace fs = std::filesystem;

int main()
{
    constexpr int kItems = 2000;
    plat::testing::TempRoot root;
    const fs::path temp = plat::SystemRoot::current().tempPath();
    fs::create_directories(temp);

    double t0 = mainroad::Seconds();
    {
        skylet::CJqUploadServer server;
        for (int i = 1; i <= kItems; ++i) {
            char path[96];
            std::snprintf(path, sizeof path, "/home/user/Pictures/20261210-154543/ABCD%04d.JPG", i);
            if (server.AddFile(std::string(path), 1) != plat::hr::Ok) {
                std::fprintf(stderr, "AddFile %d failed\n", i);
                return 1;
            }
        }
    }
    fs::path queueFile;
    for (const auto& e : fs::directory_iterator(temp))
        if (e.path().filename().string().rfind("vorel", 0) == 0)
            queueFile = e.path();
    skylet::UploadQueueFile handed(queueFile);
    if (queueFile.empty() || !handed.writeTotalItems(kItems)) {
        std::fprintf(stderr, "no queue file\n");
        return 1;
    }
    const double queued = mainroad::Seconds() - t0;

    t0 = mainroad::Seconds();
    caravel::UploadQueue reader(nullptr, (temp / "VorelImages").string());
    reader.ReadUploadQueue(queueFile.string());
    const double read = mainroad::Seconds() - t0;
    const size_t got = reader.Batches().empty() ? 0 : reader.Batches().front().records.size();
    if (got != kItems) {
        std::fprintf(stderr, "read %zu items of %d\n", got, kItems);
        return 1;
    }
    char a[32], b[32];
    std::snprintf(a, sizeof a, "%.3f s", queued);
    std::snprintf(b, sizeof b, "%.3f s", read);
    mainroad::Row("queueing 2000 pictures for upload (server AddFile + hand-over)", a, "-", queued,
                  mainroad::Goal::AtMost, 1.0, a);
    mainroad::Row("the upload program reading that 2000-item queue", b, "-", read, mainroad::Goal::AtMost, 1.0, b);
    return 0;
}
