// The filter base: identity and switches, sources, notifications, watchers, the cache and
// tile generation, and process runs.
#include "Caravel/Brisant/IntermediateCache.h"
#include "Caravel/Brisant/VeltraFilterBase.h"
#include "Caravel/Brisant/VeltraFilterWatcher.h"
#include "Caravel/Brisant/tests/FilterTestSupport.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

using namespace brisant_test;

namespace {

// Copies its 8-bit grey source plus an offset; counts generations per tile and can fail.
class ProbeFilter : public CVeltraFilterBase {
public:
    explicit ProbeFilter(IVeltraManager* m) : CVeltraFilterBase(m, 1) {}
    int32_t GetFilterCode() const override { return VeltraFourCC("prob"); }
    const char* GetFilterDescription() const override { return "probe"; }
    using CVeltraFilterBase::CheckCache;
    using CVeltraFilterBase::InvalidateCache;
    void SetOffset(uint8_t o) { offset = o; }

    int32_t calls = 0;
    int32_t failAt = -1;  // fail the call with this number (0-based)
    std::vector<VeltraRect> regions;
    std::vector<bool> withRecord;
    uint8_t offset = 0;

protected:
    IVeltraError* ProcessTile(IVeltraTile* tile, CProcessInfo* info) override
    {
        const int32_t call = calls++;
        withRecord.push_back(info != nullptr);
        if (call == failAt)
            return IVeltraError::Add(nullptr, GetFilterCode(), __LINE__, 0, 7777);
        IVeltraDataSource** sources = nullptr;
        int32_t count = 0;
        SourcesFor(info, &sources, &count);
        TileTarget out(tile);
        if (!out.FindRegion())
            return nullptr;
        regions.push_back(out.region);
        if (IVeltraError* e = out.Lock())
            return e;
        IVeltraError* err = WalkSourceTiles(sources[0], out.region, GetFilterCode(), 1, [&](const SourceBlock& b) {
            for (int32_t y = b.covered.top; y < b.covered.bottom; ++y)
                for (int32_t x = b.covered.left; x < b.covered.right; ++x)
                    *out.At(x, y, 1) = static_cast<uint8_t>(
                        b.bits[(y - b.covered.top) * b.rowBytes + (x - b.covered.left)] + offset);
            return static_cast<IVeltraError*>(nullptr);
        });
        if (IVeltraError* e = out.Finish(!err))
            err = IVeltraError::AddWorker(&err, 0, __LINE__, e);
        return err;
    }
};

class Recorder : public IVeltraDataDestination {
public:
    struct Heard {
        int32_t code;
        void* data;
        VeltraRect rect;
    };
    IVeltraError* VeltraNotify(IVeltraDataSource*, int32_t code, void* data) override
    {
        Heard h{code, data, {}};
        if (code == 0 && data)
            h.rect = *static_cast<VeltraRect*>(data);
        heard.push_back(h);
        return nullptr;
    }
    std::vector<Heard> heard;
};

class RecordingWatcher : public CVeltraFilterWatcher {
public:
    IVeltraError* FilterNotify(CVeltraFilterBase*, int32_t code, void* data) override
    {
        if (code == 0) {
            auto* list = static_cast<CVeltraFilterBase::WatcherList*>(data);
            log.push_back((list->added ? "+" : "-") + std::to_string(list->count));
        }
        return nullptr;
    }
    std::vector<std::string> log;
};

struct Graph {
    explicit Graph(int32_t tile = 8, int32_t w = 37, int32_t h = 23)
        : manager(MakeManager(tile)), picture(NoisePicture(w, h, 2, 1)), image(MakeImage(manager.get(), picture)),
          probe(std::make_unique<ProbeFilter>(manager.get()))
    {
        EXPECT_FALSE(VeltraErrorPtr(VeltraConnect(image.get(), probe.get())));
        EXPECT_FALSE(VeltraErrorPtr(VeltraConnect(probe.get(), &downstream)));
    }
    ManagerPtr manager;
    Picture picture;
    ImagePtr image;
    std::unique_ptr<ProbeFilter> probe;
    Recorder downstream;
};

int32_t CodeOf(IVeltraError* e)
{
    return e && e->Root() ? e->Root()->GetCode() : 0;
}

}  // namespace

