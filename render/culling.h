// culling.h - what a pass can leave out: a convex volume of planes, taken
// from a clip matrix (the camera's view and projection, or one face of a
// shadow cube), optionally narrowed to a light's sphere. An item or a light
// whose bounding sphere lies wholly outside any plane, or wholly outside the
// sphere, cannot put a pixel into the pass, and is not drawn.
//
// The planes are those of the clip volume -w <= x <= w, -w <= y <= w,
// 0 <= z <= w of the matrix (row vectors). The tests are conservative: a
// sphere is left out only when it is clear of a plane by a margin for
// rounding, so a sphere touching the volume is always kept. An item without
// bounds (a negative radius: particles) is always kept.
//
// Plain values; nothing here allocates.
#pragma once

#include "scene/draw_submission.h"
#include "scene/transform_math.h"

namespace jolp {

// A default CullVolume has no planes and keeps everything.
class CullVolume {
public:
    // The clip volume of a matrix. With nearAtEye the near plane is replaced
    // by the plane w = 0 through the eye: what a ray from the eye can pass
    // through on its way to a visible surface (a volume light's glow).
    static CullVolume FromClipMatrix(const Matrix& clip, bool nearAtEye = false);

    // Narrows the volume to the inside of a sphere as well.
    CullVolume WithSphere(const Vec3& centre, float radius) const;

    bool TouchesSphere(const Vec3& centre, float radius) const;
    bool Touches(const DrawItem& item) const {
        return item.boundsRadius < 0.0f || TouchesSphere(item.boundsCentre, item.boundsRadius);
    }

private:
    struct Plane {
        float a = 0.0f, b = 0.0f, c = 0.0f, d = 0.0f;  // a x + b y + c z + d >= 0 inside
    };
    Plane planes_[6];
    int planeCount_ = 0;
    bool hasSphere_ = false;
    Vec3 sphereCentre_{0.0f, 0.0f, 0.0f};
    float sphereRadius_ = 0.0f;
};

}  // namespace jolp
