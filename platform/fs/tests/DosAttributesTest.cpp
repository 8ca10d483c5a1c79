#include "platform/fs/DosAttributes.h"
#include "platform/fs/tests/FsTestUtil.h"
#include "platform/testing/TempRoot.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>

namespace plat {
namespace {
namespace fs = std::filesystem;

// Stands for a file system: FAT (ioctl works), one with extended attributes, or
// one that stores neither.
class FakeBackend : public AttributeBackend {
public:
    int fatErr = ENOTTY;
    uint32_t fatBits = 0;
    int xattrGetErr = ENODATA;
    int xattrSetErr = 0;
    std::string xattr;
    int fatSets = 0, xattrSets = 0;

    int fatGet(int, uint32_t* bits) const override {
        if (fatErr == 0) *bits = fatBits;
        return fatErr;
    }
    int fatSet(int, uint32_t bits) const override {
        auto* self = const_cast<FakeBackend*>(this);
        ++self->fatSets;
        self->fatBits = bits;
        return 0;
    }
    int xattrGet(int, std::string* value) const override {
        if (xattrGetErr == 0) *value = xattr;
        return xattrGetErr;
    }
    int xattrSet(int fd, const std::string& value) const override {
        auto* self = const_cast<FakeBackend*>(this);
        ++self->xattrSets;
        if (xattrSetErr) return xattrSetErr;
        // The kernel's rule for user attributes (which root never meets): the
        // file must be writable.
        struct stat st {};
        if (fstat(fd, &st) == 0 && !(st.st_mode & 0200)) return EACCES;
        self->xattr = value;
        self->xattrGetErr = 0;
        return 0;
    }
    static FakeBackend fat(uint32_t bits) {
        FakeBackend b;
        b.fatErr = 0;
        b.fatBits = bits;
        return b;
    }
    static FakeBackend withXattr(int getErr, std::string value = {}) {
        FakeBackend b;
        b.xattrGetErr = getErr;
        b.xattr = std::move(value);
        return b;
    }
    static FakeBackend neither() {
        FakeBackend b;
        b.xattrGetErr = ENOTSUP;
        b.xattrSetErr = ENOTSUP;
        return b;
    }
};

class DosAttributesTest : public ::testing::Test {
protected:
    plat::testing::TempRoot root;
    fs::path file = root.path() / "MARKER.DAT";
    void SetUp() override {
        fstest::writeText(file, "m");
        chmod(file.c_str(), 0644);
    }
    mode_t mode() const {
        struct stat st {};
        stat(file.c_str(), &st);
        return st.st_mode & 0777;
    }
};

TEST_F(DosAttributesTest, ReadsEachKindOfFileSystem) {
    struct Case {
        const char* what;
        FakeBackend backend;
        uint32_t bits;
        bool known;
        bool hiddenOrUnknown;
    };
    const Case cases[] = {
        {"fat hidden+archive", FakeBackend::fat(0x22), FileAttr::Hidden | FileAttr::Archive, true, true},
        {"fat volume bit dropped", FakeBackend::fat(0x08), FileAttr::Normal, true, false},
        {"fat read-only", FakeBackend::fat(0x01), FileAttr::ReadOnly, true, false},
        {"xattr hidden", FakeBackend::withXattr(0, "0x2"), FileAttr::Hidden, true, true},
        {"xattr samba style with NUL", FakeBackend::withXattr(0, std::string("0x6\0", 4)),
         FileAttr::Hidden | FileAttr::System, true, true},
        {"xattr read-only ignored", FakeBackend::withXattr(0, "0x1"), FileAttr::Normal, true, false},
        {"xattr none set", FakeBackend::withXattr(ENODATA), FileAttr::Normal, true, false},
        {"xattr garbage", FakeBackend::withXattr(0, "hidden"), FileAttr::Normal, false, true},
        {"neither", FakeBackend::neither(), FileAttr::Normal, false, true},
    };
    for (const Case& c : cases) {
        DosAttributes a;
        ASSERT_TRUE(readDosAttributes(file, &a, c.backend)) << c.what;
        EXPECT_EQ(a.bits, c.bits) << c.what;
        EXPECT_EQ(a.dosKnown, c.known) << c.what;
        EXPECT_EQ(a.hiddenOrUnknown(), c.hiddenOrUnknown) << c.what;
    }
}

TEST_F(DosAttributesTest, ReadOnlyAndDirectoryComeFromTheFile) {
    chmod(file.c_str(), 0444);
    DosAttributes a;
    ASSERT_TRUE(readDosAttributes(file, &a, FakeBackend::neither()));
    EXPECT_EQ(a.bits, FileAttr::ReadOnly);
    ASSERT_TRUE(readDosAttributes(root.path(), &a, FakeBackend::withXattr(0, "0x2")));
    EXPECT_EQ(a.bits, FileAttr::Directory | FileAttr::Hidden);
    EXPECT_EQ(readDosAttributes(root.path() / "none", &a).code, FsError::NotFound);
}

TEST_F(DosAttributesTest, WritesThroughFat) {
    FakeBackend b = FakeBackend::fat(0x10 | 0x08);  // keep directory and volume bits
    ASSERT_TRUE(writeDosAttributes(file, FileAttr::Hidden | FileAttr::Normal, b));
    EXPECT_EQ(b.fatBits, 0x10u | 0x08u | FileAttr::Hidden);
    EXPECT_EQ(b.xattrSets, 0);
    ASSERT_TRUE(changeDosAttributes(file, FileAttr::System, FileAttr::Hidden, b));
    EXPECT_EQ(b.fatBits, 0x10u | 0x08u | FileAttr::System);
}

TEST_F(DosAttributesTest, WritesThroughExtendedAttribute) {
    FakeBackend b = FakeBackend::withXattr(ENODATA);
    ASSERT_TRUE(writeDosAttributes(file, FileAttr::Hidden | FileAttr::ReadOnly, b));
    EXPECT_EQ(b.xattr, "0x2");
    EXPECT_EQ(mode(), 0444u);
    DosAttributes a;
    ASSERT_TRUE(readDosAttributes(file, &a, b));
    EXPECT_EQ(a.bits, FileAttr::Hidden | FileAttr::ReadOnly);

    // Clearing read-only, hidden and system, as the card code does.
    ASSERT_TRUE(changeDosAttributes(file, 0, FileAttr::ReadOnly | FileAttr::Hidden | FileAttr::System, b));
    EXPECT_EQ(b.xattr, "0x0");
    EXPECT_EQ(mode(), 0644u);
}

TEST_F(DosAttributesTest, ReadOnlyFileTakesHiddenAndStaysReadOnly) {
    FakeBackend b = FakeBackend::withXattr(ENODATA);
    ASSERT_TRUE(writeDosAttributes(file, FileAttr::ReadOnly, b));
    ASSERT_EQ(mode(), 0444u);
    ASSERT_TRUE(changeDosAttributes(file, FileAttr::Hidden, 0, b));
    EXPECT_EQ(b.xattr, "0x2");
    EXPECT_EQ(mode(), 0444u);
    DosAttributes a;
    ASSERT_TRUE(readDosAttributes(file, &a, b));
    EXPECT_EQ(a.bits, FileAttr::Hidden | FileAttr::ReadOnly);
}

TEST_F(DosAttributesTest, NeitherStoreRefusesHiddenButTakesReadOnly) {
    FakeBackend b = FakeBackend::neither();
    FsResult r = writeDosAttributes(file, FileAttr::Hidden, b);
    EXPECT_EQ(r.code, FsError::Unsupported);
    EXPECT_EQ(mode(), 0644u);

    // Read-only and hidden together: nothing changes, not even the mode.
    EXPECT_EQ(writeDosAttributes(file, FileAttr::Hidden | FileAttr::ReadOnly, b).code, FsError::Unsupported);
    EXPECT_EQ(mode(), 0644u);

    ASSERT_TRUE(writeDosAttributes(file, FileAttr::ReadOnly, b));
    EXPECT_EQ(mode(), 0444u);
    ASSERT_TRUE(changeDosAttributes(file, 0, FileAttr::ReadOnly | FileAttr::Hidden, b));
    EXPECT_EQ(mode(), 0644u);
}

TEST_F(DosAttributesTest, OtherWriteErrorsAreReported) {
    FakeBackend b = FakeBackend::withXattr(ENODATA);
    b.xattrSetErr = EIO;
    EXPECT_EQ(writeDosAttributes(file, FileAttr::Archive, b).code, FsError::IoError);
    EXPECT_EQ(writeDosAttributes(root.path() / "none", FileAttr::Archive, b).code, FsError::NotFound);
    fs::create_symlink(file, root.path() / "link");
    EXPECT_EQ(writeDosAttributes(root.path() / "link", FileAttr::Hidden, b).code, FsError::Unsupported);
}

// The real kernel path on this machine's temp folder: either the attribute
// round-trips, or the file system says it cannot store it.
TEST_F(DosAttributesTest, SystemBackendRoundTrip) {
    FsResult r = writeDosAttributes(file, FileAttr::Hidden | FileAttr::Archive);
    DosAttributes a;
    ASSERT_TRUE(readDosAttributes(file, &a));
    if (r.ok()) {
        EXPECT_TRUE(a.dosKnown);
        EXPECT_EQ(a.bits, FileAttr::Hidden | FileAttr::Archive);
        char buf[32] = {};
        ssize_t n = getxattr(file.c_str(), "user.DOSATTRIB", buf, sizeof buf - 1);
        if (n > 0) {
            EXPECT_STREQ(buf, "0x22");  // vfat keeps it in the FAT instead
        }
    } else {
        EXPECT_EQ(r.code, FsError::Unsupported);
        EXPECT_TRUE(a.hiddenOrUnknown());
    }
}

TEST(DosAttrText, ParsesOnlyTheDocumentedForm) {
    struct Case {
        std::string text;
        bool ok;
        uint32_t bits;
    };
    const Case cases[] = {
        {"0x2", true, 2},      {"0X22", true, 0x22},   {" 0x6 ", true, 6}, {std::string("0x20\0", 5), true, 0x20},
        {"0x", false, 0},      {"2", false, 0},        {"0xZ", false, 0},  {"0x123456789", false, 0},
        {"", false, 0},
    };
    for (const Case& c : cases) {
        uint32_t bits = 0;
        EXPECT_EQ(parseDosAttrText(c.text, &bits), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(bits, c.bits) << c.text;
        }
    }
    EXPECT_EQ(formatDosAttrText(FileAttr::Hidden | FileAttr::ReadOnly | FileAttr::Directory), "0x2");
}

}  // namespace
}  // namespace plat
