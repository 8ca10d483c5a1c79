// The imaging framework stand-in: error chain, graph links and notifications, images, tiles,
// grids and the chain object.
#include "outside/veltra/VeltraChain.h"
#include "outside/veltra/VeltraFilter.h"
#include "outside/veltra/VeltraGraph.h"
#include "outside/veltra/VeltraImage.h"
#include "outside/veltra/VeltraManager.h"
#include "outside/veltra/VeltraTile.h"
#include "outside/veltra/VeltraTileGrid.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

struct ManagerDeleter {
    void operator()(IVeltraManager* m) const { m->Release(); }
};
using ManagerPtr = std::unique_ptr<IVeltraManager, ManagerDeleter>;
struct ImageDeleter {
    void operator()(IVeltraImage* i) const
    {
        if (i)
            i->Destroy();
    }
};
using ImagePtr = std::unique_ptr<IVeltraImage, ImageDeleter>;

ManagerPtr MakeManager(int32_t tileSize)
{
    IVeltraManager* m = nullptr;
    VeltraErrorPtr e(IVeltraManager::CreateManager(&m, VeltraFile{}, 1u << 30, 4u << 16, 0));
    EXPECT_FALSE(e);
    m->SetTileSize(tileSize);
    return ManagerPtr(m);
}

ImagePtr MakeImage(IVeltraManager* m, int32_t w, int32_t h, int32_t cs)
{
    IVeltraImage* img = nullptr;
    EXPECT_FALSE(VeltraErrorPtr(m->CreateImage(&img, 0)));
    EXPECT_FALSE(VeltraErrorPtr(img->SetSize(w, h)));
    EXPECT_FALSE(VeltraErrorPtr(img->SetColorSpace(cs)));
    return ImagePtr(img);
}

// A destination that records what it hears, and can refuse.
class Recorder : public IVeltraDataDestination {
public:
    IVeltraError* VeltraNotify(IVeltraDataSource* source, int32_t code, void*) override
    {
        log.push_back("notify " + std::to_string(code));
        lastSource = source;
        if (fail)
            return IVeltraError::Add(nullptr, 0, __LINE__, 0, 4242);
        return nullptr;
    }
    IVeltraError* VeltraAddedDataSource(const IVeltraDataSource*) override
    {
        log.push_back("added " + std::to_string(VeltraGetDataSourceCount(this)));
        return nullptr;
    }
    IVeltraError* VeltraRemovedDataSource(const IVeltraDataSource*) override
    {
        log.push_back("removed " + std::to_string(VeltraGetDataSourceCount(this)));
        return nullptr;
    }
    std::vector<std::string> log;
    IVeltraDataSource* lastSource = nullptr;
    bool fail = false;
};

}  // namespace

TEST(VeltraError, ChainsWrapAndRelease)
{
    IVeltraError* chain = nullptr;
    IVeltraError::Add(&chain, 32, 10, 0, 1005);
    ASSERT_TRUE(chain);
    IVeltraError* wrapped = IVeltraError::AddWorker(nullptr, VeltraFourCC("scal"), 20, chain);
    EXPECT_TRUE(wrapped->IsWorker());
    EXPECT_EQ(wrapped->GetModule(), 0x7363616C);
    ASSERT_TRUE(wrapped->Root());
    EXPECT_EQ(wrapped->Root()->GetCode(), 1005);
    EXPECT_EQ(wrapped->GetNext(), chain);
    // wrapping nothing leaves nothing
    EXPECT_EQ(IVeltraError::AddWorker(nullptr, 1, 2, nullptr), nullptr);
    IVeltraError* text = IVeltraError::Add(nullptr, 5, 6, "Bad source data color space");
    EXPECT_EQ(text->GetCode(), -1);
    EXPECT_STREQ(text->GetText(), "Bad source data color space");
    char where[64];
    text->GetLocation(where, sizeof where);
    EXPECT_NE(std::string(where).find("line 6"), std::string::npos);
    text->Release();
    wrapped->Release();
}

