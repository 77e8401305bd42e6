// gltf_animation.cpp - see gltf_animation.h.
#include "tools/gltf_animation.h"

#include <algorithm>
#include <cmath>

namespace jolp::tools {

Mat4 Multiply(const Mat4& a, const Mat4& b) {
    Mat4 c{};
    for (int col = 0; col < 4; ++col) {
        for (int row = 0; row < 4; ++row) {
            double s = 0.0;
            for (int k = 0; k < 4; ++k) s += a[k * 4 + row] * b[col * 4 + k];
            c[col * 4 + row] = s;
        }
    }
    return c;
}

Mat4 PoseMatrix(const Pose& p) {
    const double x = p.r[0], y = p.r[1], z = p.r[2], w = p.r[3];
    const double n = std::sqrt(x * x + y * y + z * z + w * w);
    const double qx = n > 0 ? x / n : 0, qy = n > 0 ? y / n : 0, qz = n > 0 ? z / n : 0, qw = n > 0 ? w / n : 1;
    const double r[9] = {1 - 2 * (qy * qy + qz * qz), 2 * (qx * qy + qz * qw),     2 * (qx * qz - qy * qw),
                         2 * (qx * qy - qz * qw),     1 - 2 * (qx * qx + qz * qz), 2 * (qy * qz + qx * qw),
                         2 * (qx * qz + qy * qw),     2 * (qy * qz - qx * qw),     1 - 2 * (qx * qx + qy * qy)};
    Mat4 m = kIdentity;
    for (int col = 0; col < 3; ++col) {
        for (int row = 0; row < 3; ++row) m[col * 4 + row] = r[col * 3 + row] * p.s[col];
    }
    m[12] = p.t[0], m[13] = p.t[1], m[14] = p.t[2];
    return m;
}

Pose Decompose(const Mat4& m) {
    Pose p;
    p.t = {m[12], m[13], m[14]};
    double cols[3][3];
    for (int c = 0; c < 3; ++c) {
        p.s[c] = std::sqrt(m[c * 4] * m[c * 4] + m[c * 4 + 1] * m[c * 4 + 1] + m[c * 4 + 2] * m[c * 4 + 2]);
        for (int r = 0; r < 3; ++r) cols[c][r] = p.s[c] > 0 ? m[c * 4 + r] / p.s[c] : (r == c ? 1.0 : 0.0);
    }
    const double det = cols[0][0] * (cols[1][1] * cols[2][2] - cols[2][1] * cols[1][2]) -
                       cols[1][0] * (cols[0][1] * cols[2][2] - cols[2][1] * cols[0][2]) +
                       cols[2][0] * (cols[0][1] * cols[1][2] - cols[1][1] * cols[0][2]);
    if (det < 0) {
        p.s[0] = -p.s[0];
        for (double& v : cols[0]) v = -v;
    }
    // R[row][col] = cols[col][row]
    auto R = [&](int row, int col) { return cols[col][row]; };
    const double trace = R(0, 0) + R(1, 1) + R(2, 2);
    double x, y, z, w;
    if (trace > 0) {
        const double s = std::sqrt(trace + 1.0) * 2;
        w = 0.25 * s, x = (R(2, 1) - R(1, 2)) / s, y = (R(0, 2) - R(2, 0)) / s, z = (R(1, 0) - R(0, 1)) / s;
    } else if (R(0, 0) > R(1, 1) && R(0, 0) > R(2, 2)) {
        const double s = std::sqrt(1.0 + R(0, 0) - R(1, 1) - R(2, 2)) * 2;
        w = (R(2, 1) - R(1, 2)) / s, x = 0.25 * s, y = (R(0, 1) + R(1, 0)) / s, z = (R(0, 2) + R(2, 0)) / s;
    } else if (R(1, 1) > R(2, 2)) {
        const double s = std::sqrt(1.0 + R(1, 1) - R(0, 0) - R(2, 2)) * 2;
        w = (R(0, 2) - R(2, 0)) / s, x = (R(0, 1) + R(1, 0)) / s, y = 0.25 * s, z = (R(1, 2) + R(2, 1)) / s;
    } else {
        const double s = std::sqrt(1.0 + R(2, 2) - R(0, 0) - R(1, 1)) * 2;
        w = (R(1, 0) - R(0, 1)) / s, x = (R(0, 2) + R(2, 0)) / s, y = (R(1, 2) + R(2, 1)) / s, z = 0.25 * s;
    }
    const double n = std::sqrt(x * x + y * y + z * z + w * w);
    p.r = {x / n, y / n, z / n, w / n};
    return p;
}

Transform ToTransform(const Pose& p) {
    Transform t;
    t.position = {float(p.t[0]), float(p.t[1]), float(p.t[2])};
    t.rotation = {float(p.r[0]), float(p.r[1]), float(p.r[2]), float(p.r[3])};
    t.scale = {float(p.s[0]), float(p.s[1]), float(p.s[2])};
    return t;
}

void EvaluateChannel(const Channel& ch, float t, double* out) {
    const int n = ch.path == Path::Rotation ? 4 : 3;
    const size_t keys = ch.times.size();
    const bool cubic = ch.interpolation == Channel::Cubic;
    auto value = [&](size_t k, int c) { return double(ch.values[(cubic ? (3 * k + 1) * n : k * n) + c]); };
    size_t i = 0;
    double d = 0.0;
    if (t <= ch.times.front() || keys == 1) {
        i = 0;
    } else if (t >= ch.times.back()) {
        i = keys - 1;
    } else {
        i = size_t(std::upper_bound(ch.times.begin(), ch.times.end(), t) - ch.times.begin()) - 1;
        const double span = double(ch.times[i + 1]) - double(ch.times[i]);
        d = span > 0 ? (double(t) - ch.times[i]) / span : 0.0;
    }
    if (i + 1 >= keys || d <= 0.0 || ch.interpolation == Channel::Step) {
        for (int c = 0; c < n; ++c) out[c] = value(i, c);
    } else if (cubic) {
        const double span = double(ch.times[i + 1]) - double(ch.times[i]);
        const double d2 = d * d, d3 = d2 * d;
        for (int c = 0; c < n; ++c) {
            const double p0 = value(i, c), p1 = value(i + 1, c);
            const double m0 = span * ch.values[(3 * i + 2) * n + c];  // out-tangent of key i
            const double m1 = span * ch.values[(3 * (i + 1)) * n + c];  // in-tangent of key i + 1
            out[c] = (2 * d3 - 3 * d2 + 1) * p0 + (d3 - 2 * d2 + d) * m0 + (-2 * d3 + 3 * d2) * p1 + (d3 - d2) * m1;
        }
    } else if (ch.path == Path::Rotation) {
        double a[4], b[4], dot = 0;
        for (int c = 0; c < 4; ++c) a[c] = value(i, c), b[c] = value(i + 1, c), dot += a[c] * b[c];
        if (dot < 0) {
            for (double& v : b) v = -v;
            dot = -dot;
        }
        double k0 = 1 - d, k1 = d;
        if (dot < 0.9995) {
            const double omega = std::acos(std::min(dot, 1.0)), s = std::sin(omega);
            k0 = std::sin((1 - d) * omega) / s, k1 = std::sin(d * omega) / s;
        }
        for (int c = 0; c < 4; ++c) out[c] = k0 * a[c] + k1 * b[c];
    } else {
        for (int c = 0; c < n; ++c) out[c] = (1 - d) * value(i, c) + d * value(i + 1, c);
    }
    if (ch.path == Path::Rotation) {
        const double len = std::sqrt(out[0] * out[0] + out[1] * out[1] + out[2] * out[2] + out[3] * out[3]);
        if (len > 0) {
            for (int c = 0; c < 4; ++c) out[c] /= len;
        } else {
            out[0] = out[1] = out[2] = 0, out[3] = 1;
        }
    }
}

}  // namespace jolp::tools
