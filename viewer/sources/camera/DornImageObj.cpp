#include "viewer/sources/camera/DornImageObj.h"

#include <cmath>
#include <cstring>

#include "viewer/sources/camera/AsyncTask.h"

CDornImageObj::~CDornImageObj()
{
    elements35_.clear();
    Close();
}

void CDornImageObj::OnCapabilityChanged(uint32_t id, int32_t valueOnly)
{
    if (id == 0 || id == 27) cache27_.valid = 0;
    if (id == 0 || id == 38) cache38_.valid = 0;
    if (id == 0 || id == 39) cache39_.valid = 0;
    if (id == 0 || id == 35) {
        valid35_ = 0;
        isRange35_ = 0;
        elements35_.clear();
    }
    if (id == 0 || id == 43) valid43_ = 0;
    CDornDataObj::OnCapabilityChanged(id, valueOnly);
}

int32_t CDornImageObj::FillCache(uint32_t id, EnumCache& cache)
{
    if (cache.valid) return 0;
    return ReadEnumValues(cache.values, id, &cache.record, &cache.valid);
}

int32_t CDornImageObj::CurrentOf(uint32_t id, EnumCache& cache, uint32_t* out)
{
    int32_t r;
    if (cache.valid)
        r = Send(DORN_CMD_GET, id, DORN_DT_PENUM, reinterpret_cast<uintptr_t>(&cache.record));
    else
        r = FillCache(id, cache);
    if (r != 0) return r;
    if (cache.record.currentIndex >= cache.values.size()) {
        // The module's list changed under the cache: read it again.
        cache.valid = 0;
        r = FillCache(id, cache);
        if (r != 0) return r;
        if (cache.record.currentIndex >= cache.values.size()) return DORN_E_BAD_VALUE;
    }
    *out = cache.values[cache.record.currentIndex];
    return 0;
}

int32_t CDornImageObj::DefaultOf(uint32_t id, EnumCache& cache, uint32_t* out)
{
    const int32_t r = FillCache(id, cache);
    if (r != 0) return r;
    if (cache.record.defaultIndex >= cache.values.size()) return DORN_E_BAD_VALUE;
    *out = cache.values[cache.record.defaultIndex];
    return 0;
}

int32_t CDornImageObj::SetOf(uint32_t id, EnumCache& cache, uint32_t value)
{
    Lock();
    int32_t r = FillCache(id, cache);
    if (r == 0) {
        uint32_t index = 0;
        while (index < cache.values.size() && cache.values[index] != value) ++index;
        r = index == cache.values.size() ? DORN_E_BAD_VALUE : Send(DORN_CMD_SET, id, DORN_DT_U32VALUE, index);
    }
    cache.valid = 0;
    Unlock();
    return r;
}

int32_t CDornImageObj::GetValues27(std::vector<uint32_t>& out)
{
    if (!HasCapability(27)) return DORN_E_NOT_OFFERED;
    const int32_t r = FillCache(27, cache27_);
    if (r == 0) out = cache27_.values;
    return r;
}

int32_t CDornImageObj::GetCurrent27(uint32_t* out)
{
    return HasCapability(27) ? CurrentOf(27, cache27_, out) : DORN_E_NOT_OFFERED;
}

int32_t CDornImageObj::GetDefault27(uint32_t* out)
{
    return HasCapability(27) ? DefaultOf(27, cache27_, out) : DORN_E_NOT_OFFERED;
}

int32_t CDornImageObj::SetValue27(uint32_t value)
{
    return HasCapability(27) ? SetOf(27, cache27_, value) : DORN_E_NOT_OFFERED;
}

int32_t CDornImageObj::GetValues38(std::vector<uint32_t>& out)
{
    const int32_t r = FillCache(38, cache38_);
    if (r == 0) out = cache38_.values;
    return r;
}

