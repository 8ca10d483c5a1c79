// Flip and rotate filter: transform state, combination with the source's transform, output size,
// coordinate mapping and change notifications.
#include "Caravel/Brisant/VeltraFilterTransform.h"

#include <algorithm>
#include <cmath>

#define WRAP(e) VELTRA_WRAP(kCode, e)

namespace {

constexpr double kPi = 3.141592653589793;

bool Near(double r, double quarter)
{
    return r >= quarter - 1e-10 && r <= quarter + 1e-10;
}

bool IdentityAngle(double r)
{
    return r <= 1e-10 || r >= 359.9999999999;
}

struct Corners {
    double x[4];
    double y[4];
};

Corners CornersOf(const VeltraDblRect& r)
{
    return Corners{{r.left, r.right, r.left, r.right}, {r.top, r.top, r.bottom, r.bottom}};
}

VeltraDblRect BoundingBox(const Corners& c)
{
    VeltraDblRect b{c.x[0], c.y[0], c.x[0], c.y[0]};
    for (int i = 1; i < 4; ++i) {
        b.left = std::min(b.left, c.x[i]);
        b.top = std::min(b.top, c.y[i]);
        b.right = std::max(b.right, c.x[i]);
        b.bottom = std::max(b.bottom, c.y[i]);
    }
    return b;
}

// The shift that moves the rotated source so that its bounding box starts at (0, 0).
void QuadrantOffset(double r, double w, double h, double c, double s, double* dx, double* dy)
{
    if (r < 90) {
        *dx = h * s;
        *dy = 0;
    } else if (r < 180) {
        *dx = -(w * c - h * s);
        *dy = -h * c;
    } else if (r < 270) {
        *dx = -w * c;
        *dy = -(h * c + w * s);
    } else {
        *dx = 0;
        *dy = -w * s;
    }
}

VeltraDblRect ToDouble(const VeltraRect& r)
{
    return VeltraDblRect{static_cast<double>(r.left), static_cast<double>(r.top), static_cast<double>(r.right),
                         static_cast<double>(r.bottom)};
}

VeltraRect Truncated(const VeltraDblRect& r)
{
    return VeltraRect{static_cast<int32_t>(r.left), static_cast<int32_t>(r.top), static_cast<int32_t>(r.right),
                      static_cast<int32_t>(r.bottom)};
}

}  // namespace

CVeltraFilterTransform::CVeltraFilterTransform(IVeltraManager* manager) : CVeltraFilterBase(manager, 1)
{
    m_passThrough = true;
}

CVeltraFilterTransform::~CVeltraFilterTransform() = default;

double CVeltraFilterTransform::ValidateRotation(double rotation)
{
    return std::fmod(360.0 - std::fmod(360.0 - rotation, 360.0), 360.0);
}

bool CVeltraFilterTransform::IsIdentity() const
{
    return !m_flip && IdentityAngle(m_rotation);
}

// ---- state combination

void CVeltraFilterTransform::DoStateTransform(bool* flip, double* rotation, bool myFlip, double myRotation,
                                              bool relative)
{
    if (!relative) {
        *flip = myFlip;
        *rotation = myRotation;
    } else if (myFlip) {
        *flip = !*flip;
        *rotation = ValidateRotation(myRotation - *rotation);
    } else {
        *rotation = ValidateRotation(myRotation + *rotation);
    }
}

void CVeltraFilterTransform::DoStateTransform(bool* flip, double* rotation) const
{
    DoStateTransform(flip, rotation, m_flip, m_rotation, m_relative);
}

void CVeltraFilterTransform::GetRelativeTransform(bool* flip, double* rotation, bool myFlip, double myRotation,
                                                  bool relative)
{
    if (relative) {
        *flip = myFlip;
        *rotation = myRotation;
        return;
    }
    // target R(m) F^mf over a source R(r) F^f: apply R(m) F^mf F^f R(-r); moving the source's
    // turn through a mirror reverses it, so its sign follows the flip that results
    const bool resultFlip = myFlip != *flip;
    *rotation = ValidateRotation(resultFlip ? myRotation + *rotation : myRotation - *rotation);
    *flip = resultFlip;
}