TEST(VeltraGraph, LinksAreListedBeforeTheSidesAreToldAndGoneBeforeRemoval)
{
    auto m = MakeManager(8);
    ImagePtr a = MakeImage(m.get(), 5, 5, 2);
    ImagePtr b = MakeImage(m.get(), 5, 5, 2);
    Recorder r;
    ASSERT_FALSE(VeltraErrorPtr(VeltraConnect(a.get(), &r)));
    ASSERT_FALSE(VeltraErrorPtr(VeltraConnect(b.get(), &r)));
    EXPECT_EQ(VeltraGetDataSourceCount(&r), 2);
    EXPECT_EQ(VeltraGetDataSource(&r, 0), a.get());
    EXPECT_EQ(VeltraGetDataSource(&r, 1), b.get());
    EXPECT_EQ(VeltraGetDataDestinationCount(a.get()), 1);
    ASSERT_FALSE(VeltraErrorPtr(VeltraDisconnect(a.get(), &r)));
    EXPECT_EQ(r.log, (std::vector<std::string>{"added 1", "added 2", "removed 1"}));
    // a link that is not there cannot be removed
    EXPECT_TRUE(VeltraErrorPtr(VeltraDisconnect(a.get(), &r)));
    // destroying a source tells its destinations, after the link is gone
    b.reset();
    EXPECT_EQ(r.log.back(), "removed 0");
}

TEST(VeltraGraph, NotificationsReachEveryDestinationAndStopAtAnError)
{
    auto m = MakeManager(8);
    ImagePtr a = MakeImage(m.get(), 5, 5, 2);
    Recorder first, second;
    ASSERT_FALSE(VeltraErrorPtr(VeltraConnect(a.get(), &first)));
    ASSERT_FALSE(VeltraErrorPtr(VeltraConnect(a.get(), &second)));
    EXPECT_FALSE(VeltraErrorPtr(VeltraSendDataNotification(a.get(), 7, nullptr)));
    EXPECT_EQ(first.log.back(), "notify 7");
    EXPECT_EQ(second.log.back(), "notify 7");
    first.fail = true;
    VeltraErrorPtr e(VeltraSendDataNotification(a.get(), 0, nullptr));
    ASSERT_TRUE(e);
    EXPECT_EQ(e->Root()->GetCode(), 4242);
    EXPECT_EQ(second.log.back(), "notify 7");
}

TEST(VeltraImage, TilesAreMadeOnFirstUseAndReportTheirStaleRegionClipped)
{
    auto m = MakeManager(8);
    ImagePtr img = MakeImage(m.get(), 37, 23, 32);
    bool exists = true;
    EXPECT_FALSE(VeltraErrorPtr(img->TileExists(&exists, 4, 2)));
    EXPECT_FALSE(exists);
    IVeltraTile* tile = nullptr;
    ASSERT_FALSE(VeltraErrorPtr(img->GetTile(&tile, 4, 2)));
    EXPECT_TRUE(tile->NeedsData());
    VeltraRect r;
    tile->GetRect(&r);
    EXPECT_EQ(r.left, 32);
    EXPECT_EQ(r.right, 40);
    VeltraRect stale;
    ASSERT_TRUE(tile->GetInvalidRect(&stale));
    EXPECT_EQ(stale.right, 37);
    EXPECT_EQ(stale.bottom, 23);
    EXPECT_EQ(tile->GetRowBytes(), 24);
    tile->SetValid(true);
    EXPECT_FALSE(tile->GetInvalidRect(&stale));
    tile->InvalidateRect(VeltraRect{33, 17, 34, 18});
    tile->InvalidateRect(VeltraRect{35, 20, 36, 21});
    ASSERT_TRUE(tile->GetInvalidRect(&stale));
    EXPECT_EQ(stale.left, 33);
    EXPECT_EQ(stale.top, 17);
    EXPECT_EQ(stale.right, 36);
    EXPECT_EQ(stale.bottom, 21);
    // tiles beyond the picture do not exist
    EXPECT_TRUE(VeltraErrorPtr(img->GetTile(&tile, 5, 0)));
}