int32_t CDornImageObj::GetCurrent38(uint32_t* out) { return CurrentOf(38, cache38_, out); }
int32_t CDornImageObj::GetDefault38(uint32_t* out) { return DefaultOf(38, cache38_, out); }
int32_t CDornImageObj::SetValue38(uint32_t value) { return SetOf(38, cache38_, value); }

int32_t CDornImageObj::GetValues39(std::vector<uint32_t>& out)
{
    if (!HasCapability(39)) return DORN_E_NOT_OFFERED;
    const int32_t r = FillCache(39, cache39_);
    if (r == 0) out = cache39_.values;
    return r;
}

int32_t CDornImageObj::GetCurrent39(uint32_t* out)
{
    return HasCapability(39) ? CurrentOf(39, cache39_, out) : DORN_E_NOT_OFFERED;
}

int32_t CDornImageObj::GetDefault39(uint32_t* out)
{
    return HasCapability(39) ? DefaultOf(39, cache39_, out) : DORN_E_NOT_OFFERED;
}

int32_t CDornImageObj::SetValue39(uint32_t value)
{
    return CanSet39() ? SetOf(39, cache39_, value) : DORN_E_NOT_OFFERED;
}

int32_t CDornImageObj::GetRecord35(int32_t* isRange, DornRange* range, DornEnum* enumRecord)
{
    if (!HasCapability(35)) return DORN_E_NOT_OFFERED;
    Lock();
    int32_t r = 0;
    const uint32_t type = GetCapabilityType(35);
    if (type == DORN_CAPTYPE_ENUM) {
        *isRange = isRange35_ = 0;
        for (int attempt = 0; !valid35_ && attempt < kDornChangedRetries; ++attempt) {
            r = ReadEnumHeader(35, &enum35_, &valid35_);
            if (r != 0) break;
            if (enum35_.bytesPerElement != 8 || enum35_.elementCount > (1u << 20)) {
                valid35_ = 0;
                r = DORN_E_BAD_TYPE;
                break;
            }
            elements35_.assign(enum35_.elementCount, 0.0);
            enum35_.data = elements35_.data();
            r = Send(DORN_CMD_GETELEMENTS, 35, DORN_DT_PENUM, reinterpret_cast<uintptr_t>(&enum35_));
            if (r != 0) valid35_ = 0;
            if (r != DORN_E_CHANGED) break;
        }
        if (r == 0 && enumRecord) *enumRecord = enum35_;
    } else if (type == DORN_CAPTYPE_RANGE) {
        *isRange = isRange35_ = 1;
        r = ReadRangeHeader(35, &range35_, &valid35_);
        if (r == 0 && range) *range = range35_;
    } else {
        r = DORN_E_BAD_TYPE;
    }
    Unlock();
    return r;
}

int32_t CDornImageObj::GetCurrent35(double* out)
{
    int32_t isRange = 0;
    int32_t r;
    if (valid35_) {
        isRange = isRange35_;
        r = isRange ? Send(DORN_CMD_GET, 35, DORN_DT_PRANGE, reinterpret_cast<uintptr_t>(&range35_))
                    : Send(DORN_CMD_GET, 35, DORN_DT_PENUM, reinterpret_cast<uintptr_t>(&enum35_));
        if (!isRange) enum35_.data = elements35_.data();
    } else {
        r = GetRecord35(&isRange, nullptr, nullptr);
    }
    if (r != 0) return r;
    if (isRange) {
        *out = range35_.value;
        return 0;
    }
    if (enum35_.currentIndex >= elements35_.size()) return DORN_E_BAD_VALUE;
    *out = elements35_[enum35_.currentIndex];
    return 0;
}

int32_t CDornImageObj::GetDefault35(double* out)
{
    int32_t isRange = isRange35_;
    if (!valid35_) {
        const int32_t r = GetRecord35(&isRange, nullptr, nullptr);
        if (r != 0) return r;
    }
    if (isRange) {
        *out = range35_.defaultValue;
        return 0;
    }
    if (enum35_.defaultIndex >= elements35_.size()) return DORN_E_BAD_VALUE;
    *out = elements35_[enum35_.defaultIndex];
    return 0;
}