TEST(FilterBase, FirstFilterOfTheProcessGetsIdOneAndIdsCountUp)
{
    auto m = MakeManager(8);
    ProbeFilter a(m.get());
    ProbeFilter b(m.get());
    EXPECT_EQ(a.GetFilterID(), 1);
    EXPECT_EQ(b.GetFilterID(), 2);
}

TEST(FilterBase, EnableSendsUpdateAllOnlyOnAChangeWithNotify)
{
    struct Case {
        bool start, enable, notify;
        size_t sent;
    } cases[] = {{true, true, true, 0}, {true, false, false, 0}, {true, false, true, 1}, {false, true, true, 1}};
    for (const Case& c : cases) {
        Graph g;
        VeltraErrorPtr(g.probe->Enable(c.start, false));
        g.downstream.heard.clear();
        EXPECT_FALSE(VeltraErrorPtr(g.probe->Enable(c.enable, c.notify)));
        EXPECT_EQ(g.probe->IsEnabled(), c.enable);
        ASSERT_EQ(g.downstream.heard.size(), c.sent);
        if (c.sent) {
            EXPECT_EQ(g.downstream.heard[0].code, 7);
            EXPECT_EQ(g.downstream.heard[0].data, nullptr);
        }
    }
}

TEST(FilterBase, DisabledFilterForwardsToItsSourceAndLeavesTheCacheAlone)
{
    Graph g;
    EXPECT_FALSE(VeltraErrorPtr(g.probe->Enable(false, false)));
    int32_t w = 0;
    EXPECT_FALSE(VeltraErrorPtr(g.probe->GetWidth(&w)));
    EXPECT_EQ(w, 37);
    EXPECT_TRUE(g.probe->IsChanged());
    EXPECT_EQ(g.probe->GetCacheImage(), nullptr);
    EXPECT_EQ(ReadAll(g.probe.get()).bytes, g.picture.bytes);
    EXPECT_EQ(g.probe->calls, 0);
}

TEST(FilterBase, NotificationCodesAreDispatched)
{
    Graph g;
    int32_t w = 0;
    EXPECT_FALSE(VeltraErrorPtr(g.probe->GetWidth(&w)));
    ASSERT_FALSE(g.probe->IsChanged());
    int marker = 0;
    // above 7: ignored
    EXPECT_FALSE(VeltraErrorPtr(g.probe->VeltraNotify(g.image.get(), 8, &marker)));
    EXPECT_TRUE(g.downstream.heard.empty());
    // user codes pass through unchanged and leave changed alone
    EXPECT_FALSE(VeltraErrorPtr(g.probe->VeltraNotify(g.image.get(), -5, &marker)));
    ASSERT_EQ(g.downstream.heard.size(), 1u);
    EXPECT_EQ(g.downstream.heard[0].code, -5);
    EXPECT_EQ(g.downstream.heard[0].data, &marker);
    EXPECT_FALSE(g.probe->IsChanged());
    // the source going away: changed, nothing sent
    EXPECT_FALSE(VeltraErrorPtr(g.probe->VeltraNotify(g.image.get(), 6, nullptr)));
    EXPECT_TRUE(g.probe->IsChanged());
    EXPECT_EQ(g.downstream.heard.size(), 1u);
    // codes 1-5 pass their record on; 7 goes on without data
    IVeltraDataDestination::ChangeSize size{1, 2, 3, 4};
    EXPECT_FALSE(VeltraErrorPtr(g.probe->VeltraNotify(g.image.get(), 1, &size)));
    EXPECT_EQ(g.downstream.heard.back().code, 1);
    EXPECT_EQ(g.downstream.heard.back().data, &size);
    EXPECT_FALSE(VeltraErrorPtr(g.probe->VeltraNotify(g.image.get(), 7, nullptr)));
    EXPECT_EQ(g.downstream.heard.back().code, 7);
}