TEST(VeltraImage, LocksNestAndMustBeBalanced)
{
    auto m = MakeManager(8);
    ImagePtr img = MakeImage(m.get(), 10, 10, 2);
    void* a = nullptr;
    void* b = nullptr;
    VeltraBitmapHeader* header = nullptr;
    ASSERT_FALSE(VeltraErrorPtr(img->LockTile(&a, 1, 1, &header)));
    ASSERT_FALSE(VeltraErrorPtr(img->LockTile(&b, 1, 1, nullptr)));
    EXPECT_EQ(a, b);
    EXPECT_EQ(header->biSize, 40u);
    EXPECT_EQ(header->biWidth, 8);
    EXPECT_EQ(header->biBitCount, 8);
    EXPECT_FALSE(VeltraErrorPtr(img->UnlockTile(1, 1)));
    EXPECT_FALSE(VeltraErrorPtr(img->UnlockTile(1, 1)));
    EXPECT_TRUE(VeltraErrorPtr(img->UnlockTile(1, 1)));
}

TEST(VeltraImage, GridsListOnlyTilesInsideThePicture)
{
    auto m = MakeManager(8);
    ImagePtr img = MakeImage(m.get(), 37, 23, 2);
    struct Case {
        VeltraRect rect;
        int32_t columns, rows, firstColumn;
        VeltraRect lastCovered;
    } cases[] = {
        {{0, 0, 37, 23}, 5, 3, 0, {32, 16, 37, 23}},
        {{10, 5, 20, 9}, 2, 2, 1, {16, 8, 20, 9}},
        {{-5, -5, 3, 3}, 1, 1, 0, {0, 0, 3, 3}},
        {{30, 20, 100, 100}, 2, 1, 3, {32, 20, 37, 23}},
        {{40, 0, 50, 5}, 0, 0, 0, {}},
    };
    for (const Case& c : cases) {
        IVeltraTileGrid* grid = nullptr;
        ASSERT_FALSE(VeltraErrorPtr(img->MapRect(&grid, c.rect)));
        EXPECT_EQ(grid->GetColumnCount(), c.columns);
        EXPECT_EQ(grid->GetRowCount(), c.rows);
        if (c.columns > 0) {
            EXPECT_EQ(grid->GetFirstColumn(), c.firstColumn);
            VeltraRect covered;
            grid->GetCoveredRect(c.columns - 1, c.rows - 1, &covered);
            EXPECT_EQ(covered.left, c.lastCovered.left);
            EXPECT_EQ(covered.top, c.lastCovered.top);
            EXPECT_EQ(covered.right, c.lastCovered.right);
            EXPECT_EQ(covered.bottom, c.lastCovered.bottom);
        }
        grid->Destroy();
    }
}

TEST(VeltraImage, DataRoundTripsAcrossTilesAndPixelsReadBack)
{
    for (int32_t t : {1, 7, 64}) {
        auto m = MakeManager(t);
        ImagePtr img = MakeImage(m.get(), 37, 23, 33);
        std::vector<uint16_t> in(37 * 23 * 3);
        for (size_t i = 0; i < in.size(); ++i)
            in[i] = static_cast<uint16_t>(i * 2654435761u >> 7);
        ASSERT_FALSE(VeltraErrorPtr(img->SetData(in.data(), 37 * 6, VeltraRect{0, 0, 37, 23})));
        std::vector<uint16_t> out(in.size());
        ASSERT_FALSE(VeltraErrorPtr(img->GetData(out.data(), 37 * 6, VeltraRect{0, 0, 37, 23})));
        EXPECT_EQ(in, out) << "tile " << t;
        VeltraPixel p;
        ASSERT_FALSE(VeltraErrorPtr(img->GetPixel(&p, 36, 22)));
        EXPECT_EQ(p.components, 3);
        EXPECT_EQ(p.value[2], in[(22 * 37 + 36) * 3 + 2]);
    }
}