void CVeltraFilterTransform::GetRelativeTransform(bool* flip, double* rotation) const
{
    GetRelativeTransform(flip, rotation, m_flip, m_rotation, m_relative);
}

IVeltraError* CVeltraFilterTransform::GetRelativeTransform(bool* flip, double* rotation, IVeltraDataSource** sources,
                                                           int32_t count)
{
    IVeltraDataSource** list = nullptr;
    int32_t n = 0;
    SourcesOrOwn(sources, count, &list, &n);
    if (!list || n < 1 || !list[0])
        return NoSourceError(kCode, __LINE__);
    if (IVeltraError* e = list[0]->GetTransform(flip, rotation))
        return WRAP(e);
    GetRelativeTransform(flip, rotation);
    return nullptr;
}

// ---- sizes

void CVeltraFilterTransform::GetFilteredSize(int32_t* width, int32_t* height, double rotation)
{
    const double a = std::fabs(std::fmod(rotation + 90, 180) - 90);
    if (a == 90.0) {
        std::swap(*width, *height);
        return;
    }
    if (a == 0.0)
        return;
    const double rad = a * kPi / 180;
    const double c = std::cos(rad), s = std::sin(rad);
    const double w = *width, h = *height;
    *width = static_cast<int32_t>(std::fabs(c * w + s * h));
    *height = static_cast<int32_t>(std::fabs(c * h + s * w));
}

IVeltraError* CVeltraFilterTransform::FirstSourceSize(IVeltraDataSource** sources, int32_t count, int32_t* width,
                                                      int32_t* height)
{
    IVeltraDataSource** list = nullptr;
    int32_t n = 0;
    SourcesOrOwn(sources, count, &list, &n);
    if (!list || n < 1 || !list[0])
        return NoSourceError(kCode, __LINE__);
    return WRAP(list[0]->GetSize(width, height));
}

IVeltraError* CVeltraFilterTransform::GetFilteredSize(IVeltraDataSource** sources, int32_t count, int32_t* width,
                                                      int32_t* height)
{
    if (IVeltraError* e = FirstSourceSize(sources, count, width, height))
        return e;
    if (!IsEnabled())
        return nullptr;
    bool flip = false;
    double rotation = 0;
    if (IVeltraError* e = GetRelativeTransform(&flip, &rotation, sources, count))
        return e;
    GetFilteredSize(width, height, rotation);
    return nullptr;
}

IVeltraError* CVeltraFilterTransform::GetFilteredTransform(IVeltraDataSource** sources, int32_t count, bool* flip,
                                                           double* rotation)
{
    if (IsEnabled() && !m_relative) {
        *flip = m_flip;
        *rotation = m_rotation;
        return nullptr;
    }
    IVeltraDataSource** list = nullptr;
    int32_t n = 0;
    SourcesOrOwn(sources, count, &list, &n);
    if (!list || n < 1 || !list[0])
        return NoSourceError(kCode, __LINE__);
    if (IVeltraError* e = list[0]->GetTransform(flip, rotation))
        return WRAP(e);
    if (IsEnabled())
        DoStateTransform(flip, rotation, m_flip, m_rotation, true);
    return nullptr;
}

// ---- setters

template <class Change>
IVeltraError* CVeltraFilterTransform::ChangeState(bool notify, Change change)
{
    const bool tell = notify && IsEnabled() && HasSource();
    IVeltraDataDestination::ChangeTransform record;
    if (tell) {
        if (IVeltraError* e = GetFilteredTransform(m_sources, m_sourceCount, &record.oldFlip, &record.oldRotation))
            return WRAP(e);
        if (IVeltraError* e = GetFilteredSize(m_sources, m_sourceCount, &record.oldWidth, &record.oldHeight))
            return WRAP(e);
    }
    change();
    m_changed = true;
    m_passThrough = IsIdentity();
    if (!tell)
        return nullptr;
    if (IVeltraError* e = GetFilteredTransform(m_sources, m_sourceCount, &record.newFlip, &record.newRotation))
        return WRAP(e);
    if (IVeltraError* e = GetFilteredSize(m_sources, m_sourceCount, &record.newWidth, &record.newHeight))
        return WRAP(e);
    return WRAP(VeltraSendDataNotification(this, kVeltraNotifyTransform, &record));
}