int32_t CDornImageObj::SetValue35(double value, int32_t snapUp)
{
    Lock();
    int32_t isRange = isRange35_;
    int32_t r = valid35_ ? 0 : GetRecord35(&isRange, nullptr, nullptr);
    if (r == 0 && isRange && range35_.stepSize == 0) {
        range35_.value = value;
        r = Send(DORN_CMD_SET, 35, DORN_DT_PRANGE, reinterpret_cast<uintptr_t>(&range35_));
    } else if (r == 0 && isRange) {
        constexpr double kEpsilon = 1e-9;
        const double step = range35_.stepSize;
        if (value < range35_.lower) {
            if (snapUp) value = range35_.lower; else r = DORN_E_BAD_VALUE;
        }
        if (r == 0 && value > range35_.upper) r = DORN_E_BAD_VALUE;
        if (r == 0) {
            const double q = (value - range35_.lower) / step;
            double index = std::round(q);
            if (std::fabs(q - index) > kEpsilon) {
                if (snapUp) index = std::ceil(q); else r = DORN_E_BAD_VALUE;
            }
            // A snapped step must still lie inside the range.
            if (r == 0 && range35_.lower + index * step > range35_.upper + kEpsilon) r = DORN_E_BAD_VALUE;
            if (r == 0) {
                range35_.stepIndex = static_cast<uint32_t>(index);
                r = Send(DORN_CMD_SET, 35, DORN_DT_PRANGE, reinterpret_cast<uintptr_t>(&range35_));
            }
        }
    } else if (r == 0) {
        size_t index = elements35_.size();
        for (size_t i = 0; i < elements35_.size(); ++i)
            if (elements35_[i] == value) { index = i; break; }
        if (index == elements35_.size() && snapUp) {
            for (size_t i = 0; i < elements35_.size(); ++i)
                if (elements35_[i] > value && (index == elements35_.size() || elements35_[i] < elements35_[index]))
                    index = i;
        }
        r = index == elements35_.size() ? DORN_E_BAD_VALUE : Send(DORN_CMD_SET, 35, DORN_DT_U32VALUE, index);
    }
    Unlock();
    return r;
}

int32_t CDornImageObj::GetRange43(DornRange* out)
{
    if (!HasCapability(43)) return DORN_E_NOT_OFFERED;
    if (!valid43_) {
        const int32_t r = Send(DORN_CMD_GET, 43, DORN_DT_PRANGE, reinterpret_cast<uintptr_t>(&range43_));
        if (r != 0) return r;
    }
    *out = range43_;
    valid43_ = 1;
    return 0;
}

int32_t CDornImageObj::GetCurrent43(double* out)
{
    const int32_t r = ReadRangeHeader(43, &range43_, &valid43_);
    if (r == 0) *out = range43_.value;
    return r;
}

int32_t CDornImageObj::GetDefault43(double* out)
{
    const int32_t r = ReadRangeHeader(43, &range43_, &valid43_);
    if (r == 0) *out = range43_.defaultValue;
    return r;
}

int32_t CDornImageObj::SetValue43(double value)
{
    if (!CanSet(43)) return DORN_E_NOT_OFFERED;
    range43_.value = value;
    const int32_t r = Send(DORN_CMD_SET, 43, DORN_DT_PRANGE, reinterpret_cast<uintptr_t>(&range43_));
    valid43_ = 0;
    return r;
}

int32_t CDornImageObj::GetValue34(void* record)
{
    return CanGet(34) ? Send(DORN_CMD_GET, 34, DORN_DT_PRECORD10, reinterpret_cast<uintptr_t>(record)) : DORN_E_NOT_OFFERED;
}

