// Scale filter: parameters, coordinate mapping and output size.
#include "Caravel/Brisant/VeltraFilterScale.h"

#include <cmath>

#define WRAP(e) VELTRA_WRAP(kCode, e)

namespace {

int64_t FloorDiv(int64_t a, int64_t b)
{
    int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0)))
        --q;
    return q;
}

int64_t CeilDiv(int64_t a, int64_t b)
{
    return -FloorDiv(-a, b);
}

// a * num / den truncated toward zero; an empty side maps everything to 0
int32_t MulDivTrunc(int32_t a, int32_t num, int32_t den)
{
    if (den == 0)
        return 0;
    return static_cast<int32_t>(static_cast<int64_t>(a) * num / den);
}

int32_t MulDivFloor(int32_t a, int32_t num, int32_t den)
{
    return den == 0 ? 0 : static_cast<int32_t>(FloorDiv(static_cast<int64_t>(a) * num, den));
}

int32_t MulDivCeil(int32_t a, int32_t num, int32_t den)
{
    return den == 0 ? 0 : static_cast<int32_t>(CeilDiv(static_cast<int64_t>(a) * num, den));
}

bool NearOne(double f)
{
    return f >= 0.9999999999 && f <= 1.0000000001;
}

}  // namespace

CVeltraFilterScale::CVeltraFilterScale(IVeltraManager* manager, int32_t method)
    : CVeltraFilterBase(manager, 1), m_method(method)
{
    m_passThrough = true;
}

CVeltraFilterScale::~CVeltraFilterScale() = default;

void CVeltraFilterScale::GetScale(double* x, double* y) const
{
    if (x)
        *x = m_scaleX;
    if (y)
        *y = m_scaleY;
}

// ---- parameters

IVeltraError* CVeltraFilterScale::SetMethod(int32_t method, bool notify)
{
    if (method == m_method)
        return nullptr;
    m_method = method;
    m_changed = true;
    if (!notify || !IsEnabled() || !HasSource())
        return nullptr;
    int32_t w = 0, h = 0;
    if (IVeltraError* e = GetFilteredSize(m_sources, m_sourceCount, &w, &h))
        return WRAP(e);
    VeltraRect all{0, 0, w, h};
    return WRAP(VeltraSendDataNotification(this, kVeltraNotifyData, &all));
}

IVeltraError* CVeltraFilterScale::SendSizeChange(int32_t oldWidth, int32_t oldHeight)
{
    IVeltraDataDestination::ChangeSize change{oldWidth, oldHeight, m_width, m_height};
    if (HasSource())
        if (IVeltraError* e = GetFilteredSize(m_sources, m_sourceCount, &change.newWidth, &change.newHeight))
            return WRAP(e);
    return WRAP(VeltraSendDataNotification(this, kVeltraNotifySize, &change));
}

IVeltraError* CVeltraFilterScale::SetSize(int32_t width, int32_t height, bool notify)
{
    if (!IsScaleMode() && width == m_width && height == m_height)
        return nullptr;
    const bool tell = notify && IsEnabled();
    int32_t oldWidth = 0, oldHeight = 0;
    if (tell && HasSource())
        if (IVeltraError* e = GetFilteredSize(m_sources, m_sourceCount, &oldWidth, &oldHeight))
            return WRAP(e);
    m_width = width;
    m_height = height;
    m_scaleX = 0.0;
    m_scaleY = 0.0;
    m_changed = true;
    // the source's own size changes nothing
    m_passThrough = false;
    if (HasSource()) {
        int32_t sw = 0, sh = 0;
        if (IVeltraError* e = m_sources[0]->GetSize(&sw, &sh))
            return WRAP(e);
        m_passThrough = sw == width && sh == height;
    }
    if (!tell)
        return nullptr;
    return SendSizeChange(oldWidth, oldHeight);
}

IVeltraError* CVeltraFilterScale::SetScale(double scale, bool notify)
{
    return SetScale(scale, scale, notify);
}