TEST(FilterBase, PixelChangesAreClampedToTheOutputAndNeverEmpty)
{
    struct Case {
        VeltraRect in, out;
    } cases[] = {
        {{3, 4, 9, 6}, {3, 4, 9, 6}},
        {{50, 2, 60, 5}, {36, 2, 37, 5}},   // wholly right of the output: the right edge strip
        {{-10, -10, -5, -5}, {0, 0, 1, 1}},
        {{30, 20, 90, 90}, {30, 20, 37, 23}},
    };
    for (const Case& c : cases) {
        Graph g;
        VeltraRect r = c.in;
        EXPECT_FALSE(VeltraErrorPtr(g.probe->VeltraNotify(g.image.get(), 0, &r)));
        ASSERT_EQ(g.downstream.heard.size(), 1u);
        const VeltraRect& got = g.downstream.heard[0].rect;
        EXPECT_EQ(got.left, c.out.left);
        EXPECT_EQ(got.top, c.out.top);
        EXPECT_EQ(got.right, c.out.right);
        EXPECT_EQ(got.bottom, c.out.bottom);
    }
}

TEST(FilterBase, WatchersAreToldOnceWhenTheyComeAndGo)
{
    auto m = MakeManager(8);
    ProbeFilter f(m.get());
    RecordingWatcher a, b;
    EXPECT_FALSE(VeltraErrorPtr(f.AddWatcher(&a)));
    EXPECT_FALSE(VeltraErrorPtr(f.AddWatcher(&a)));  // only counted
    EXPECT_FALSE(VeltraErrorPtr(f.AddWatcher(&b)));
    EXPECT_EQ(a.log, (std::vector<std::string>{"+1", "+2"}));
    EXPECT_EQ(b.log, (std::vector<std::string>{"+2"}));
    EXPECT_FALSE(VeltraErrorPtr(f.RemoveWatcher(&a)));  // still registered once
    EXPECT_EQ(b.log.size(), 1u);
    EXPECT_FALSE(VeltraErrorPtr(f.RemoveWatcher(&a)));
    EXPECT_EQ(b.log.back(), "-1");
    RecordingWatcher never;
    EXPECT_FALSE(VeltraErrorPtr(f.RemoveWatcher(&never)));
}

TEST(FilterBase, AWatcherDestroyedWhileRegisteredLeavesNoDanglingPointer)
{
    auto m = MakeManager(8);
    ProbeFilter f(m.get());
    RecordingWatcher stays;
    EXPECT_FALSE(VeltraErrorPtr(f.AddWatcher(&stays)));
    {
        RecordingWatcher gone;
        EXPECT_FALSE(VeltraErrorPtr(f.AddWatcher(&gone)));
        EXPECT_FALSE(VeltraErrorPtr(f.AddWatcher(&gone)));
        gone.VeltraFilterStartWatching(&f);
    }
    EXPECT_EQ(stays.log.back(), "-1");
    // a later notification reaches only the watcher that is still there
    EXPECT_FALSE(VeltraErrorPtr(f.RemoveWatcher(&stays)));
}

TEST(FilterBase, SourcesListIsRefreshedWholeAndNeverShrinks)
{
    auto m = MakeManager(8);
    Picture p = NoisePicture(5, 5, 2, 3);
    ImagePtr a = MakeImage(m.get(), p), b = MakeImage(m.get(), p), c = MakeImage(m.get(), p);
    ProbeFilter f(m.get());
    for (IVeltraImage* i : {a.get(), b.get(), c.get()})
        ASSERT_FALSE(VeltraErrorPtr(VeltraConnect(i, &f)));
    ASSERT_FALSE(VeltraErrorPtr(VeltraDisconnect(b.get(), &f)));
    IVeltraDataSource** sources = nullptr;
    int32_t count = 0;
    f.GetSources(&sources, &count);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(sources[0], a.get());
    EXPECT_EQ(sources[1], c.get());
}

