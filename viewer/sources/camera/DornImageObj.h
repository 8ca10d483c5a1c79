#pragma once
// The picture data object of an item (data type 1) with cached access to the
// picture capabilities: enum lists, ranges, booleans, an array and two start
// actions with their options.
#include <vector>

#include "viewer/sources/camera/DornDataObj.h"

class CDornImageObj : public CDornDataObj {
public:
    CDornImageObj(CDornObject* parent, uint32_t dataType) : CDornDataObj(parent, dataType) {}
    ~CDornImageObj() override;

    void OnCapabilityChanged(uint32_t id, int32_t valueOnly) override;

    int32_t HasCapability27() { return HasCapability(27); }
    int32_t HasCapability28() { return HasCapability(28); }
    int32_t HasCapability30() { return HasCapability(30); }
    int32_t CanGet32() { return HasCapability(32) && CanGet(32); }
    int32_t CanSet32() { return HasCapability(32) && CanSet(32); }
    int32_t HasCapability37() { return HasCapability(37); }
    int32_t HasCapability36() { return HasCapability(36); }
    int32_t CanSet39() { return HasCapability(39) && CanSet(39); }
    int32_t CanGet40() { return HasCapability(40) && CanGet(40); }
    int32_t CanSet40() { return HasCapability(40) && CanSet(40); }
    int32_t CanGet42() { return HasCapability(42) && CanGet(42); }
    int32_t CanSet42() { return HasCapability(42) && CanSet(42); }
    int32_t HasCapability43() { return HasCapability(43); }
    int32_t HasCapability41() { return HasCapability(41); }

    int32_t GetValues27(std::vector<uint32_t>& out);
    int32_t GetCurrent27(uint32_t* out);
    int32_t GetDefault27(uint32_t* out);
    int32_t SetValue27(uint32_t value);
    int32_t GetRecord35(int32_t* isRange, DornRange* range, DornEnum* enumRecord);
    int32_t GetCurrent35(double* out);
    int32_t GetDefault35(double* out);
    int32_t SetValue35(double value, int32_t snapUp);
    int32_t GetRange43(DornRange* out);
    int32_t GetCurrent43(double* out);
    int32_t GetDefault43(double* out);
    int32_t SetValue43(double value);
    int32_t GetValues38(std::vector<uint32_t>& out);
    int32_t GetCurrent38(uint32_t* out);
    int32_t GetDefault38(uint32_t* out);
    int32_t SetValue38(uint32_t value);
    int32_t GetValue34(void* record);
    int32_t GetDefault34(void* record);
    int32_t SetValue34(void* record);
    int32_t GetSize44(uint32_t out[4]);
    int32_t GetFlag37(uint32_t* out);
    int32_t SetFlag37(uint8_t flag);
    int32_t GetFlag36(uint32_t* out);
    int32_t SetFlag36(uint8_t flag);
    int32_t GetValues39(std::vector<uint32_t>& out);
    int32_t GetCurrent39(uint32_t* out);
    int32_t GetDefault39(uint32_t* out);
    int32_t SetValue39(uint32_t value);
    int32_t GetFlag40(uint32_t* out);
    int32_t SetFlag40(uint8_t flag);
    int32_t GetFlag42(uint32_t* out);
    int32_t GetArrayHeader41(DornArray* out);
    int32_t ReadArray41(void* buffer, uint32_t* size);
    int32_t WriteArray41(DornArray* record);
    int32_t SetFlag42(uint8_t flag, CAsyncTask* task);
    int32_t Start28(CAsyncTask* task, uint8_t flag);
    int32_t Start30(int32_t pair[2], CAsyncTask* task, uint8_t flag);
    static uint32_t ChannelCount(uint32_t value);

private:
    struct EnumCache {
        DornEnum record{};
        int32_t valid = 0;
        std::vector<uint32_t> values;
    };
    int32_t FillCache(uint32_t id, EnumCache& cache);
    int32_t CurrentOf(uint32_t id, EnumCache& cache, uint32_t* out);
    int32_t DefaultOf(uint32_t id, EnumCache& cache, uint32_t* out);
    int32_t SetOf(uint32_t id, EnumCache& cache, uint32_t value);
    int32_t GetFlag(uint32_t id, uint32_t* out);
    int32_t SetFlag(uint32_t id, uint8_t flag);
    static int32_t PairCompletion(DornObjectRecord*, uint32_t, uint32_t, uint32_t, uintptr_t data, uintptr_t,
                                  int32_t);

    EnumCache cache27_, cache38_, cache39_;
    DornRange range35_{};
    DornEnum enum35_{};
    std::vector<double> elements35_;
    int32_t valid35_ = 0;
    int32_t isRange35_ = 0;
    DornRange range43_{};
    int32_t valid43_ = 0;
    DornArray array41_{};
    int32_t valid41_ = 0;
};