IVeltraError* CVeltraFilterScale::SetScale(double scaleX, double scaleY, bool notify)
{
    if (std::fabs(scaleX - m_scaleX) <= 1e-10 && std::fabs(scaleY - m_scaleY) <= 1e-10)
        return nullptr;
    const bool tell = notify && IsEnabled();
    int32_t oldWidth = 0, oldHeight = 0;
    if (tell && HasSource())
        if (IVeltraError* e = GetFilteredSize(m_sources, m_sourceCount, &oldWidth, &oldHeight))
            return WRAP(e);
    m_scaleX = scaleX;
    m_scaleY = scaleY;
    m_changed = true;
    m_passThrough = NearOne(scaleX) && NearOne(scaleY);
    if (!tell)
        return nullptr;
    return SendSizeChange(oldWidth, oldHeight);
}

// ---- static mappings

void CVeltraFilterScale::FilterPoint(int32_t* x, int32_t* y, int32_t sw, int32_t sh, int32_t dw, int32_t dh)
{
    *x = MulDivTrunc(*x, dw, sw);
    *y = MulDivTrunc(*y, dh, sh);
}

void CVeltraFilterScale::FilterPoint(double* x, double* y, int32_t sw, int32_t sh, int32_t dw, int32_t dh)
{
    *x = sw ? dw * *x / sw : 0.0;
    *y = sh ? dh * *y / sh : 0.0;
}

void CVeltraFilterScale::FilterPoint(int32_t* x, int32_t* y, double factor) { FilterPoint(x, y, factor, factor); }

void CVeltraFilterScale::FilterPoint(int32_t* x, int32_t* y, double fx, double fy)
{
    *x = static_cast<int32_t>(*x * fx);
    *y = static_cast<int32_t>(*y * fy);
}

void CVeltraFilterScale::FilterPoint(double* x, double* y, double factor) { FilterPoint(x, y, factor, factor); }

void CVeltraFilterScale::FilterPoint(double* x, double* y, double fx, double fy)
{
    *x *= fx;
    *y *= fy;
}

void CVeltraFilterScale::DefilterPoint(int32_t* x, int32_t* y, int32_t sw, int32_t sh, int32_t dw, int32_t dh)
{
    *x = MulDivTrunc(*x, sw, dw);
    *y = MulDivTrunc(*y, sh, dh);
}

void CVeltraFilterScale::DefilterPoint(double* x, double* y, int32_t sw, int32_t sh, int32_t dw, int32_t dh)
{
    *x = dw ? sw * *x / dw : 0.0;
    *y = dh ? sh * *y / dh : 0.0;
}

void CVeltraFilterScale::DefilterPoint(int32_t* x, int32_t* y, double factor) { DefilterPoint(x, y, factor, factor); }

void CVeltraFilterScale::DefilterPoint(int32_t* x, int32_t* y, double fx, double fy)
{
    *x = fx != 0 ? static_cast<int32_t>(*x / fx) : 0;
    *y = fy != 0 ? static_cast<int32_t>(*y / fy) : 0;
}

void CVeltraFilterScale::DefilterPoint(double* x, double* y, double factor) { DefilterPoint(x, y, factor, factor); }

void CVeltraFilterScale::DefilterPoint(double* x, double* y, double fx, double fy)
{
    *x = fx != 0 ? *x / fx : 0.0;
    *y = fy != 0 ? *y / fy : 0.0;
}

void CVeltraFilterScale::FilterRect(VeltraRect* r, int32_t sw, int32_t sh, int32_t dw, int32_t dh)
{
    *r = VeltraRect{MulDivFloor(r->left, dw, sw), MulDivFloor(r->top, dh, sh), MulDivCeil(r->right, dw, sw),
                    MulDivCeil(r->bottom, dh, sh)};
}

void CVeltraFilterScale::FilterRect(VeltraRect* r, double factor) { FilterRect(r, factor, factor); }

void CVeltraFilterScale::FilterRect(VeltraRect* r, double fx, double fy)
{
    *r = VeltraRect{static_cast<int32_t>(std::floor(r->left * fx)), static_cast<int32_t>(std::floor(r->top * fy)),
                    static_cast<int32_t>(std::ceil(r->right * fx)), static_cast<int32_t>(std::ceil(r->bottom * fy))};
}

void CVeltraFilterScale::FilterRect(VeltraDblRect* r, int32_t sw, int32_t sh, int32_t dw, int32_t dh)
{
    FilterPoint(&r->left, &r->top, sw, sh, dw, dh);
    FilterPoint(&r->right, &r->bottom, sw, sh, dw, dh);
}