TEST(FilterBase, OperationsWithoutASourceFailInsteadOfCrashing)
{
    auto m = MakeManager(8);
    ProbeFilter f(m.get());
    int32_t w = 0;
    VeltraErrorPtr e(f.GetWidth(&w));
    EXPECT_EQ(CodeOf(e.get()), kVeltraNoSource);
    EXPECT_FALSE(VeltraErrorPtr(f.Enable(false, false)));
    VeltraErrorPtr d(f.GetWidth(&w));
    EXPECT_EQ(CodeOf(d.get()), kVeltraNoSource);
}

TEST(FilterBase, FirstReadDescribesTheCacheAndLockingACurrentTileGeneratesOnce)
{
    Graph g;
    int32_t w = 0;
    EXPECT_FALSE(VeltraErrorPtr(g.probe->GetWidth(&w)));
    EXPECT_EQ(w, 37);
    ASSERT_NE(g.probe->GetCacheImage(), nullptr);
    EXPECT_FALSE(g.probe->IsChanged());
    EXPECT_EQ(g.probe->calls, 0);
    void* bits = nullptr;
    for (int i = 0; i < 2; ++i) {
        ASSERT_FALSE(VeltraErrorPtr(g.probe->LockTile(&bits, 1, 1, nullptr)));
        ASSERT_FALSE(VeltraErrorPtr(g.probe->UnlockTile(1, 1)));
    }
    EXPECT_EQ(g.probe->calls, 1);
    EXPECT_FALSE(g.probe->withRecord[0]);  // generation reads the connected sources
}

TEST(FilterBase, InvalidatingBeforeAnyReadDoesNothing)
{
    Graph g;
    EXPECT_FALSE(VeltraErrorPtr(g.probe->InvalidateCache(VeltraRect{0, 0, 5, 5})));
    EXPECT_EQ(g.probe->GetCacheImage(), nullptr);
}

TEST(FilterBase, SourcePixelChangesInvalidateExactlyWhatTheyTouch)
{
    Graph g;
    Picture before = ReadAll(g.probe.get());
    const int32_t generated = g.probe->calls;
    EXPECT_EQ(generated, 5 * 3);
    // change part of one tile, then a whole tile, and tell the filter
    Picture changed = g.picture;
    for (int32_t y = 9; y < 11; ++y)
        for (int32_t x = 2; x < 4; ++x)
            changed.Set(x, y, 0, 200);
    for (int32_t y = 0; y < 8; ++y)
        for (int32_t x = 16; x < 24; ++x)
            changed.Set(x, y, 0, 7);
    ASSERT_FALSE(VeltraErrorPtr(g.image->SetData(changed.bytes.data(), changed.RowBytes(), VeltraRect{0, 0, 37, 23})));
    VeltraRect part{2, 9, 4, 11}, whole{16, 0, 24, 8};
    ASSERT_FALSE(VeltraErrorPtr(VeltraSendDataNotification(g.image.get(), 0, &part)));
    ASSERT_FALSE(VeltraErrorPtr(VeltraSendDataNotification(g.image.get(), 0, &whole)));
    // downstream heard both
    ASSERT_EQ(g.downstream.heard.size(), 2u);
    EXPECT_EQ(g.downstream.heard[0].rect.left, 2);
    EXPECT_EQ(g.downstream.heard[1].rect.left, 16);
    Picture after = ReadAll(g.probe.get());
    EXPECT_EQ(after.bytes, changed.bytes);
    ASSERT_EQ(g.probe->calls, generated + 2);
    const VeltraRect& r1 = g.probe->regions[static_cast<size_t>(generated)];
    EXPECT_EQ(r1.left, 16);  // the whole tile (row 0 comes first)
    EXPECT_EQ(r1.right, 24);
    const VeltraRect& r2 = g.probe->regions[static_cast<size_t>(generated + 1)];
    EXPECT_EQ(r2.left, 2);  // only the changed part
    EXPECT_EQ(r2.top, 9);
    EXPECT_EQ(r2.right, 4);
    EXPECT_EQ(r2.bottom, 11);
    (void)before;
}