IVeltraError* CVeltraFilterTransform::SetTransform(bool flip, double rotation, bool relative, bool notify)
{
    if (flip == m_flip && rotation == m_rotation && relative == m_relative)
        return nullptr;
    return ChangeState(notify, [&] {
        m_flip = flip;
        m_rotation = ValidateRotation(rotation);
        m_relative = relative;
    });
}

IVeltraError* CVeltraFilterTransform::FlipHorz(bool notify)
{
    return ChangeState(notify, [&] {
        m_flip = !m_flip;
        m_rotation = ValidateRotation(-m_rotation);
    });
}

IVeltraError* CVeltraFilterTransform::FlipVert(bool notify)
{
    return ChangeState(notify, [&] {
        m_flip = !m_flip;
        m_rotation = ValidateRotation(180 - m_rotation);
    });
}

IVeltraError* CVeltraFilterTransform::RotateCW(double degrees, bool notify)
{
    return ChangeState(notify, [&] { m_rotation = ValidateRotation(m_rotation + degrees); });
}

IVeltraError* CVeltraFilterTransform::RotateCCW(double degrees, bool notify)
{
    return WRAP(RotateCW(360 - degrees, notify));
}

// ---- static mappings

void CVeltraFilterTransform::FilterRect(VeltraDblRect* rect, int32_t width, int32_t height, bool flip, double rotation)
{
    const double w = width, h = height;
    VeltraDblRect r = *rect;
    if (flip)
        r = VeltraDblRect{w - rect->right, rect->top, w - rect->left, rect->bottom};
    const double a = ValidateRotation(rotation);
    if (IdentityAngle(a)) {
        *rect = r;
        return;
    }
    Corners c = CornersOf(r);
    for (int i = 0; i < 4; ++i) {
        const double x = c.x[i], y = c.y[i];
        if (Near(a, 90)) {
            c.x[i] = h - y;
            c.y[i] = x;
        } else if (Near(a, 180)) {
            c.x[i] = w - x;
            c.y[i] = h - y;
        } else if (Near(a, 270)) {
            c.x[i] = y;
            c.y[i] = w - x;
        } else {
            const double rad = a * kPi / 180;
            const double cs = std::cos(rad), sn = std::sin(rad);
            double dx = 0, dy = 0;
            QuadrantOffset(a, w, h, cs, sn, &dx, &dy);
            c.x[i] = cs * x - sn * y + dx;
            c.y[i] = cs * y + sn * x + dy;
        }
    }
    *rect = BoundingBox(c);
}

CVeltraFilterTransform::SourceMapping::SourceMapping(int32_t width, int32_t height, bool flip, double rotation)
    : m_w(width), m_h(height), m_flip(flip)
{
    const double a = ValidateRotation(rotation);
    if (IdentityAngle(a))
        m_turn = kIdentity;
    else if (Near(a, 90))
        m_turn = kQuarter;
    else if (Near(a, 180))
        m_turn = kHalf;
    else if (Near(a, 270))
        m_turn = kThreeQuarters;
    else {
        m_turn = kGeneral;
        const double rad = a * kPi / 180;
        QuadrantOffset(a, m_w, m_h, std::cos(rad), std::sin(rad), &m_dx, &m_dy);
        m_cos = std::cos(-rad);
        m_sin = std::sin(-rad);
    }
}

