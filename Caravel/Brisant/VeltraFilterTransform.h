#pragma once
// Mirrors its source left to right and turns it clockwise by any angle in degrees.
#include "Caravel/Brisant/VeltraFilterBase.h"

class CVeltraFilterTransform : public CVeltraFilterBase {
public:
    static constexpr int32_t kCode = VeltraFourCC("xfrm");

    explicit CVeltraFilterTransform(IVeltraManager* manager);
    ~CVeltraFilterTransform() override;

    int32_t GetFilterCode() const override { return kCode; }
    const char* GetFilterDescription() const override { return "Flip and Rotate Transform"; }

    IVeltraError* SetTransform(bool flip, double rotation, bool relative, bool notify);
    IVeltraError* FlipHorz(bool notify);
    IVeltraError* FlipVert(bool notify);
    IVeltraError* RotateCW(double degrees, bool notify);
    IVeltraError* RotateCCW(double degrees, bool notify);
    bool GetFilterFlip() const { return m_flip; }
    double GetFilterRotation() const { return m_rotation; }
    bool IsRelative() const { return m_relative; }

    // The source's transform (in and out) becomes the output transform.
    static void DoStateTransform(bool* flip, double* rotation, bool myFlip, double myRotation, bool relative);
    void DoStateTransform(bool* flip, double* rotation) const;
    // The source's transform (in and out) becomes the transform to apply to the source's pixels.
    static void GetRelativeTransform(bool* flip, double* rotation, bool myFlip, double myRotation, bool relative);
    void GetRelativeTransform(bool* flip, double* rotation) const;
    IVeltraError* GetRelativeTransform(bool* flip, double* rotation, IVeltraDataSource** sources, int32_t count);

    // Mappings between a source of width x height and the output; width and height are always the source's.
    static void FilterPoint(int32_t* x, int32_t* y, int32_t width, int32_t height, bool flip, double rotation);
    static void FilterPoint(double* x, double* y, int32_t width, int32_t height, bool flip, double rotation);
    // Where output pixels come from for one source size and transform, the angle's
    // trigonometry worked out once: Map gives what DefilterRect and DefilterPoint give.
    class SourceMapping {
    public:
        SourceMapping(int32_t width, int32_t height, bool flip, double rotation);
        void Map(VeltraDblRect* rect) const;
        void Map(int32_t* x, int32_t* y) const;

    private:
        enum Turn { kIdentity, kQuarter, kHalf, kThreeQuarters, kGeneral };
        double m_w, m_h;
        bool m_flip;
        Turn m_turn = kIdentity;
        double m_dx = 0, m_dy = 0, m_cos = 1, m_sin = 0;
    };
    static void DefilterPoint(int32_t* x, int32_t* y, int32_t width, int32_t height, bool flip, double rotation);
    static void DefilterPoint(double* x, double* y, int32_t width, int32_t height, bool flip, double rotation);
    static void FilterRect(VeltraRect* rect, int32_t width, int32_t height, bool flip, double rotation);
    static void FilterRect(VeltraDblRect* rect, int32_t width, int32_t height, bool flip, double rotation);
    static void DefilterRect(VeltraRect* rect, int32_t width, int32_t height, bool flip, double rotation);
    static void DefilterRect(VeltraDblRect* rect, int32_t width, int32_t height, bool flip, double rotation);

    IVeltraError* FilterPoint(double* x, double* y, IVeltraDataSource** sources, int32_t count) override;
    IVeltraError* FilterPoint(int32_t* x, int32_t* y, IVeltraDataSource** sources, int32_t count) override;
    IVeltraError* FilterRect(VeltraDblRect* rect, IVeltraDataSource** sources, int32_t count) override;
    IVeltraError* FilterRect(VeltraRect* rect, IVeltraDataSource** sources, int32_t count) override;
    IVeltraError* DefilterPoint(double* x, double* y, IVeltraDataSource** sources, int32_t count) override;
    IVeltraError* DefilterPoint(int32_t* x, int32_t* y, IVeltraDataSource** sources, int32_t count) override;
    IVeltraError* DefilterRect(VeltraDblRect* rect, IVeltraDataSource** sources, int32_t count) override;
    IVeltraError* DefilterRect(VeltraRect* rect, IVeltraDataSource** sources, int32_t count) override;

    static double ValidateRotation(double rotation);
    static void GetFilteredSize(int32_t* width, int32_t* height, double rotation);

protected:
    IVeltraError* GetFilteredSize(IVeltraDataSource** sources, int32_t count, int32_t* width,
                                  int32_t* height) override;
    IVeltraError* GetFilteredTransform(IVeltraDataSource** sources, int32_t count, bool* flip,
                                       double* rotation) override;
    IVeltraError* FilterSize(IVeltraDataSource* source, IVeltraDataDestination::ChangeSize* change) override;
    IVeltraError* FilterTransform(IVeltraDataSource* source,
                                  IVeltraDataDestination::ChangeTransform* change) override;
    IVeltraError* ProcessTile(IVeltraTile* tile, CProcessInfo* info) override;

private:
    // The setters' shared sequence: before values, the change, after values and the notification.
    template <class Change>
    IVeltraError* ChangeState(bool notify, Change change);
    bool IsIdentity() const;
    IVeltraError* FirstSourceSize(IVeltraDataSource** sources, int32_t count, int32_t* width, int32_t* height);

    bool m_flip = false;
    double m_rotation = 0.0;
    bool m_relative = true;
};