// A pixel is written in the image's own sample layout; one with more components than a
// pixel holds is refused rather than written over its neighbour or past the tile.
TEST(VeltraImage, SetPixelWritesTheImagesOwnSamplesOnly)
{
    struct Case {
        const char* name;
        int32_t colorSpace;
        int32_t components;
        bool accepted;
    } cases[] = {
        {"grey 8, one sample", 2, 1, true},
        {"grey 8, four samples", 2, 4, false},
        {"grey 16, two samples", 3, 2, false},
        {"RGB 8, two of three", 32, 2, true},
        {"RGB 16, three", 33, 3, true},
        {"RGB 16, four", 33, 4, false},
        {"RGBA 8, four", 34, 4, true},
        {"no components", 32, 0, false},
        {"one bit per pixel", 1, 1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto m = MakeManager(4);
        ImagePtr img = MakeImage(m.get(), 4, 4, c.colorSpace);
        VeltraPixel px;
        px.components = c.components;
        for (int32_t k = 0; k < 4; ++k)
            px.value[k] = static_cast<uint16_t>(0xA0B1 + k * 0x1111);
        // the bottom-right pixel ends the tile's buffer: a wrong width shows there
        VeltraErrorPtr e(img->SetPixel(px, 3, 3));
        ASSERT_EQ(!e, c.accepted);
        if (!c.accepted)
            continue;
        VeltraPixel back;
        ASSERT_FALSE(VeltraErrorPtr(img->GetPixel(&back, 3, 3)));
        int32_t planes = 0, bits = 0;
        ASSERT_TRUE(IVeltraDataSource::GetSampleLayout(c.colorSpace, &planes, &bits));
        EXPECT_EQ(back.components, planes);
        for (int32_t k = 0; k < c.components; ++k)
            EXPECT_EQ(back.value[k], bits == 16 ? px.value[k] : (px.value[k] & 0xFF)) << k;
        for (int32_t k = c.components; k < planes; ++k)
            EXPECT_EQ(back.value[k], 0) << "untouched sample " << k;
    }
}

// A colour-space change that a locked tile cannot follow at once is not lost: the tile is
// out of date until it is free, and its next lock gives a buffer of the new layout.
TEST(VeltraImage, ATileLockedThroughAColourSpaceChangeTakesTheNewLayoutWhenFree)
{
    auto m = MakeManager(8);
    ImagePtr img = MakeImage(m.get(), 8, 8, 2);
    void* bits = nullptr;
    ASSERT_FALSE(VeltraErrorPtr(img->LockTile(&bits, 0, 0, nullptr)));
    EXPECT_TRUE(VeltraErrorPtr(img->SetColorSpace(33))) << "a held buffer cannot grow";
    void* second = nullptr;
    EXPECT_TRUE(VeltraErrorPtr(img->LockTile(&second, 0, 0, nullptr))) << "no new lock on the old layout";
    ASSERT_FALSE(VeltraErrorPtr(img->UnlockTile(0, 0)));
    EXPECT_FALSE(VeltraErrorPtr(img->SetColorSpace(33))) << "asking again";

    IVeltraTile* tile = nullptr;
    ASSERT_FALSE(VeltraErrorPtr(img->GetTile(&tile, 0, 0)));
    EXPECT_TRUE(tile->NeedsData());
    ASSERT_FALSE(VeltraErrorPtr(img->LockTile(&bits, 0, 0, nullptr)));
    EXPECT_EQ(tile->GetRowBytes(), IVeltraDataSource::RowBytesFor(8, 33));
    ASSERT_FALSE(VeltraErrorPtr(img->UnlockTile(0, 0)));

    // a whole tile of 48-bit pixels goes in and comes back
    std::vector<uint16_t> in(8 * 8 * 3), out(in.size());
    for (size_t i = 0; i < in.size(); ++i)
        in[i] = static_cast<uint16_t>(i * 977);
    ASSERT_FALSE(VeltraErrorPtr(img->SetData(in.data(), 8 * 6, VeltraRect{0, 0, 8, 8})));
    ASSERT_FALSE(VeltraErrorPtr(img->GetData(out.data(), 8 * 6, VeltraRect{0, 0, 8, 8})));
    EXPECT_EQ(in, out);
}

TEST(VeltraImage, RelativeTransformMirrorsFirstThenTurns)
{
    auto m = MakeManager(8);
    ImagePtr img = MakeImage(m.get(), 4, 4, 2);
    EXPECT_FALSE(VeltraErrorPtr(img->SetTransform(false, 90, false)));
    EXPECT_FALSE(VeltraErrorPtr(img->SetTransform(true, 30, true)));
    bool flip = false;
    double rot = 0;
    EXPECT_FALSE(VeltraErrorPtr(img->GetTransform(&flip, &rot)));
    EXPECT_TRUE(flip);
    EXPECT_DOUBLE_EQ(rot, 300.0);  // -90 + 30
    EXPECT_EQ(IVeltraDataSource::GetBitsPerPixel(33), 48);
    EXPECT_EQ(IVeltraDataSource::GetBitsPerPixel(64), 16);
    EXPECT_EQ(IVeltraDataSource::GetBitsPerPixel(17), 1);
    EXPECT_EQ(IVeltraDataSource::GetBitsPerPixel(0x10003), 24);
    EXPECT_EQ(IVeltraDataSource::GetBitsPerPixel(0), 0);
}

namespace {

// The smallest filter: passes its first source through.
class PassFilter : public IVeltraFilter {
public:
    IVeltraDataSource* Src() const { return VeltraGetDataSource(this, 0); }
#define PF(call) return Src() ? Src()->call : IVeltraError::Add(nullptr, 0, __LINE__, 0, kVeltraNoSource)
    IVeltraError* GetWidth(int32_t* v) override { PF(GetWidth(v)); }
    IVeltraError* GetHeight(int32_t* v) override { PF(GetHeight(v)); }
    IVeltraError* GetColorSpace(int32_t* v) override { PF(GetColorSpace(v)); }
    IVeltraError* GetResolution(double* v) override { PF(GetResolution(v)); }
    IVeltraError* GetFlip(bool* v) override { PF(GetFlip(v)); }
    IVeltraError* GetRotation(double* v) override { PF(GetRotation(v)); }
    IVeltraError* GetTileSize(int32_t* v) override { PF(GetTileSize(v)); }
    IVeltraError* GetPalette(VeltraPalette* v) override { PF(GetPalette(v)); }
    IVeltraError* TileExists(bool* e, const IVeltraTileID& id) override { PF(TileExists(e, id)); }
    IVeltraError* TileExists(bool* e, int32_t c, int32_t r) override { PF(TileExists(e, c, r)); }
    IVeltraError* GetTile(IVeltraTile** t, const IVeltraTileID& id) override { PF(GetTile(t, id)); }
    IVeltraError* GetTile(IVeltraTile** t, int32_t c, int32_t r) override { PF(GetTile(t, c, r)); }
    IVeltraError* LockTile(void** b, VeltraRect* tr, VeltraRect* cr, int32_t* rb, const IVeltraTileGrid& g, int32_t c,
                           int32_t r, VeltraBitmapHeader** h) override
    {
        PF(LockTile(b, tr, cr, rb, g, c, r, h));
    }
    IVeltraError* LockTile(void** b, const IVeltraTileID& id, VeltraBitmapHeader** h) override { PF(LockTile(b, id, h)); }
    IVeltraError* LockTile(void** b, int32_t c, int32_t r, VeltraBitmapHeader** h) override { PF(LockTile(b, c, r, h)); }
    IVeltraError* UnlockTile(const IVeltraTileGrid& g, int32_t c, int32_t r) override { PF(UnlockTile(g, c, r)); }
    IVeltraError* UnlockTile(const IVeltraTileID& id) override { PF(UnlockTile(id)); }
    IVeltraError* UnlockTile(int32_t c, int32_t r) override { PF(UnlockTile(c, r)); }
    IVeltraError* MapRect(IVeltraTileGrid** g, const VeltraRect& r) override { PF(MapRect(g, r)); }
    IVeltraError* VeltraNotify(IVeltraDataSource*, int32_t code, void* data) override
    {
        return VeltraSendDataNotification(this, code, data);
    }
    IVeltraError* Enable(bool, bool) override { return nullptr; }
    bool IsEnabled() const override { return true; }
    IVeltraManager* GetManager() const override { return nullptr; }
    int32_t GetFilterID() const override { return 0; }
    int32_t GetFilterCode() const override { return VeltraFourCC("pass"); }
    const char* GetFilterDescription() const override { return "pass"; }
    IVeltraError* FilterPoint(double*, double*, IVeltraDataSource**, int32_t) override { return nullptr; }
    IVeltraError* FilterPoint(int32_t*, int32_t*, IVeltraDataSource**, int32_t) override { return nullptr; }
    IVeltraError* FilterRect(VeltraDblRect*, IVeltraDataSource**, int32_t) override { return nullptr; }
    IVeltraError* FilterRect(VeltraRect*, IVeltraDataSource**, int32_t) override { return nullptr; }
    IVeltraError* DefilterPoint(double*, double*, IVeltraDataSource**, int32_t) override { return nullptr; }
    IVeltraError* DefilterPoint(int32_t*, int32_t*, IVeltraDataSource**, int32_t) override { return nullptr; }
    IVeltraError* DefilterRect(VeltraDblRect*, IVeltraDataSource**, int32_t) override { return nullptr; }
    IVeltraError* DefilterRect(VeltraRect*, IVeltraDataSource**, int32_t) override { return nullptr; }
    IVeltraError* GenerateTile(IVeltraTile*, IVeltraDataSource**, int32_t) override { return nullptr; }
    IVeltraError* Process(IVeltraDataSource**, int32_t, IVeltraImage*) override { return nullptr; }
    IVeltraError* BeginProcess(int32_t*, IVeltraDataSource**, int32_t, IVeltraImage*) override { return nullptr; }
    IVeltraError* ExecuteProcess(int32_t, int32_t*, int32_t*) override { return nullptr; }
    IVeltraError* GetProcessInfo(int32_t, IVeltraDataSource***, int32_t*, IVeltraImage**) override { return nullptr; }
    IVeltraError* EndProcess(int32_t) override { return nullptr; }
#undef PF
};

}  // namespace

TEST(VeltraChain, ConnectsImageThroughFiltersAndAnswersAsItsLastMember)
{
    auto m = MakeManager(8);
    ImagePtr img = MakeImage(m.get(), 9, 4, 2);
    IVeltraChain* chain = nullptr;
    ASSERT_FALSE(VeltraErrorPtr(m->CreateChain(&chain)));
    int32_t w = 0;
    EXPECT_TRUE(VeltraErrorPtr(chain->GetWidth(&w)));  // nothing to answer with
    auto f1 = std::make_unique<PassFilter>();
    auto f2 = std::make_unique<PassFilter>();
    auto f3 = std::make_unique<PassFilter>();
    ASSERT_FALSE(VeltraErrorPtr(chain->AppendFilter(f1.get(), -1)));
    ASSERT_FALSE(VeltraErrorPtr(chain->AppendFilter(f2.get(), -1)));
    ASSERT_FALSE(VeltraErrorPtr(chain->AppendFilter(f3.get(), -1)));
    ASSERT_FALSE(VeltraErrorPtr(chain->SetSource(img.get(), 0)));
    EXPECT_FALSE(VeltraErrorPtr(chain->GetWidth(&w)));
    EXPECT_EQ(w, 9);
    EXPECT_EQ(VeltraGetDataSource(f2.get(), 0), static_cast<IVeltraDataSource*>(f1.get()));
    // a member deleted while connected leaves the chain whole, without dangling links
    f2.reset();
    EXPECT_EQ(chain->GetFilterCount(), 2);
    EXPECT_EQ(VeltraGetDataSource(f3.get(), 0), static_cast<IVeltraDataSource*>(f1.get()));
    EXPECT_FALSE(VeltraErrorPtr(chain->GetWidth(&w)));
    // the image destroyed while it is the chain's source
    img.reset();
    EXPECT_EQ(VeltraGetDataSourceCount(f1.get()), 0);
    // release drops the chain's links and never deletes its members
    chain->Release();
    EXPECT_EQ(VeltraGetDataSourceCount(f3.get()), 0);
    EXPECT_EQ(f1->GetFilterCode(), VeltraFourCC("pass"));
}