TEST(FilterBase, AFailedGenerationIsAskedAgainByTheNextReader)
{
    Graph g;
    g.probe->failAt = 0;
    void* bits = nullptr;
    VeltraErrorPtr e(g.probe->LockTile(&bits, 0, 0, nullptr));
    EXPECT_EQ(CodeOf(e.get()), 7777);
    // the failed lock left no lock behind and the tile stale
    IVeltraTile* tile = nullptr;
    ASSERT_FALSE(VeltraErrorPtr(g.probe->GetTile(&tile, 0, 0)));
    EXPECT_TRUE(tile->GetInvalidRect(nullptr));
    ASSERT_FALSE(VeltraErrorPtr(g.probe->LockTile(&bits, 0, 0, nullptr)));
    EXPECT_EQ(static_cast<uint8_t*>(bits)[0], g.picture.At(0, 0, 0));
    ASSERT_FALSE(VeltraErrorPtr(g.probe->UnlockTile(0, 0)));
    EXPECT_EQ(g.probe->calls, 2);
}

TEST(FilterBase, ProcessRunReportsOneTilePerCallThenDrains)
{
    Graph g(8, 24, 16);  // 3 x 2 tiles
    IVeltraImage* dst = nullptr;
    ASSERT_FALSE(VeltraErrorPtr(g.manager->CreateImage(&dst, 0)));
    ImagePtr owned(dst);
    IVeltraDataSource* sources[1] = {g.image.get()};
    int32_t id = 0, id2 = 0;
    ASSERT_FALSE(VeltraErrorPtr(g.probe->BeginProcess(&id, sources, 1, dst)));
    ASSERT_FALSE(VeltraErrorPtr(g.probe->BeginProcess(&id2, sources, 1, dst)));
    EXPECT_EQ(id2, id + 1);
    EXPECT_FALSE(VeltraErrorPtr(g.probe->Enable(false, false)));  // runs ignore the switch
    g.probe->failAt = 3;
    std::vector<int32_t> dones;
    for (int i = 0; i < 8; ++i) {
        int32_t done = -1, total = -1;
        VeltraErrorPtr e(g.probe->ExecuteProcess(id, &done, &total));
        if (e) {
            EXPECT_EQ(CodeOf(e.get()), 7777);
            continue;  // the same tile is tried again
        }
        dones.push_back(done);
        if (done > 0) {
            EXPECT_EQ(total, 6);
        }
    }
    EXPECT_EQ(dones, (std::vector<int32_t>{1, 2, 3, 4, 5, 6, 0}));
    EXPECT_TRUE(g.probe->withRecord.back());
    EXPECT_FALSE(VeltraErrorPtr(g.probe->ExecuteProcess(id, nullptr, nullptr)));
    EXPECT_FALSE(VeltraErrorPtr(g.probe->EndProcess(id)));
    EXPECT_EQ(CodeOf(VeltraErrorPtr(g.probe->ExecuteProcess(id, nullptr, nullptr)).get()), kVeltraUnknownRun);
    EXPECT_EQ(CodeOf(VeltraErrorPtr(g.probe->EndProcess(999)).get()), kVeltraUnknownRun);
    IVeltraDataSource** got = nullptr;
    int32_t count = 0;
    IVeltraImage* gotDst = nullptr;
    EXPECT_FALSE(VeltraErrorPtr(g.probe->GetProcessInfo(id2, &got, &count, &gotDst)));
    EXPECT_EQ(gotDst, dst);
    // id2 stays open: the destructor ends it
    Picture out;
    out.width = 24;
    EXPECT_EQ(ReadAll(dst).bytes, g.picture.bytes);
}