int32_t CDornImageObj::GetDefault34(void* record)
{
    return CanGetDefault(34) ? Send(DORN_CMD_GETDEFAULT, 34, DORN_DT_PRECORD10, reinterpret_cast<uintptr_t>(record))
                             : DORN_E_NOT_OFFERED;
}

int32_t CDornImageObj::SetValue34(void* record)
{
    return CanSet(34) ? Send(DORN_CMD_SET, 34, DORN_DT_PRECORD10, reinterpret_cast<uintptr_t>(record)) : DORN_E_NOT_OFFERED;
}

int32_t CDornImageObj::GetSize44(uint32_t out[4])
{
    uint32_t cells[2] = {0, 0};
    const int32_t r = Send(DORN_CMD_GET, 44, DORN_DT_PSIZE, reinterpret_cast<uintptr_t>(cells));
    if (r == 0) {
        out[0] = 0;
        out[1] = 0;
        out[2] = cells[0];
        out[3] = cells[1];
    }
    return r;
}

int32_t CDornImageObj::GetFlag(uint32_t id, uint32_t* out)
{
    uint32_t cell = 0;
    const int32_t r = Send(DORN_CMD_GET, id, DORN_DT_PBOOL, reinterpret_cast<uintptr_t>(&cell));
    if (r == 0) *out = cell & 0xFF;
    return r;
}

int32_t CDornImageObj::SetFlag(uint32_t id, uint8_t flag)
{
    return Send(DORN_CMD_SET, id, DORN_DT_BOOL, flag);
}

int32_t CDornImageObj::GetFlag37(uint32_t* out) { return HasCapability(37) ? GetFlag(37, out) : DORN_E_NOT_OFFERED; }
int32_t CDornImageObj::SetFlag37(uint8_t flag) { return HasCapability(37) ? SetFlag(37, flag) : DORN_E_NOT_OFFERED; }
int32_t CDornImageObj::GetFlag36(uint32_t* out) { return HasCapability(36) ? GetFlag(36, out) : DORN_E_NOT_OFFERED; }
int32_t CDornImageObj::SetFlag36(uint8_t flag) { return HasCapability(36) ? SetFlag(36, flag) : DORN_E_NOT_OFFERED; }
int32_t CDornImageObj::GetFlag40(uint32_t* out) { return CanGet40() ? GetFlag(40, out) : DORN_E_NOT_OFFERED; }
int32_t CDornImageObj::SetFlag40(uint8_t flag) { return CanSet40() ? SetFlag(40, flag) : DORN_E_NOT_OFFERED; }
int32_t CDornImageObj::GetFlag42(uint32_t* out) { return CanGet42() ? GetFlag(42, out) : DORN_E_NOT_OFFERED; }

int32_t CDornImageObj::SetFlag42(uint8_t flag, CAsyncTask* task)
{
    if (!CanSet42()) return DORN_E_NOT_OFFERED;
    if (!task) return SetFlag(42, flag);
    task->AddRequest(this, DORN_CMD_SET, 42, DORN_DT_BOOL, flag, nullptr, 0);
    return 0;
}

int32_t CDornImageObj::GetArrayHeader41(DornArray* out)
{
    if (!HasCapability(41)) return DORN_E_NOT_OFFERED;
    Lock();
    const int32_t r = ReadArrayHeader(41, &array41_, &valid41_);
    *out = array41_;
    out->data = nullptr;
    Unlock();
    return r;
}

int32_t CDornImageObj::ReadArray41(void* buffer, uint32_t* size)
{
    if (!HasCapability(41)) return DORN_E_NOT_OFFERED;
    Lock();
    int32_t r = DORN_E_CHANGED;
    for (int attempt = 0; attempt < kDornChangedRetries; ++attempt) {
        r = ReadArrayHeader(41, &array41_, &valid41_);
        if (r == DORN_E_CHANGED) { valid41_ = 0; continue; }
        if (r != 0) break;
        const uint64_t needed = static_cast<uint64_t>(array41_.bytesPerElement) * array41_.elementCount;
        if (needed > *size) {
            *size = static_cast<uint32_t>(needed > UINT32_MAX ? UINT32_MAX : needed);
            r = DORN_E_BUFFER;
            break;
        }
        DornArray header = array41_;
        header.data = buffer;
        r = Send(DORN_CMD_GETELEMENTS, 41, DORN_DT_PARRAY, reinterpret_cast<uintptr_t>(&header));
        if (r == DORN_E_CHANGED) { valid41_ = 0; continue; }
        *size = r == 0 ? static_cast<uint32_t>(needed) : 0;
        break;
    }
    Unlock();
    return r;
}

