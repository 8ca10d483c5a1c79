// The module object tree and its capability operations against a scripted module.
#include <cstring>

#include <gtest/gtest.h>

#include "viewer/sources/camera/AsyncScheduler.h"
#include "viewer/sources/camera/AsyncWaitTask.h"
#include "viewer/sources/camera/CameraClock.h"
#include "viewer/sources/camera/DornImageObj.h"
#include "viewer/sources/camera/DornItem.h"
#include "viewer/sources/camera/DornModule.h"
#include "viewer/sources/camera/DornSource.h"
#include "viewer/sources/camera/tests/FakeModule.h"

using namespace camtest;

namespace {

class DornLayerTest : public ::testing::Test {
protected:
    DornLayerTest() { CDornModule::RegisterBuiltin("fake", &FakeModule::Entry); }

    // The module open, and its first source made through event 0.
    CDornSource* OpenWithSource()
    {
        EXPECT_EQ(module_.OpenModule("fake"), 0);
        fake_.SendEvent(module_.GetObjectRecord(), DORN_EVENT_ADDED, 1);
        EXPECT_EQ(module_.GetChildren().size(), 1u);
        return module_.GetChildren().empty() ? nullptr : dynamic_cast<CDornSource*>(module_.GetChildren()[0].Get());
    }