void CVeltraFilterScale::FilterRect(VeltraDblRect* r, double factor) { FilterRect(r, factor, factor); }

void CVeltraFilterScale::FilterRect(VeltraDblRect* r, double fx, double fy)
{
    FilterPoint(&r->left, &r->top, fx, fy);
    FilterPoint(&r->right, &r->bottom, fx, fy);
}

void CVeltraFilterScale::DefilterRect(VeltraRect* r, int32_t sw, int32_t sh, int32_t dw, int32_t dh)
{
    *r = VeltraRect{MulDivFloor(r->left, sw, dw), MulDivFloor(r->top, sh, dh), MulDivCeil(r->right, sw, dw),
                    MulDivCeil(r->bottom, sh, dh)};
}

void CVeltraFilterScale::DefilterRect(VeltraRect* r, double factor) { DefilterRect(r, factor, factor); }

void CVeltraFilterScale::DefilterRect(VeltraRect* r, double fx, double fy)
{
    if (fx == 0 || fy == 0) {
        *r = VeltraRect{};
        return;
    }
    *r = VeltraRect{static_cast<int32_t>(std::floor(r->left / fx)), static_cast<int32_t>(std::floor(r->top / fy)),
                    static_cast<int32_t>(std::ceil(r->right / fx)), static_cast<int32_t>(std::ceil(r->bottom / fy))};
}

void CVeltraFilterScale::DefilterRect(VeltraDblRect* r, int32_t sw, int32_t sh, int32_t dw, int32_t dh)
{
    DefilterPoint(&r->left, &r->top, sw, sh, dw, dh);
    DefilterPoint(&r->right, &r->bottom, sw, sh, dw, dh);
}

void CVeltraFilterScale::DefilterRect(VeltraDblRect* r, double factor) { DefilterRect(r, factor, factor); }

void CVeltraFilterScale::DefilterRect(VeltraDblRect* r, double fx, double fy)
{
    DefilterPoint(&r->left, &r->top, fx, fy);
    DefilterPoint(&r->right, &r->bottom, fx, fy);
}

// ---- virtual mappings

IVeltraError* CVeltraFilterScale::MappingFor(IVeltraDataSource** sources, int32_t count, Mapping* mapping,
                                             int32_t* sw, int32_t* sh)
{
    *mapping = Mapping::kIdentity;
    if (!IsEnabled() || m_passThrough)
        return nullptr;
    if (IsScaleMode()) {
        *mapping = Mapping::kFactor;
        return nullptr;
    }
    IVeltraDataSource** list = nullptr;
    int32_t n = 0;
    SourcesOrOwn(sources, count, &list, &n);
    if (!list || n < 1 || !list[0])
        return NoSourceError(kCode, __LINE__);
    if (IVeltraError* e = list[0]->GetSize(sw, sh))
        return WRAP(e);
    *mapping = Mapping::kSize;
    return nullptr;
}

#define SCALE_MAPPING(forFactor, forSize)                             \
    Mapping mapping;                                                  \
    int32_t sw = 0, sh = 0;                                           \
    if (IVeltraError* e = MappingFor(sources, count, &mapping, &sw, &sh)) \
        return e;                                                     \
    if (mapping == Mapping::kFactor)                                  \
        forFactor;                                                    \
    else if (mapping == Mapping::kSize)                               \
        forSize;                                                      \
    return nullptr

IVeltraError* CVeltraFilterScale::FilterPoint(double* x, double* y, IVeltraDataSource** sources, int32_t count)
{
    SCALE_MAPPING(FilterPoint(x, y, m_scaleX, m_scaleY), FilterPoint(x, y, sw, sh, m_width, m_height));
}

IVeltraError* CVeltraFilterScale::FilterPoint(int32_t* x, int32_t* y, IVeltraDataSource** sources, int32_t count)
{
    SCALE_MAPPING(FilterPoint(x, y, m_scaleX, m_scaleY), FilterPoint(x, y, sw, sh, m_width, m_height));
}

IVeltraError* CVeltraFilterScale::FilterRect(VeltraDblRect* rect, IVeltraDataSource** sources, int32_t count)
{
    SCALE_MAPPING(FilterRect(rect, m_scaleX, m_scaleY), FilterRect(rect, sw, sh, m_width, m_height));
}