int32_t CDornImageObj::WriteArray41(DornArray* record)
{
    if (!HasCapability(41)) return DORN_E_NOT_OFFERED;
    Lock();
    uint32_t model = 0;
    int32_t r = GetCurrent38(&model);
    if (r == 0) {
        const uint32_t n = ChannelCount(model);
        const bool fits = record->dimension2 == n || (n == 1 && record->dimension2 == 0);
        r = fits ? Send(DORN_CMD_SET, 41, DORN_DT_PARRAY, reinterpret_cast<uintptr_t>(record)) : DORN_E_BAD_VALUE;
    }
    valid41_ = 0;
    Unlock();
    return r;
}

int32_t CDornImageObj::Start28(CAsyncTask* task, uint8_t flag)
{
    if (!HasCapability(28)) return DORN_E_NOT_OFFERED;
    Lock();
    int32_t r = 0;
    if (!task) {
        if (HasCapability(29)) SetFlag(29, flag);
        r = Send(DORN_CMD_START, 28, DORN_DT_NONE, 0);
    } else {
        if (HasCapability(29)) task->AddRequest(this, DORN_CMD_SET, 29, DORN_DT_BOOL, flag, nullptr, 0);
        task->AddRequest(this, DORN_CMD_START, 28, DORN_DT_NONE, 0, nullptr, 0);
    }
    Unlock();
    return r;
}

int32_t CDornImageObj::PairCompletion(DornObjectRecord*, uint32_t, uint32_t, uint32_t, uintptr_t data, uintptr_t,
                                      int32_t)
{
    delete[] reinterpret_cast<int32_t*>(data);  // the copy is freed whatever the outcome
    return 0;
}

int32_t CDornImageObj::Start30(int32_t pair[2], CAsyncTask* task, uint8_t flag)
{
    if (!HasCapability(30)) return DORN_E_NOT_OFFERED;
    Lock();
    int32_t r = 0;
    if (CanSet32() && (pair[0] < 0 || pair[1] < 0))
        Send(DORN_CMD_GETDEFAULT, 32, DORN_DT_PPAIR, reinterpret_cast<uintptr_t>(pair));
    if (!task) {
        if (HasCapability(31)) SetFlag(31, flag);
        if (CanSet32()) r = Send(DORN_CMD_SET, 32, DORN_DT_PPAIR, reinterpret_cast<uintptr_t>(pair));
        if (r == 0) r = Send(DORN_CMD_START, 30, DORN_DT_NONE, 0);
    } else {
        if (HasCapability(31)) task->AddRequest(this, DORN_CMD_SET, 31, DORN_DT_BOOL, flag, nullptr, 0);
        if (CanSet32()) {
            auto* copy = new int32_t[2]{pair[0], pair[1]};
            task->AddRequest(this, DORN_CMD_SET, 32, DORN_DT_PPAIR, reinterpret_cast<uintptr_t>(copy),
                             &CDornImageObj::PairCompletion, 0);
        }
        task->AddRequest(this, DORN_CMD_START, 30, DORN_DT_NONE, 0, nullptr, 0);
    }
    Unlock();
    return r;
}

uint32_t CDornImageObj::ChannelCount(uint32_t value)
{
    if (value <= 1) return 1;
    if (value == 4) return 4;
    if (value <= 14) return 3;
    return 0;
}