    FakeModule fake_;
    CDornModule module_;
};

TEST_F(DornLayerTest, OpenTwiceAndAsynchronousOpenOfAnOpenObject)
{
    ASSERT_EQ(module_.OpenModule("fake"), 0);
    EXPECT_EQ(module_.OpenModule("fake"), DORN_E_LOADED);
    EXPECT_EQ(module_.Open(0, nullptr), DORN_E_ALREADY_OPEN);
    EXPECT_TRUE(module_.HasCapability(DORN_CAP_EVENT_CB));
    EXPECT_EQ(fake_.callbacks[module_.GetObjectRecord()].size(), 3u);  // 2, 3 and 5

    CDornObject* child = nullptr;
    ASSERT_EQ(module_.CreateChild(1, &child), 0);
    CAsyncWaitTask task;
    EXPECT_EQ(child->Open(1, &task), DORN_E_ALREADY_OPEN);
    EXPECT_TRUE(task.IsIdle());
}

TEST_F(DornLayerTest, ChangedRecordsAreReadAgainBoundedly)
{
    int refusals = 1;
    fake_.hook = [&](const FakeCall& c) -> std::optional<int32_t> {
        if (c.command == DORN_CMD_CAPRECORDS && refusals-- > 0) return DORN_E_CHANGED;
        return std::nullopt;
    };
    ASSERT_EQ(module_.OpenModule("fake"), 0);
    EXPECT_EQ(fake_.Count(DORN_CMD_CAPCOUNT), 2u);

    // A module that always answers "changed" is not asked for ever.
    module_.CloseModule();
    fake_.calls.clear();
    refusals = 1000;
    EXPECT_EQ(module_.OpenModule("fake"), DORN_E_CHANGED);
    EXPECT_LE(fake_.Count(DORN_CMD_CAPCOUNT), static_cast<size_t>(kDornChangedRetries));
}

TEST_F(DornLayerTest, RemovalOfALockedChildWaitsForItsRelease)
{
    CDornSource* source = OpenWithSource();
    ASSERT_NE(source, nullptr);
    source->Lock();
    fake_.SendEvent(module_.GetObjectRecord(), DORN_EVENT_REMOVED, 1);
    ASSERT_TRUE(CDornObject::IsLive(source));
    ASSERT_EQ(GetObjectRegistry().size(), 1u);
    EXPECT_EQ(source->ReleaseWhenUnlocked(), 0);
    EXPECT_EQ(CAsyncScheduler::GetScheduler()->HasWork(), 1);
    source->Unlock();
    EXPECT_EQ(CAsyncScheduler::PollScheduler(), 1);  // the release
    EXPECT_FALSE(CDornObject::IsLive(source));
    EXPECT_TRUE(GetObjectRegistry().empty());
    EXPECT_TRUE(module_.GetChildren().empty());
}

TEST_F(DornLayerTest, UnlockedChildIsRemovedAtOnce)
{
    CDornSource* source = OpenWithSource();
    fake_.SendEvent(module_.GetObjectRecord(), DORN_EVENT_REMOVED, 1);
    EXPECT_FALSE(CDornObject::IsLive(source));
    EXPECT_TRUE(module_.GetChildren().empty());
}

TEST_F(DornLayerTest, RemovingAnObjectThatIsNoChildClosesItAndFails)
{
    CDornSource* source = OpenWithSource();
    CDornSource stranger(&module_);
    ASSERT_EQ(stranger.Open(9, nullptr), 0);
    EXPECT_EQ(source->RemoveChild(&stranger), DORN_E_NO_SUCH);
    EXPECT_FALSE(stranger.IsOpen());
}

TEST_F(DornLayerTest, IdlePeriodZeroAddsNoTimer)
{
    fake_.idlePeriod = 0;
    ASSERT_EQ(module_.OpenModule("fake"), 0);
    EXPECT_EQ(CAsyncScheduler::GetScheduler()->HasWork(), 0);
    module_.CloseModule();
    fake_.caps[1].push_back(FakeCap(DORN_CAP_IDLE_PERIOD));
    fake_.idlePeriod = 1;
    ASSERT_EQ(module_.OpenModule("fake"), 0);
    CameraSleep(5);
    EXPECT_EQ(CAsyncScheduler::GetScheduler()->HasWork(), 1);
    fake_.calls.clear();
    EXPECT_EQ(CAsyncScheduler::PollScheduler(), 1);
    EXPECT_EQ(fake_.Count(DORN_CMD_PUMP), 1u);
}

TEST_F(DornLayerTest, FailedCallbackInstallRemovesExactlyWhatWasInstalled)
{
    std::vector<uint32_t> removed;
    fake_.hook = [&](const FakeCall& c) -> std::optional<int32_t> {
        if (c.command != DORN_CMD_SET || c.dataType != DORN_DT_PCALLBACK) return std::nullopt;
        const bool install = reinterpret_cast<const DornCallbackRecord*>(c.data)->procedure != nullptr;
        if (!install) removed.push_back(c.parameter);
        if (install && c.parameter == DORN_CAP_EVENT_CB) return 5;
        return std::nullopt;
    };
    EXPECT_EQ(module_.OpenModule("fake"), 5);
    EXPECT_FALSE(module_.IsReady());
    module_.CloseModule();
    EXPECT_EQ(removed, (std::vector<uint32_t>{DORN_CAP_PROGRESS_CB}));  // installed before the failure
}

TEST_F(DornLayerTest, ChildrenEnumeratedOnATask)
{
    CDornSource* source = OpenWithSource();
    fake_.childIds = {0x10001, 0x10002, 0x10003};
    CAsyncWaitTask task;
    ASSERT_EQ(source->EnumerateChildren(&task), 0);
    task.Submit();
    EXPECT_EQ(WaitTaskIdle(task), 0);
    ASSERT_EQ(source->GetChildren().size(), 3u);
    EXPECT_EQ(source->GetChildren()[2]->GetId(), 0x10003u);
    EXPECT_EQ(source->GetChildren()[0]->GetObjectType(), static_cast<uint32_t>(DORN_TYPE_ITEM));
    EXPECT_TRUE(source->GetChildren()[0]->IsReady());

    uint32_t count = 0;
    CAsyncWaitTask countTask;
    ASSERT_EQ(source->QueryChildCount(&count, &countTask), 0);
    countTask.Submit();
    EXPECT_EQ(WaitTaskIdle(countTask), 0);
    EXPECT_EQ(count, 3u);
}

TEST_F(DornLayerTest, FailedAsynchronousChildOpenLeavesNoDeadChild)
{
    CDornSource* source = OpenWithSource();
    fake_.childIds = {0x10001, 0x10002};
    fake_.hook = [](const FakeCall& c) -> std::optional<int32_t> {
        if (c.command == DORN_CMD_OPEN && c.parameter == 0x10002) return DORN_E_NOT_FOUND;
        return std::nullopt;
    };
    CAsyncWaitTask task;
    source->EnumerateChildren(&task);
    task.Submit();
    EXPECT_EQ(WaitTaskIdle(task), DORN_E_NOT_FOUND);
    // The child whose open failed is gone; the one opened before it stays.
    ASSERT_EQ(source->GetChildren().size(), 1u);
    EXPECT_EQ(source->GetChildren()[0]->GetId(), 0x10001u);
    EXPECT_TRUE(source->GetChildren()[0]->IsReady());
}

TEST_F(DornLayerTest, SetText10CutsAt255BytesWithoutSplittingACharacter)
{
    fake_.caps[1].push_back(FakeCap(DORN_CAP_TEXT10));
    ASSERT_EQ(module_.OpenModule("fake"), 0);
    std::string sent;
    fake_.hook = [&](const FakeCall& c) -> std::optional<int32_t> {
        if (c.command == DORN_CMD_SET && c.parameter == DORN_CAP_TEXT10) sent = reinterpret_cast<const char*>(c.data);
        return std::nullopt;
    };
    ASSERT_EQ(module_.SetText10(std::string(300, 'a')), 0);
    EXPECT_EQ(sent, std::string(255, 'a'));
    ASSERT_EQ(module_.SetText10(std::string(254, 'a') + "\xC3\xA9"), 0);  // an é across the cut
    EXPECT_EQ(sent, std::string(254, 'a'));
}

TEST_F(DornLayerTest, ReadArray8WithAShortBufferSendsNoElementRead)
{
    fake_.caps[1].push_back(FakeCap(DORN_CAP_ARRAY8));
    ASSERT_EQ(module_.OpenModule("fake"), 0);
    fake_.hook = [](const FakeCall& c) -> std::optional<int32_t> {
        if (c.command == DORN_CMD_GET && c.parameter == DORN_CAP_ARRAY8) {
            auto* a = reinterpret_cast<DornArray*>(c.data);
            a->elementCount = 10;
            a->bytesPerElement = 1;
            return 0;
        }
        return std::nullopt;
    };
    uint8_t buffer[4];
    uint32_t size = sizeof(buffer);
    EXPECT_EQ(module_.ReadArray8(buffer, &size), DORN_E_BUFFER);
    EXPECT_EQ(size, 10u);
    EXPECT_EQ(fake_.Count(DORN_CMD_GETELEMENTS, DORN_CAP_ARRAY8), 0u);
}

TEST_F(DornLayerTest, EnumValuesStringsAndSetByValue)
{
    fake_.caps[1].push_back(FakeCap(19, DORN_OP_GET | DORN_OP_SET, DORN_CAPTYPE_ENUM));
    fake_.caps[1].push_back(FakeCap(27, DORN_OP_GET | DORN_OP_SET, DORN_CAPTYPE_ENUM));
    ASSERT_EQ(module_.OpenModule("fake"), 0);
    const char block[] = "first\0second";  // two texts, each with its NUL
    const uint32_t values[] = {5, 7, 5, 9};
    uintptr_t setIndex = 99;
    fake_.hook = [&](const FakeCall& c) -> std::optional<int32_t> {
        auto* e = reinterpret_cast<DornEnum*>(c.data);
        if (c.command == DORN_CMD_GET && c.parameter == 19) {
            *e = DornEnum{DORN_ELEM_TEXTBLOCK, sizeof(block), 0, 0, 1, nullptr};
            return 0;
        }
        if (c.command == DORN_CMD_GETELEMENTS && c.parameter == 19) {
            std::memcpy(e->data, block, sizeof(block));
            return 0;
        }
        if (c.command == DORN_CMD_GET && c.parameter == 27) {
            *e = DornEnum{DORN_ELEM_U32B, 4, 0, 0, 4, nullptr};
            return 0;
        }
        if (c.command == DORN_CMD_GETELEMENTS && c.parameter == 27) {
            std::memcpy(e->data, values, sizeof(values));
            return 0;
        }
        if (c.command == DORN_CMD_SET && c.parameter == 27) setIndex = c.data;
        return std::nullopt;
    };
    std::vector<std::string> texts;
    ASSERT_EQ(module_.ReadEnumStrings(texts, 19, nullptr, nullptr), 0);
    EXPECT_EQ(texts, (std::vector<std::string>{"first", "second"}));
    std::vector<uint32_t> list;
    ASSERT_EQ(module_.ReadEnumValues(list, 27, nullptr, nullptr), 0);
    EXPECT_EQ(list, (std::vector<uint32_t>{5, 7, 5, 9}));
    EXPECT_EQ(module_.SetEnumValue(27, 5, nullptr), 0);
    EXPECT_EQ(setIndex, 0u);  // the first of two equal values
    EXPECT_EQ(module_.SetEnumValue(27, 6, nullptr), DORN_E_BAD_VALUE);
    EXPECT_EQ(module_.SetEnumValue(DORN_CAP_EVENT_CB, 5, nullptr), DORN_E_NOT_ENUM);
}

TEST_F(DornLayerTest, ElementSizeThatDoesNotFitTheTypeIsRefused)
{
    fake_.caps[1].push_back(FakeCap(27, DORN_OP_GET, DORN_CAPTYPE_ENUM));
    ASSERT_EQ(module_.OpenModule("fake"), 0);
    fake_.hook = [&](const FakeCall& c) -> std::optional<int32_t> {
        if (c.command == DORN_CMD_GET && c.parameter == 27) {
            *reinterpret_cast<DornEnum*>(c.data) = DornEnum{DORN_ELEM_U32A, 4, 0, 0, 2, nullptr};
            return 0;
        }
        return std::nullopt;
    };
    std::vector<uint32_t> list;
    EXPECT_EQ(module_.ReadEnumValues(list, 27, nullptr, nullptr), DORN_E_BAD_TYPE);
    EXPECT_EQ(fake_.Count(DORN_CMD_GETELEMENTS, 27), 0u);
}

TEST_F(DornLayerTest, GroupWithAnAbsentMemberListsThePresentOnes)
{
    fake_.caps[1].push_back(FakeCap(60, DORN_OP_GET, DORN_CAPTYPE_GROUP, 0x08));
    fake_.caps[1].push_back(FakeCap(61));
    ASSERT_EQ(module_.OpenModule("fake"), 0);
    const uint32_t members[] = {61, 62};
    fake_.hook = [&](const FakeCall& c) -> std::optional<int32_t> {
        auto* a = reinterpret_cast<DornArray*>(c.data);
        if (c.command == DORN_CMD_GET && c.parameter == 60) {
            a->elementCount = 2;
            a->bytesPerElement = 4;
            return 0;
        }
        if (c.command == DORN_CMD_GETELEMENTS && c.parameter == 60) {
            std::memcpy(a->data, members, sizeof(members));
            return 0;
        }
        return std::nullopt;
    };
    std::vector<CDornCapInfo> list;
    EXPECT_EQ(module_.ListGroupMembers(60, list), DORN_E_BAD_TYPE);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].Id(), 61u);
    EXPECT_EQ(module_.ListGroupMembers(99, list), DORN_E_NO_SUCH);
}

