// The server object in this process: queue file text, the registry value, the
// order of the steps, and what each failure leaves behind.
#include "Skylet/JqUploadServer.h"
#include "Skylet/tests/SkyletFixture.h"
#include "platform/fs/FaultPoint.h"
#include "platform/registry/Registry.h"

#include <fstream>
#include <sqlite3.h>

namespace fs = std::filesystem;
using skylet::CJqUploadServer;
namespace hr = plat::hr;

namespace {

class ServerObject : public SkyletFixture {};

TEST_F(ServerObject, QueueFileHoldsTheItemsAndTheCountWithItsBlank) {
    CJqUploadServer server;
    const std::string first = "/home/me/Pictures/web copy/DSC 0001.jpg";
    const std::string second = "/home/me/Bilder/\xc3\xa9t\xc3\xa9 \xe5\x86\x99\xe7\x9c\x9f.JPG";
    ASSERT_EQ(server.AddFile(first, 0), hr::Ok);
    ASSERT_EQ(server.AddFile(second, -1), hr::Ok);
    ASSERT_EQ(server.AddFile(std::nullopt, 0), hr::Ok);  // a null path: no Source line
    holdCaravel(false);
    ASSERT_EQ(server.StartUpload(), hr::Ok);

    auto queue = queuedDataFile();
    ASSERT_TRUE(queue);
    EXPECT_EQ(fs::path(*queue).parent_path(), root.path() / "tmp");
    EXPECT_EQ(fs::path(*queue).filename().string().rfind("vorel", 0), 0u);
    EXPECT_FALSE(fs::path(*queue).has_extension());
    EXPECT_EQ(readText(*queue), "[FileParameters]\nSource1=" + first + "\nOwner1=0\nSource2=" + second +
                                    "\nOwner2=-1\nOwner3=0\n[General]\nTotalItems=3 \n");
    auto runs = caravelRuns(1);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_NE(runs[0].find("argc=1\n"), std::string::npos) << runs[0];
    EXPECT_NE(runs[0].find("fds=0 1 2 \n"), std::string::npos) << runs[0];

    // a second queue on the same object starts again at 1, in a new file, once
    // the first upload program has ended (while it runs, a queue is refused)
    for (pid_t p : processesOfRoot("Caravel")) ASSERT_TRUE(waitUntilGone(p));
    ASSERT_EQ(server.AddFile("/x.jpg", 0), hr::Ok);
    ASSERT_EQ(server.StartUpload(), hr::Ok);
    auto again = queuedDataFile();
    ASSERT_TRUE(again);
    EXPECT_NE(*again, *queue);
    EXPECT_EQ(readText(*again), "[FileParameters]\nSource1=/x.jpg\nOwner1=0\n[General]\nTotalItems=1 \n");
}

TEST_F(ServerObject, NothingQueuedStartsNothing) {
    CJqUploadServer server;
    EXPECT_EQ(server.StartUpload(), hr::Ok);
    EXPECT_FALSE(queuedDataFile());
    EXPECT_TRUE(queueFiles().empty());
    EXPECT_TRUE(caravelRuns().empty());
}

TEST_F(ServerObject, RunningUploadProgramDiscardsTheQueue) {
    holdCaravel(true);
    CJqUploadServer first;
    ASSERT_EQ(first.AddFile("/a.jpg", 0), hr::Ok);
    ASSERT_EQ(first.StartUpload(), hr::Ok);
    ASSERT_EQ(caravelRuns(1).size(), 1u);
    const auto before = queuedDataFile();

    CJqUploadServer second;
    ASSERT_EQ(second.AddFile("/b.jpg", 0), hr::Ok);
    ASSERT_EQ(queueFiles().size(), 2u);
    EXPECT_EQ(second.StartUpload(), hr::AccessDenied);
    EXPECT_EQ(queueFiles().size(), 1u);  // its queue is gone, the first one stays
    EXPECT_EQ(queuedDataFile(), before);
    EXPECT_EQ(caravelRuns().size(), 1u);
    // the object starts a new queue afterwards
    holdCaravel(false);
    for (pid_t p : processesOfRoot("Caravel")) waitUntilGone(p);
    ASSERT_EQ(second.AddFile("/c.jpg", 0), hr::Ok);
    EXPECT_EQ(second.StartUpload(), hr::Ok);
    EXPECT_EQ(readText(*queuedDataFile()), "[FileParameters]\nSource1=/c.jpg\nOwner1=0\n[General]\nTotalItems=1 \n");
}

TEST_F(ServerObject, MissingProgramLeavesNothingRecordedAndTheQueueForAnotherTry) {
    const std::optional<std::string> before = std::nullopt;
    fs::remove(caravelPath());
    CJqUploadServer server;
    ASSERT_EQ(server.AddFile("/a.jpg", 0), hr::Ok);
    EXPECT_EQ(server.StartUpload(), hr::Fail);
    EXPECT_NE(messages().find("Error: Unable to find App, " + caravelPath().string() + "\n"), std::string::npos) << messages();
    EXPECT_EQ(queuedDataFile(), before);
    ASSERT_EQ(queueFiles().size(), 1u);
    EXPECT_EQ(readText(queueFiles()[0]).find("TotalItems"), std::string::npos);

    // an empty file does not count as the program either
    { std::ofstream(caravelPath()) << ""; }
    fs::permissions(caravelPath(), fs::perms::owner_all);
    EXPECT_EQ(server.StartUpload(), hr::Fail);

    installCaravel();
    EXPECT_EQ(server.StartUpload(), hr::Ok);
    EXPECT_EQ(caravelRuns(1).size(), 1u);
}

TEST_F(ServerObject, ProgramThatCannotStartGivesBackItsQueue) {
    plat::RegKey key;
    ASSERT_EQ(plat::Registry::create(plat::Hive::CurrentUser, "Software\\Vorel\\VorelUploader", &key), plat::RegResult::Ok);
    ASSERT_EQ(key.setString("QueuedDataFile", "/earlier/queue"), plat::RegResult::Ok);
    { std::ofstream(caravelPath()) << "\x01\x02 not a program"; }
    fs::permissions(caravelPath(), fs::perms::owner_all);
    CJqUploadServer server;
    ASSERT_EQ(server.AddFile("/a.jpg", 0), hr::Ok);
    EXPECT_EQ(server.StartUpload(), hr::Fail);
    EXPECT_NE(messages().find("Error: Unable to Create Process, " + caravelPath().string()), std::string::npos);
    EXPECT_EQ(queuedDataFile(), std::optional<std::string>("/earlier/queue"));
    EXPECT_TRUE(queueFiles().empty());
}

TEST_F(ServerObject, FailedWritesLeaveWhatWasThereAndCanBeRetried) {
    CJqUploadServer server;
    ASSERT_EQ(server.AddFile("/a.jpg", 0), hr::Ok);
    ASSERT_EQ(queueFiles().size(), 1u);
    const fs::path queue = queueFiles()[0];
    const std::string before = readText(queue);
    {
        plat::ScopedFsFault full([](plat::FsStep s) { return s == plat::FsStep::WriteTarget ? ENOSPC : 0; });
        EXPECT_EQ(server.AddFile("/b.jpg", 0), hr::Fail);
        EXPECT_EQ(server.StartUpload(), hr::Fail);  // TotalItems cannot be written
    }
    EXPECT_EQ(readText(queue), before);  // nothing half-written
    EXPECT_FALSE(queuedDataFile());

    // a locked registry: the queue stays and the call can be made again
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(plat::Registry::hiveFile(plat::Hive::CurrentUser).c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    plat::Registry::setBusyTimeout(50);
    EXPECT_EQ(server.StartUpload(), hr::Fail);
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    plat::Registry::setBusyTimeout(5000);
    EXPECT_TRUE(caravelRuns().empty());

    // an item added after the total was written still joins the items
    ASSERT_EQ(server.AddFile("/c.jpg", 0), hr::Ok);
    ASSERT_EQ(server.StartUpload(), hr::Ok);
    EXPECT_EQ(queuedDataFile(), std::optional<std::string>(queue.string()));
    // item 2 was used by the failed call; none of its lines came
    EXPECT_EQ(readText(queue), "[FileParameters]\nSource1=/a.jpg\nOwner1=0\nSource3=/c.jpg\nOwner3=0\n"
                               "[General]\nTotalItems=3 \n");
}

TEST_F(ServerObject, PathsThatWouldBreakTheFileAreRefused) {
    CJqUploadServer server;
    EXPECT_EQ(server.AddFile(std::string("/a.jpg\n[General]\nTotalItems=99"), 0), hr::Fail);
    ASSERT_EQ(server.AddFile("/b.jpg", 0), hr::Ok);
    ASSERT_EQ(server.StartUpload(), hr::Ok);
    EXPECT_EQ(readText(*queuedDataFile()).find("99"), std::string::npos);
}

}  // namespace