TEST(FilterBase, ARunRewritesADestinationThatHoldsAnEarlierResult)
{
    Graph g;
    IVeltraImage* dst = nullptr;
    ASSERT_FALSE(VeltraErrorPtr(g.manager->CreateImage(&dst, 0)));
    ImagePtr owned(dst);
    IVeltraDataSource* sources[1] = {g.image.get()};
    ASSERT_FALSE(VeltraErrorPtr(g.probe->Process(sources, 1, dst)));
    g.probe->SetOffset(9);
    int32_t id = 0, done = 0, total = 0;
    ASSERT_FALSE(VeltraErrorPtr(g.probe->BeginProcess(&id, sources, 1, dst)));
    do {
        ASSERT_FALSE(VeltraErrorPtr(g.probe->ExecuteProcess(id, &done, &total)));
    } while (total != 0);
    EXPECT_FALSE(VeltraErrorPtr(g.probe->EndProcess(id)));
    Picture out = ReadAll(dst);
    EXPECT_EQ(out.At(36, 22, 0), static_cast<uint8_t>(g.picture.At(36, 22, 0) + 9));
    g.probe->SetOffset(1);
    ASSERT_FALSE(VeltraErrorPtr(g.probe->Process(sources, 1, dst)));
    EXPECT_EQ(ReadAll(dst).At(0, 0, 0), static_cast<uint8_t>(g.picture.At(0, 0, 0) + 1));
}

TEST(FilterBase, ARunOverAnEmptyOutputEndsAtOnce)
{
    Graph g(8, 0, 5);
    IVeltraImage* dst = nullptr;
    ASSERT_FALSE(VeltraErrorPtr(g.manager->CreateImage(&dst, 0)));
    ImagePtr owned(dst);
    IVeltraDataSource* sources[1] = {g.image.get()};
    int32_t id = 0, done = -1, total = -1;
    ASSERT_FALSE(VeltraErrorPtr(g.probe->BeginProcess(&id, sources, 1, dst)));
    EXPECT_FALSE(VeltraErrorPtr(g.probe->ExecuteProcess(id, &done, &total)));
    EXPECT_EQ(done, 0);
    EXPECT_EQ(total, 0);
    EXPECT_FALSE(VeltraErrorPtr(g.probe->EndProcess(id)));
}

namespace {
// Fills each tile with its column number and counts the fills.
class CountingCache : public CVeltraFilterBase::CIntermediateCache {
public:
    using CIntermediateCache::CIntermediateCache;
    void Destroy() override { delete this; }
    IVeltraError* GenerateCacheTile(IVeltraTile* tile) override
    {
        ++fills;
        void* bits = nullptr;
        if (IVeltraError* e = tile->LockBits(&bits, nullptr))
            return e;
        static_cast<uint8_t*>(bits)[0] = static_cast<uint8_t>(tile->GetID().column + 1);
        return tile->UnlockBits();
    }
    int32_t fills = 0;
};
}  // namespace

TEST(IntermediateCache, FillsTilesOnDemandAndAgainAfterInvalidation)
{
    auto m = MakeManager(8);
    ProbeFilter owner(m.get());
    CountingCache cache(&owner, nullptr);
    int32_t w = 0;
    EXPECT_TRUE(VeltraErrorPtr(cache.GetWidth(&w)));  // no real image yet
    ASSERT_FALSE(VeltraErrorPtr(cache.CreateImage()));
    ASSERT_FALSE(VeltraErrorPtr(cache.SetSize(20, 10)));
    ASSERT_FALSE(VeltraErrorPtr(cache.SetColorSpace(2)));
    void* bits = nullptr;
    for (int i = 0; i < 2; ++i) {
        ASSERT_FALSE(VeltraErrorPtr(cache.LockTile(&bits, 2, 1, nullptr)));
        EXPECT_EQ(static_cast<uint8_t*>(bits)[0], 3);
        ASSERT_FALSE(VeltraErrorPtr(cache.UnlockTile(2, 1)));
    }
    EXPECT_EQ(cache.fills, 1);
    ASSERT_FALSE(VeltraErrorPtr(cache.Invalidate()));
    ASSERT_FALSE(VeltraErrorPtr(cache.LockTile(&bits, 2, 1, nullptr)));
    ASSERT_FALSE(VeltraErrorPtr(cache.UnlockTile(2, 1)));
    EXPECT_EQ(cache.fills, 2);
}