void CVeltraFilterTransform::SourceMapping::Map(VeltraDblRect* rect) const
{
    Corners c = CornersOf(*rect);
    for (int i = 0; i < 4 && m_turn != kIdentity; ++i) {
        const double x = c.x[i], y = c.y[i];
        switch (m_turn) {
        case kQuarter:
            c.x[i] = y;
            c.y[i] = m_h - x;
            break;
        case kHalf:
            c.x[i] = m_w - x;
            c.y[i] = m_h - y;
            break;
        case kThreeQuarters:
            c.x[i] = m_w - y;
            c.y[i] = x;
            break;
        default: {
            const double ux = x - m_dx, uy = y - m_dy;
            c.x[i] = m_cos * ux - m_sin * uy;
            c.y[i] = m_cos * uy + m_sin * ux;
        }
        }
    }
    if (m_flip)
        for (double& x : c.x)
            x = m_w - x;
    *rect = BoundingBox(c);
}

void CVeltraFilterTransform::SourceMapping::Map(int32_t* x, int32_t* y) const
{
    VeltraDblRect r{static_cast<double>(*x), static_cast<double>(*y), *x + 1.0, *y + 1.0};
    Map(&r);
    *x = static_cast<int32_t>(r.left);
    *y = static_cast<int32_t>(r.top);
}

void CVeltraFilterTransform::DefilterRect(VeltraDblRect* rect, int32_t width, int32_t height, bool flip,
                                          double rotation)
{
    SourceMapping(width, height, flip, rotation).Map(rect);
}

void CVeltraFilterTransform::FilterRect(VeltraRect* rect, int32_t width, int32_t height, bool flip, double rotation)
{
    VeltraDblRect r = ToDouble(*rect);
    FilterRect(&r, width, height, flip, rotation);
    *rect = Truncated(r);
}

void CVeltraFilterTransform::DefilterRect(VeltraRect* rect, int32_t width, int32_t height, bool flip, double rotation)
{
    VeltraDblRect r = ToDouble(*rect);
    DefilterRect(&r, width, height, flip, rotation);
    *rect = Truncated(r);
}

void CVeltraFilterTransform::FilterPoint(double* x, double* y, int32_t width, int32_t height, bool flip,
                                         double rotation)
{
    VeltraDblRect r{*x, *y, *x + 1, *y + 1};
    FilterRect(&r, width, height, flip, rotation);
    *x = r.left;
    *y = r.top;
}

void CVeltraFilterTransform::FilterPoint(int32_t* x, int32_t* y, int32_t width, int32_t height, bool flip,
                                         double rotation)
{
    double dx = *x, dy = *y;
    FilterPoint(&dx, &dy, width, height, flip, rotation);
    *x = static_cast<int32_t>(dx);
    *y = static_cast<int32_t>(dy);
}

void CVeltraFilterTransform::DefilterPoint(double* x, double* y, int32_t width, int32_t height, bool flip,
                                           double rotation)
{
    VeltraDblRect r{*x, *y, *x + 1, *y + 1};
    DefilterRect(&r, width, height, flip, rotation);
    *x = r.left;
    *y = r.top;
}

void CVeltraFilterTransform::DefilterPoint(int32_t* x, int32_t* y, int32_t width, int32_t height, bool flip,
                                           double rotation)
{
    double dx = *x, dy = *y;
    DefilterPoint(&dx, &dy, width, height, flip, rotation);
    *x = static_cast<int32_t>(dx);
    *y = static_cast<int32_t>(dy);
}

// ---- virtual mappings

#define TRANSFORM_MAPPING(call)                                                  \
    if (!IsEnabled() || m_passThrough)                                           \
        return nullptr;                                                          \
    bool flip = false;                                                           \
    double rotation = 0;                                                         \
    if (IVeltraError* e = GetRelativeTransform(&flip, &rotation, sources, count)) \
        return e;                                                                \
    if (!flip && rotation == 0.0)                                                \
        return nullptr;                                                          \
    int32_t w = 0, h = 0;                                                        \
    if (IVeltraError* e = FirstSourceSize(sources, count, &w, &h))               \
        return e;                                                                \
    call;                                                                        \
    return nullptr

