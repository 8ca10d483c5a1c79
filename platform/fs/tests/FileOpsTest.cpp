#include "platform/fs/CommitBehind.h"
#include "platform/fs/FaultPoint.h"
#include "platform/fs/FileOps.h"
#include "platform/fs/tests/FsTestUtil.h"
#include "platform/testing/TempRoot.h"

#include <chrono>
#include <thread>
#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace plat {
namespace {
namespace fs = std::filesystem;
using fstest::namesIn;
using fstest::readText;
using fstest::writeText;

class FileOpsTest : public ::testing::Test {
protected:
    plat::testing::TempRoot root;
    fs::path dir = root.path() / "work";
    void SetUp() override { fs::create_directories(dir); }

    // Copies of dir/src written under `names` and handed over in that order.
    void handOverCopies(CommitBehind& behind, std::initializer_list<const char*> names) {
        for (const char* name : names) {
            WrittenCopy copy;
            ASSERT_TRUE(copyFileWritten(dir / "src", dir / name, {}, 4096, false, &copy));
            behind.start(std::move(copy), name);
        }
    }
};

// Waits up to 20 seconds for `done`; whether it came.
template <typename Done>
bool eventually(Done done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!done() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return done();
}

TEST_F(FileOpsTest, CopyKeepsBytesModeAndTime) {
    const std::string data = fstest::pattern(300 * 1024 + 17);
    writeText(dir / "src.jpg", data);
    chmod((dir / "src.jpg").c_str(), 0640);
    struct timespec times[2] = {{1000000000, 0}, {1200000000, 0}};
    utimensat(AT_FDCWD, (dir / "src.jpg").c_str(), times, 0);

    ASSERT_TRUE(copyFile(dir / "src.jpg", dir / "dst.jpg"));
    EXPECT_EQ(readText(dir / "dst.jpg"), data);
    FileStatus st;
    ASSERT_TRUE(fileStatus(dir / "dst.jpg", &st));
    EXPECT_EQ(st.mtime, 1200000000);
    EXPECT_EQ(st.size, data.size());
    struct stat raw {};
    stat((dir / "dst.jpg").c_str(), &raw);
    EXPECT_EQ(raw.st_mode & 0777, 0640u);
    EXPECT_EQ(namesIn(dir), (std::vector<std::string>{"dst.jpg", "src.jpg"}));
}

TEST_F(FileOpsTest, CopyOverwriteRules) {
    writeText(dir / "a", "new");
    writeText(dir / "b", "old");
    FsResult r = copyFile(dir / "a", dir / "b", /*overwrite=*/false);
    EXPECT_EQ(r.code, FsError::Exists);
    EXPECT_EQ(readText(dir / "b"), "old");
    ASSERT_TRUE(copyFile(dir / "a", dir / "b", /*overwrite=*/true));
    EXPECT_EQ(readText(dir / "b"), "new");
}

TEST_F(FileOpsTest, CopyFailsCleanlyOnMissingPlaces) {
    EXPECT_EQ(copyFile(dir / "none", dir / "x").code, FsError::NotFound);
    writeText(dir / "a", "x");
    EXPECT_EQ(copyFile(dir / "a", dir / "no-such-folder" / "x").code, FsError::NotFound);
    EXPECT_EQ(copyFile(dir, dir / "x").code, FsError::InvalidArgument);
    EXPECT_FALSE(fileExists(dir / "x"));
}

// A pipe named like a picture is refused at once: opening it to read would wait
// for a writer that never comes. It is no regular file in a listing either.
TEST_F(FileOpsTest, APipeIsNeverCopiedOrListedAsAFile) {
    ASSERT_EQ(mkfifo((dir / "ABCD0001.JPG").c_str(), 0644), 0);
    EXPECT_FALSE(copyFile(dir / "ABCD0001.JPG", dir / "copy.jpg"));
    EXPECT_FALSE(copyFileChunked(dir / "ABCD0001.JPG", dir / "copy.jpg", [](uint64_t, uint64_t) { return true; }));
    EXPECT_FALSE(fileExists(dir / "copy.jpg"));
    std::vector<DirEntry> entries;
    ASSERT_TRUE(listFolder(dir, &entries));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_FALSE(entries[0].isFile);
}

TEST_F(FileOpsTest, ChunkedCopyReportsProgressInChunks) {
    const std::string data = fstest::pattern(10 * 1000 + 1);
    writeText(dir / "src", data);
    std::vector<std::pair<uint64_t, uint64_t>> calls;
    auto progress = [&](uint64_t done, uint64_t total) {
        calls.emplace_back(done, total);
        return true;
    };
    ASSERT_TRUE(copyFileChunked(dir / "src", dir / "dst", progress, 4000));
    std::vector<std::pair<uint64_t, uint64_t>> want = {{0, 10001}, {4000, 10001}, {8000, 10001}, {10001, 10001}};
    EXPECT_EQ(calls, want);
    EXPECT_EQ(readText(dir / "dst"), data);

    // An empty file still gets its first call, 0 of 0.
    writeText(dir / "empty", "");
    calls.clear();
    ASSERT_TRUE(copyFileChunked(dir / "empty", dir / "empty2", progress));
    EXPECT_EQ(calls, (std::vector<std::pair<uint64_t, uint64_t>>{{0, 0}}));
    EXPECT_TRUE(fileExists(dir / "empty2"));
}

TEST_F(FileOpsTest, StoppedCopyLeavesNothing) {
    writeText(dir / "src", fstest::pattern(50000));
    writeText(dir / "kept", "previous");
    for (int stopAt : {0, 1, 2}) {
        int n = 0;
        auto progress = [&](uint64_t, uint64_t) { return n++ < stopAt; };
        FsResult r = copyFileChunked(dir / "src", dir / "dst", progress, 10000);
        EXPECT_EQ(r.code, FsError::Stopped) << stopAt;
        // Stopping over an existing file keeps the old one whole.
        n = 0;
        EXPECT_EQ(copyFileChunked(dir / "src", dir / "kept", progress, 10000).code, FsError::Stopped);
        EXPECT_EQ(readText(dir / "kept"), "previous");
    }
    EXPECT_EQ(namesIn(dir), (std::vector<std::string>{"kept", "src"}));
}

// A failure at any step of the copy is reported and leaves no partial file under
// the final name and no temporary file behind; an older destination survives.
TEST_F(FileOpsTest, InjectedCopyFaultsLoseNothing) {
    struct Case {
        FsStep step;
        int nth;  // which occurrence of the step fails
        int err;
        FsError want;
    };
    const Case cases[] = {
        {FsStep::OpenSource, 1, ENOENT, FsError::NotFound},  // source vanished
        {FsStep::ReadSource, 2, EIO, FsError::IoError},      // card pulled mid-copy
        {FsStep::CreateTemp, 1, ENOSPC, FsError::NoSpace},
        {FsStep::WriteTarget, 1, EROFS, FsError::WriteProtected},
        {FsStep::WriteTarget, 3, ENOSPC, FsError::NoSpace},  // destination full
        {FsStep::WriteTarget, 2, EIO, FsError::IoError},     // write error
        {FsStep::SyncTarget, 1, EIO, FsError::IoError},
        {FsStep::RenameTarget, 1, EACCES, FsError::AccessDenied},
    };
    const std::string data = fstest::pattern(5 * 4096);
    writeText(dir / "src", data);
    for (const Case& c : cases) {
        for (bool existing : {false, true}) {
            if (existing) writeText(dir / "dst", "older");
            std::atomic<int> seen{0};
            ScopedFsFault fault([&](FsStep s) { return (s == c.step && ++seen == c.nth) ? c.err : 0; });
            FsResult r = copyFileChunked(dir / "src", dir / "dst", [](uint64_t, uint64_t) { return true; }, 4096);
            EXPECT_EQ(r.code, c.want) << static_cast<int>(c.step) << " nth " << c.nth;
            EXPECT_EQ(r.sysError, c.err);
            if (existing) {
                EXPECT_EQ(readText(dir / "dst"), "older");
                fs::remove(dir / "dst");
            } else {
                EXPECT_FALSE(fileExists(dir / "dst"));
            }
            EXPECT_EQ(namesIn(dir), std::vector<std::string>{"src"});
        }
    }
}

// A written copy takes its name only when committed, on whichever thread; a
// failed or dropped one leaves nothing, and the failure reaches the waiter.
TEST_F(FileOpsTest, WrittenCopyTakesItsNameOnlyWhenCommitted) {
    const std::string data = fstest::pattern(3 * 4096 + 5);
    writeText(dir / "src", data);
    {
        WrittenCopy dropped;
        ASSERT_TRUE(copyFileWritten(dir / "src", dir / "dst", {}, 4096, false, &dropped));
        EXPECT_FALSE(fileExists(dir / "dst"));
    }
    EXPECT_EQ(namesIn(dir), std::vector<std::string>{"src"});

    CommitBehind behind;
    for (const char* name : {"a", "b", "f", "g"}) {
        WrittenCopy copy;
        ASSERT_TRUE(copyFileWritten(dir / "src", dir / name, {}, 4096, false, &copy));
        behind.start(std::move(copy), name);
    }
    ASSERT_TRUE(behind.wait());
    for (const char* name : {"a", "b", "f", "g"}) EXPECT_EQ(readText(dir / name), data) << name;

    // the name taken while the copy was being written; then a failing sync,
    // named, and a copy behind it that is never named
    WrittenCopy late;
    ASSERT_TRUE(copyFileWritten(dir / "src", dir / "c", {}, 4096, false, &late));
    writeText(dir / "c", "someone else's");
    behind.start(std::move(late), "c");
    const CommitBehind::Outcome taken = behind.wait();
    EXPECT_EQ(taken.result.code, FsError::Exists);
    EXPECT_EQ(taken.label, "c");
    EXPECT_EQ(readText(dir / "c"), "someone else's");
    {
        // Every sync fails meanwhile: whichever of the two copies syncs first,
        // the failure told is the one handed over first, and neither is named.
        ScopedFsFault fault([](FsStep s) { return s == FsStep::SyncTarget ? EIO : 0; });
        WrittenCopy failing;
        ASSERT_TRUE(copyFileWritten(dir / "src", dir / "d", {}, 4096, false, &failing));
        behind.start(std::move(failing), "d");
        WrittenCopy next;
        ASSERT_TRUE(copyFileWritten(dir / "src", dir / "e", {}, 4096, false, &next));
        behind.start(std::move(next), "e");
        const CommitBehind::Outcome failed = behind.wait();
        EXPECT_EQ(failed.result.code, FsError::IoError);
        EXPECT_EQ(failed.label, "d");
    }
    EXPECT_TRUE(behind.wait());
    EXPECT_EQ(namesIn(dir), (std::vector<std::string>{"a", "b", "c", "f", "g", "src"}));
    // after the failure has been answered, copies are named again
    WrittenCopy again;
    ASSERT_TRUE(copyFileWritten(dir / "src", dir / "e", {}, 4096, false, &again));
    behind.start(std::move(again), "e");
    EXPECT_TRUE(behind.wait());
    EXPECT_EQ(readText(dir / "e"), data);
}

// A copy is under way from its hand-over until its commit has ended; a failed
// one leaves nothing and its failure carries its label.
TEST_F(FileOpsTest, ACommitIsUnderWayUntilItsCopyStands) {
    writeText(dir / "src", "picture");
    std::atomic<bool> hold{true};
    ScopedFsFault fault([&](FsStep s) {
        if (s != FsStep::SyncTarget) return 0;
        while (hold) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return EIO;
    });
    CommitBehind behind;
    WrittenCopy copy;
    ASSERT_TRUE(copyFileWritten(dir / "src", dir / "a", {}, 4096, false, &copy));
    behind.start(std::move(copy), "a");
    EXPECT_TRUE(behind.underWay("a"));
    EXPECT_FALSE(behind.underWay("c"));
    hold = false;
    const CommitBehind::Outcome failed = behind.wait();
    EXPECT_FALSE(behind.underWay("a"));
    EXPECT_EQ(failed.result.code, FsError::IoError);
    EXPECT_EQ(failed.label, "a");
    EXPECT_FALSE(fileExists(dir / "a"));
    EXPECT_TRUE(behind.wait());  // a failure is answered once
}

// Copies are synced side by side but named in the order they were handed
// over: while the first one's sync is held, the two behind it sync and wait
// unnamed; when the first fails, neither of them is ever named.
TEST_F(FileOpsTest, CopiesBehindAFailedOneAreSyncedButNeverNamed) {
    writeText(dir / "src", "picture");
    std::atomic<int> syncing{0};
    std::atomic<bool> hold{true};
    ScopedFsFault fault([&](FsStep s) {
        if (s != FsStep::SyncTarget) return 0;
        ++syncing;
        if (faultSubject() != (dir / "a").string()) return 0;
        while (hold) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return EIO;
    });
    CommitBehind behind(3);
    ASSERT_NO_FATAL_FAILURE(handOverCopies(behind, {"a", "b", "c"}));
    ASSERT_TRUE(eventually([&] { return syncing.load() == 3; }))
        << "the copies behind the held one were not synced beside it";
    EXPECT_TRUE(behind.underWay("c"));
    EXPECT_FALSE(fileExists(dir / "b"));
    EXPECT_FALSE(fileExists(dir / "c"));
    EXPECT_FALSE(behind.failed());
    hold = false;
    const CommitBehind::Outcome failed = behind.wait();
    EXPECT_EQ(failed.result.code, FsError::IoError);
    EXPECT_EQ(failed.label, "a");
    EXPECT_EQ(namesIn(dir), std::vector<std::string>{"src"});  // no name, no temporary file
}

// A named copy's folder is synced beside the next copies' names, which wait
// only for its rename; waiting for the copies waits for that sync too.
TEST_F(FileOpsTest, ANamedCopysFolderSyncRunsBesideTheNextNames) {
    writeText(dir / "src", "picture");
    std::atomic<bool> holding{false}, hold{true};
    ScopedFsFault fault([&](FsStep s) {
        if (s != FsStep::SyncFolder || faultSubject() != (dir / "a").string()) return 0;
        holding = true;
        while (hold) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return 0;
    });
    CommitBehind behind(3);
    ASSERT_NO_FATAL_FAILURE(handOverCopies(behind, {"a", "b", "c"}));
    ASSERT_TRUE(eventually([&] { return holding && fileExists(dir / "c"); }))
        << "the next copies waited for the first one's folder sync";
    EXPECT_TRUE(fileExists(dir / "a"));
    std::atomic<bool> waited{false};
    std::thread waiter([&] {
        EXPECT_TRUE(behind.wait());
        waited = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(waited.load()) << "the wait did not wait for the folder sync";
    hold = false;
    waiter.join();
    EXPECT_EQ(namesIn(dir), (std::vector<std::string>{"a", "b", "c", "src"}));
}

// A copy handed over still to be written is made on the committing thread from
// its source held open, even once the source's name is gone; a write that
// fails is that copy's failure, and the copy behind it is never named.
TEST_F(FileOpsTest, ACopyWrittenBehindReadsItsHeldSourceAndFailsInItsTurn) {
    const std::string data = fstest::pattern(2 * 4096 + 7);
    writeText(dir / "src", data);
    SourceFile held;
    ASSERT_TRUE(SourceFile::open(dir / "src", &held));
    EXPECT_EQ(SourceFile::open(dir / "missing", &held).code, FsError::NotFound);
    ASSERT_TRUE(SourceFile::open(dir / "src", &held));
    ASSERT_TRUE(removeFile(dir / "src"));
    auto source = std::make_shared<SourceFile>(std::move(held));
    const auto writeFrom = [](std::shared_ptr<SourceFile> s, fs::path to) {
        return [s, to](WrittenCopy* out) { return copyFileWritten(*s, to, {}, 4096, false, out); };
    };
    CommitBehind behind;
    behind.start(writeFrom(source, dir / "a"), "a");
    ASSERT_TRUE(behind.wait());
    EXPECT_EQ(readText(dir / "a"), data);
    // a source is read once
    WrittenCopy again;
    EXPECT_EQ(copyFileWritten(*source, dir / "b", {}, 4096, false, &again).code, FsError::InvalidArgument);

    writeText(dir / "src", data);
    writeText(dir / "src2", data);
    std::shared_ptr<SourceFile> full = std::make_shared<SourceFile>(), next = std::make_shared<SourceFile>();
    ASSERT_TRUE(SourceFile::open(dir / "src", full.get()));
    ASSERT_TRUE(SourceFile::open(dir / "src2", next.get()));
    {
        ScopedFsFault fault([&](FsStep s) {
            return s == FsStep::WriteTarget && faultSubject() == (dir / "src").string() ? ENOSPC : 0;
        });
        behind.start(writeFrom(full, dir / "c"), "c");
        behind.start(writeFrom(next, dir / "d"), "d");
        const CommitBehind::Outcome failed = behind.wait();
        EXPECT_EQ(failed.result.code, FsError::NoSpace);
        EXPECT_EQ(failed.label, "c");
    }
    EXPECT_EQ(namesIn(dir), (std::vector<std::string>{"a", "src", "src2"}));
}

TEST_F(FileOpsTest, AtomicWriteKeepsOldFileOnFailure) {
    ASSERT_TRUE(writeFileAtomic(dir / "f.ini", "one"));
    {
        ScopedFsFault fault([](FsStep s) { return s == FsStep::RenameTarget ? EIO : 0; });
        EXPECT_EQ(writeFileAtomic(dir / "f.ini", "two").code, FsError::IoError);
    }
    EXPECT_EQ(readText(dir / "f.ini"), "one");
    EXPECT_EQ(namesIn(dir), std::vector<std::string>{"f.ini"});
}

TEST_F(FileOpsTest, CreateRemoveRename) {
    EXPECT_TRUE(createFolder(dir / "a"));
    EXPECT_EQ(createFolder(dir / "a").code, FsError::Exists);
    EXPECT_EQ(createFolder(dir / "x" / "y").code, FsError::NotFound);
    EXPECT_TRUE(createFolders(dir / "x" / "y" / "z"));
    EXPECT_TRUE(createFolders(dir / "x" / "y" / "z"));
    EXPECT_TRUE(folderExists(dir / "x" / "y" / "z"));

    writeText(dir / "a" / "f", "1");
    EXPECT_EQ(removeEmptyFolder(dir / "a").code, FsError::Exists);
    EXPECT_EQ(removeFile(dir / "a").code, FsError::AccessDenied);
    EXPECT_TRUE(removeFile(dir / "a" / "f"));
    EXPECT_EQ(removeFile(dir / "a" / "f").code, FsError::NotFound);
    EXPECT_TRUE(removeEmptyFolder(dir / "a"));

    writeText(dir / "p", "P");
    writeText(dir / "q", "Q");
    EXPECT_EQ(renameNoReplace(dir / "p", dir / "q").code, FsError::Exists);
    EXPECT_EQ(readText(dir / "p"), "P");
    EXPECT_EQ(readText(dir / "q"), "Q");
    EXPECT_TRUE(renameNoReplace(dir / "p", dir / "r"));
    EXPECT_EQ(readText(dir / "r"), "P");
    EXPECT_TRUE(renameReplace(dir / "r", dir / "q"));
    EXPECT_EQ(readText(dir / "q"), "P");
}

// The tree removal must not follow links out of the tree (a link to a folder
// elsewhere loses only the link) nor change the current directory.
TEST_F(FileOpsTest, DeleteTreeFollowsNoLinks) {
    fs::path outside = root.path() / "precious";
    writeText(outside / "keep.jpg", "k");
    writeText(dir / "t" / "a" / "b" / "c.jpg", "c");
    writeText(dir / "t" / "top.txt", "t");
    fs::create_directory_symlink(outside, dir / "t" / "a" / "linkdir");
    fs::create_symlink(outside / "keep.jpg", dir / "t" / "linkfile");
    fs::create_symlink(dir / "nowhere", dir / "t" / "dangling");
    fs::create_directories(dir / "t" / "locked" / "inner");
    writeText(dir / "t" / "locked" / "inner" / "x", "x");
    chmod((dir / "t" / "locked").c_str(), 0555);
    const fs::path cwd = fs::current_path();

    ASSERT_TRUE(deleteTree(dir / "t"));
    EXPECT_FALSE(fileExists(dir / "t"));
    EXPECT_EQ(readText(outside / "keep.jpg"), "k");
    EXPECT_EQ(fs::current_path(), cwd);

    // The tree root itself a link: only the link goes.
    fs::create_directory_symlink(outside, dir / "rootlink");
    ASSERT_TRUE(deleteTree(dir / "rootlink/"));
    EXPECT_FALSE(fileExists(dir / "rootlink"));
    EXPECT_TRUE(fileExists(outside / "keep.jpg"));

    EXPECT_EQ(deleteTree(dir / "missing").code, FsError::NotFound);
}

TEST_F(FileOpsTest, EmptyFolderKeepsTheFolder) {
    writeText(dir / "e" / "1", "1");
    writeText(dir / "e" / "sub" / "2", "2");
    ASSERT_TRUE(emptyFolder(dir / "e"));
    EXPECT_TRUE(folderExists(dir / "e"));
    EXPECT_TRUE(namesIn(dir / "e").empty());
}

TEST_F(FileOpsTest, ListFolderReportsEntries) {
    writeText(dir / "IMG_0001.JPG", "12345");
    fs::create_directory(dir / "DCIM");
    fs::create_symlink(dir / "DCIM", dir / "link");
    // A sparse file beyond 4 GiB checks the 64-bit size.
    {
        int fd = open((dir / "big.raw").c_str(), O_CREAT | O_WRONLY, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(ftruncate(fd, (5LL << 30) + 3), 0);
        close(fd);
    }
    std::vector<DirEntry> entries;
    ASSERT_TRUE(listFolder(dir, &entries));
    std::sort(entries.begin(), entries.end(), [](const DirEntry& a, const DirEntry& b) { return a.name < b.name; });
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0].name, "DCIM");
    EXPECT_TRUE(entries[0].attributes.isDirectory());
    EXPECT_EQ(entries[1].name, "IMG_0001.JPG");
    EXPECT_EQ(entries[1].size, 5u);
    EXPECT_FALSE(entries[1].attributes.isDirectory());
    EXPECT_GT(entries[1].mtime, 0);
    EXPECT_EQ(entries[2].name, "big.raw");
    EXPECT_EQ(entries[2].size, (5ULL << 30) + 3);
    EXPECT_EQ(entries[3].name, "link");
    EXPECT_TRUE(entries[3].isLink);
    EXPECT_FALSE(entries[3].attributes.isDirectory());
    EXPECT_EQ((std::vector<bool>{false, true, true, false}),
              (std::vector<bool>{entries[0].isFile, entries[1].isFile, entries[2].isFile, entries[3].isFile}));

    EXPECT_EQ(fileSize64(dir / "big.raw"), (5LL << 30) + 3);
    ASSERT_TRUE(setModificationTime(dir / "big.raw", 946684800));
    FileStatus st;
    ASSERT_TRUE(fileStatus(dir / "big.raw", &st));
    EXPECT_EQ(st.mtime, 946684800);
    EXPECT_EQ(setModificationTime(dir / "none", 1).code, FsError::NotFound);
    EXPECT_EQ(fileSize64(dir / "none"), -1);
    EXPECT_EQ(listFolder(dir / "none", &entries).code, FsError::NotFound);
    EXPECT_TRUE(entries.empty());
}

TEST_F(FileOpsTest, FreeSpaceIsWhatTheCallerMayUse) {
    uint64_t bytes = 0;
    ASSERT_TRUE(freeSpace(dir, &bytes));
    struct statvfs sv {};
    statvfs(dir.c_str(), &sv);
    const uint64_t want = static_cast<uint64_t>(sv.f_bavail) * sv.f_frsize;
    // Other processes write meanwhile: same order of magnitude is all we can ask.
    EXPECT_GT(bytes, 0u);
    EXPECT_LT(bytes > want ? bytes - want : want - bytes, 1ull << 30);
    EXPECT_EQ(freeSpace(dir / "none", &bytes).code, FsError::NotFound);
    EXPECT_EQ(bytes, 0u);
}

TEST_F(FileOpsTest, HandshakeFilesAndUniqueNames) {
    // The reply a camera reads at once: written through; the order it wrote: read fresh.
    ASSERT_TRUE(writeFileThrough(dir / "reply.kvd", "transfer finish"));
    ASSERT_TRUE(writeFileThrough(dir / "reply.kvd", "ok"));  // create-always truncates
    std::string bytes;
    ASSERT_TRUE(readFileFresh(dir / "reply.kvd", &bytes));
    EXPECT_EQ(bytes, "ok");
    EXPECT_EQ(readFileFresh(dir / "none", &bytes).code, FsError::NotFound);
    {
        std::atomic<int> syncs{0};
        ScopedFsFault fault([&](FsStep s) { return s == FsStep::SyncTarget && ++syncs == 1 ? EIO : 0; });
        EXPECT_EQ(writeFileThrough(dir / "reply.kvd", "x").code, FsError::IoError);
    }

    fs::path a, b;
    ASSERT_TRUE(createUniqueFile(dir, "vorel", &a));
    ASSERT_TRUE(createUniqueFile(dir, "vorel", &b));
    EXPECT_NE(a, b);
    EXPECT_EQ(a.filename().string().rfind("vorel", 0), 0u);
    EXPECT_EQ(a.filename().string().size(), 11u);
    struct stat st {};
    ASSERT_EQ(stat(a.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(st.st_size, 0);
    EXPECT_EQ(createUniqueFile(dir / "none", "vorel", &a).code, FsError::NotFound);
    EXPECT_TRUE(a.empty());
    EXPECT_EQ(createUniqueFile(dir, "../x", &a).code, FsError::InvalidArgument);
}

TEST(IsInsideFolder, ByNameAlone) {
    struct Case {
        const char* path;
        const char* folder;
        bool inside;
    } cases[] = {
        {"/r/tmp/100ABCDE/a.jpg", "/r/tmp", true},   {"/r/tmp/a.jpg", "/r/tmp/", true},
        {"/r/tmp", "/r/tmp", true},                   {"/r/tmp/../x/a.jpg", "/r/tmp", false},
        {"/r/tmpfile.jpg", "/r/tmp", false},          {"/r/x/a.jpg", "/r/tmp", false},
        {"/r/tmp/./sub/../a.jpg", "/r/tmp//", true},
    };
    for (const Case& c : cases) EXPECT_EQ(isInsideFolder(c.path, c.folder), c.inside) << c.path << " in " << c.folder;
}

}  // namespace
}  // namespace plat