IVeltraError* CVeltraFilterScale::FilterRect(VeltraRect* rect, IVeltraDataSource** sources, int32_t count)
{
    SCALE_MAPPING(FilterRect(rect, m_scaleX, m_scaleY), FilterRect(rect, sw, sh, m_width, m_height));
}

IVeltraError* CVeltraFilterScale::DefilterPoint(double* x, double* y, IVeltraDataSource** sources, int32_t count)
{
    SCALE_MAPPING(DefilterPoint(x, y, m_scaleX, m_scaleY), DefilterPoint(x, y, sw, sh, m_width, m_height));
}

IVeltraError* CVeltraFilterScale::DefilterPoint(int32_t* x, int32_t* y, IVeltraDataSource** sources, int32_t count)
{
    SCALE_MAPPING(DefilterPoint(x, y, m_scaleX, m_scaleY), DefilterPoint(x, y, sw, sh, m_width, m_height));
}

IVeltraError* CVeltraFilterScale::DefilterRect(VeltraDblRect* rect, IVeltraDataSource** sources, int32_t count)
{
    SCALE_MAPPING(DefilterRect(rect, m_scaleX, m_scaleY), DefilterRect(rect, sw, sh, m_width, m_height));
}

IVeltraError* CVeltraFilterScale::DefilterRect(VeltraRect* rect, IVeltraDataSource** sources, int32_t count)
{
    SCALE_MAPPING(DefilterRect(rect, m_scaleX, m_scaleY), DefilterRect(rect, sw, sh, m_width, m_height));
}

// ---- output size and source changes

IVeltraError* CVeltraFilterScale::GetFilteredSize(IVeltraDataSource** sources, int32_t count, int32_t* width,
                                                  int32_t* height)
{
    if (IsEnabled() && !IsScaleMode()) {
        *width = m_width;
        *height = m_height;
        return nullptr;
    }
    IVeltraDataSource** list = nullptr;
    int32_t n = 0;
    SourcesOrOwn(sources, count, &list, &n);
    if (!list || n < 1 || !list[0])
        return NoSourceError(kCode, __LINE__);
    int32_t w = 0, h = 0;
    if (IVeltraError* e = list[0]->GetSize(&w, &h))
        return WRAP(e);
    if (IsEnabled()) {
        w = static_cast<int32_t>(w * m_scaleX + 0.5);
        h = static_cast<int32_t>(h * m_scaleY + 0.5);
    }
    *width = w;
    *height = h;
    return nullptr;
}

IVeltraError* CVeltraFilterScale::FilterSize(IVeltraDataSource* source, IVeltraDataDestination::ChangeSize* change)
{
    if (!IsEnabled() || !change)
        return WRAP(CVeltraFilterBase::FilterSize(source, change));
    if (IsScaleMode()) {
        IVeltraDataDestination::ChangeSize scaled{
            static_cast<int32_t>(change->oldWidth * m_scaleX + 0.5),
            static_cast<int32_t>(change->oldHeight * m_scaleY + 0.5),
            static_cast<int32_t>(change->newWidth * m_scaleX + 0.5),
            static_cast<int32_t>(change->newHeight * m_scaleY + 0.5)};
        return WRAP(CVeltraFilterBase::FilterSize(source, &scaled));
    }
    // size mode: the output keeps its size but every pixel changes with the new ratio
    m_changed = true;
    int32_t w = 0, h = 0;
    if (IVeltraError* e = GetSize(&w, &h))
        return WRAP(e);
    VeltraRect all{0, 0, w, h};
    return WRAP(VeltraSendDataNotification(this, kVeltraNotifyData, &all));
}

IVeltraError* CVeltraFilterScale::FilterData(IVeltraDataSource* source, VeltraRect* rect)
{
    if (!rect || m_method == 0 || m_passThrough || !IsEnabled())
        return CVeltraFilterBase::FilterData(source, rect);
    // resampling reads up to two source pixels around each output pixel's centre
    VeltraRect grown{rect->left - 2, rect->top - 2, rect->right + 2, rect->bottom + 2};
    return CVeltraFilterBase::FilterData(source, &grown);
}