TEST_F(DornLayerTest, KindMaskIsReadOnceUntilItChanges)
{
    CDornSource* source = OpenWithSource();
    fake_.calls.clear();
    source->GetKindMask();
    source->GetKindMask();
    EXPECT_EQ(fake_.Count(DORN_CMD_GET, DORN_CAP_KINDS), 1u);
    fake_.SendEvent(source->GetObjectRecord(), DORN_EVENT_VALUE, DORN_CAP_KINDS);
    source->GetKindMask();
    EXPECT_EQ(fake_.Count(DORN_CMD_GET, DORN_CAP_KINDS), 2u);
    CDornItem item(source);
    EXPECT_EQ(item.MakeChild(2), nullptr);
    EXPECT_EQ(module_.GetValue58(), 0x3000u);
    EXPECT_EQ(module_.GetValue54(), 0u);
}

TEST(DornImageObj, ChannelCount)
{
    const std::pair<uint32_t, uint32_t> rows[] = {{0, 1}, {1, 1}, {2, 3}, {4, 4}, {5, 3}, {14, 3}, {15, 0}};
    for (const auto& [value, channels] : rows) EXPECT_EQ(CDornImageObj::ChannelCount(value), channels) << value;
}

TEST_F(DornLayerTest, RangeSnappingStaysInsideTheRange)
{
    CDornSource* source = OpenWithSource();
    fake_.caps[3].push_back(FakeCap(35, DORN_OP_GET | DORN_OP_SET, DORN_CAPTYPE_RANGE));
    CDornObject* made = nullptr;
    ASSERT_EQ(source->CreateChild(0x10001, &made), 0);
    CDornImageObj image(made, 1);
    ASSERT_EQ(image.Open(1, nullptr), 0);
    DornRange range{0, 0, 0, 0, 0.0, 10.0, 2};
    uint32_t sentStep = 999;
    fake_.hook = [&](const FakeCall& c) -> std::optional<int32_t> {
        if (c.command == DORN_CMD_GET && c.parameter == 35) {
            *reinterpret_cast<DornRange*>(c.data) = range;
            return 0;
        }
        if (c.command == DORN_CMD_SET && c.parameter == 35) sentStep = reinterpret_cast<DornRange*>(c.data)->stepIndex;
        return std::nullopt;
    };
    fake_.caps[4].push_back(FakeCap(35, DORN_OP_GET | DORN_OP_SET, DORN_CAPTYPE_RANGE));
    image.Close();
    ASSERT_EQ(image.Open(1, nullptr), 0);
    EXPECT_EQ(image.SetValue35(2.5, 1), 0);
    EXPECT_EQ(sentStep, 2u);
    EXPECT_EQ(image.SetValue35(2.5, 0), DORN_E_BAD_VALUE);
    EXPECT_EQ(image.SetValue35(-1.0, 1), 0);
    EXPECT_EQ(sentStep, 0u);
    EXPECT_EQ(image.SetValue35(11.0, 1), DORN_E_BAD_VALUE);
    range.stepSize = 3;  // 0, 3, 6, 9: 10 would snap to 12
    image.OnCapabilityChanged(35, 1);
    sentStep = 999;
    EXPECT_EQ(image.SetValue35(10.0, 1), DORN_E_BAD_VALUE);
    EXPECT_EQ(sentStep, 999u);
}

}  // namespace

namespace {

TEST_F(DornLayerTest, ChildRemovedWhileItsOpenIsPendingIsNeverWrittenLater)
{
    CDornSource* source = OpenWithSource();
    fake_.childIds = {0x10001, 0x10002};
    CAsyncWaitTask task;
    source->EnumerateChildren(&task);
    task.Submit();
    // Run until the first child's open is in flight at the module.
    for (int i = 0; i < 20 && fake_.Count(DORN_CMD_OPEN, 0x10001) == 0; ++i) CAsyncScheduler::PollScheduler();
    ASSERT_EQ(source->GetChildren().size(), 2u);
    fake_.completeOnAbort = false;
    fake_.SendEvent(source->GetObjectRecord(), DORN_EVENT_REMOVED, 0x10001);
    EXPECT_TRUE(task.IsIdle());
    fake_.CompleteAll(0);  // the module answers the aborted open late: nobody listens
    for (const CDornObjectRef& ref : source->GetChildren()) EXPECT_NE(ref->GetId(), 0x10001u);
}

}  // namespace