IVeltraError* CVeltraFilterTransform::FilterPoint(double* x, double* y, IVeltraDataSource** sources, int32_t count)
{
    TRANSFORM_MAPPING(FilterPoint(x, y, w, h, flip, rotation));
}

IVeltraError* CVeltraFilterTransform::FilterPoint(int32_t* x, int32_t* y, IVeltraDataSource** sources, int32_t count)
{
    TRANSFORM_MAPPING(FilterPoint(x, y, w, h, flip, rotation));
}

IVeltraError* CVeltraFilterTransform::FilterRect(VeltraDblRect* rect, IVeltraDataSource** sources, int32_t count)
{
    TRANSFORM_MAPPING(FilterRect(rect, w, h, flip, rotation));
}

IVeltraError* CVeltraFilterTransform::FilterRect(VeltraRect* rect, IVeltraDataSource** sources, int32_t count)
{
    TRANSFORM_MAPPING(FilterRect(rect, w, h, flip, rotation));
}

IVeltraError* CVeltraFilterTransform::DefilterPoint(double* x, double* y, IVeltraDataSource** sources, int32_t count)
{
    TRANSFORM_MAPPING(DefilterPoint(x, y, w, h, flip, rotation));
}

IVeltraError* CVeltraFilterTransform::DefilterPoint(int32_t* x, int32_t* y, IVeltraDataSource** sources, int32_t count)
{
    TRANSFORM_MAPPING(DefilterPoint(x, y, w, h, flip, rotation));
}

IVeltraError* CVeltraFilterTransform::DefilterRect(VeltraDblRect* rect, IVeltraDataSource** sources, int32_t count)
{
    TRANSFORM_MAPPING(DefilterRect(rect, w, h, flip, rotation));
}

IVeltraError* CVeltraFilterTransform::DefilterRect(VeltraRect* rect, IVeltraDataSource** sources, int32_t count)
{
    TRANSFORM_MAPPING(DefilterRect(rect, w, h, flip, rotation));
}

// ---- change notifications from the source

IVeltraError* CVeltraFilterTransform::FilterSize(IVeltraDataSource* source, IVeltraDataDestination::ChangeSize* change)
{
    if (!change)
        return WRAP(CVeltraFilterBase::FilterSize(source, change));
    IVeltraDataDestination::ChangeSize copy = *change;
    if (IsEnabled()) {
        bool flip = false;
        double rotation = 0;
        IVeltraDataSource* only[1] = {source};
        if (IVeltraError* e = GetRelativeTransform(&flip, &rotation, only, 1))
            return e;
        GetFilteredSize(&copy.oldWidth, &copy.oldHeight, rotation);
        GetFilteredSize(&copy.newWidth, &copy.newHeight, rotation);
    }
    return WRAP(CVeltraFilterBase::FilterSize(source, &copy));
}

IVeltraError* CVeltraFilterTransform::FilterTransform(IVeltraDataSource* source,
                                                      IVeltraDataDestination::ChangeTransform* change)
{
    if (!change)
        return WRAP(CVeltraFilterBase::FilterTransform(source, change));
    IVeltraDataDestination::ChangeTransform copy = *change;
    if (IsEnabled()) {
        // the output size follows the turn applied to each source transform, before and after
        bool flip = change->oldFlip;
        double rotation = change->oldRotation;
        GetRelativeTransform(&flip, &rotation);
        GetFilteredSize(&copy.oldWidth, &copy.oldHeight, rotation);
        flip = change->newFlip;
        rotation = change->newRotation;
        GetRelativeTransform(&flip, &rotation);
        GetFilteredSize(&copy.newWidth, &copy.newHeight, rotation);
        DoStateTransform(&copy.oldFlip, &copy.oldRotation);
        DoStateTransform(&copy.newFlip, &copy.newRotation);
        if (copy.flags != 0)
            m_changed = true;
    }
    return WRAP(CVeltraFilterBase::FilterTransform(source, &copy));
}
