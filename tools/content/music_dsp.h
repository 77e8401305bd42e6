// music_dsp.h - the small signal-processing kit the music is built from:
// exact-arithmetic math (sine, exp), a seeded noise source, band-limited
// oscillators, a state-variable filter and a soft clipper.
//
// Everything here is plain IEEE arithmetic (add, multiply, divide, floor),
// never the C library's transcendental functions, whose last bits differ
// between library versions and CPU paths: the same score renders the same
// samples everywhere. Owned by the music generator; nothing outside
// tools/content/music*.cpp uses it.
#pragma once

#include <cmath>
#include <cstdint>

namespace tarvel::content::music {

constexpr double kPi = 3.14159265358979323846;
constexpr double kSampleRate = 44100.0;

// sin(2 pi turns) for any turns, to about 1e-7.
inline double SinTurns(double turns) {
    double x = turns - std::floor(turns + 0.5);  // -0.5 .. 0.5
    if (x > 0.25) x = 0.5 - x;
    if (x < -0.25) x = -0.5 - x;
    const double a = 2.0 * kPi * x;  // -pi/2 .. pi/2
    const double a2 = a * a;
    return a * (1.0 + a2 * (-1.0 / 6.0 + a2 * (1.0 / 120.0 + a2 * (-1.0 / 5040.0 + a2 * (1.0 / 362880.0 +
                                                                                       a2 * (-1.0 / 39916800.0))))));
}

inline double CosTurns(double turns) { return SinTurns(turns + 0.25); }

// e^x to about 1e-12 relative; 0 below -700.
inline double Exp(double x) {
    if (x < -700.0) return 0.0;
    if (x > 700.0) x = 700.0;
    const double k = std::floor(x * 1.4426950408889634 + 0.5);
    const double r = (x - k * 0.693145751953125) - k * 1.428606820309417232e-06;  // |r| <= 0.35
    double term = 1.0;
    double sum = 1.0;
    for (int i = 1; i <= 12; ++i) {
        term *= r / i;
        sum += term;
    }
    return std::ldexp(sum, static_cast<int>(k));
}

inline double Pow2(double x) { return Exp(x * 0.69314718055994531); }

// Equal temperament, A4 (note 69) = 440 Hz.
inline double NoteHz(double note) { return 440.0 * Pow2((note - 69.0) / 12.0); }

// Per-sample factor of an exponential decay with time constant tau seconds.
inline double DecayFactor(double tau) { return Exp(-1.0 / (tau * kSampleRate)); }

// Linear up to knee, then a smooth (continuous slope) bend that reaches 1 at
// 3 * (1 - knee) past the knee and stays there.
inline float SoftClip(float x, float knee) {
    const float m = x < 0.0f ? -x : x;
    if (m <= knee) return x;
    const float range = 1.0f - knee;
    float u = (m - knee) / range;
    if (u > 3.0f) u = 3.0f;
    const float bent = u * (27.0f + u * u) / (27.0f + 9.0f * u * u);  // tanh-like, 1 at u = 3
    const float y = knee + range * bent;
    return x < 0.0f ? -y : y;
}

// xorshift32: small, seeded, the same sequence everywhere.
class Random {
public:
    explicit Random(uint32_t seed) : state_(seed ? seed : 0x9E3779B9u) {}
    uint32_t Next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return state_;
    }
    // Uniform in -1 .. 1.
    float Noise() { return static_cast<float>(static_cast<int32_t>(Next())) * (1.0f / 2147483648.0f); }
    // Uniform in 0 .. 1.
    double Unit() { return static_cast<double>(Next() >> 8) * (1.0 / 16777216.0); }

private:
    uint32_t state_;
};

// The polynomial band-limited step correction for a discontinuity at phase
// 0 of an oscillator advancing dt turns per sample.
inline double PolyBlep(double t, double dt) {
    if (t < dt) {
        t /= dt;
        return t + t - t * t - 1.0;
    }
    if (t > 1.0 - dt) {
        t = (t - 1.0) / dt;
        return t * t + t + t + 1.0;
    }
    return 0.0;
}

// Band-limited sawtooth, -1 .. 1.
struct Saw {
    double phase = 0.0;
    double Next(double dt) {
        const double v = 2.0 * phase - 1.0 - PolyBlep(phase, dt);
        phase += dt;
        if (phase >= 1.0) phase -= 1.0;
        return v;
    }
};

// Band-limited square, -1 .. 1.
struct Square {
    double phase = 0.0;
    double Next(double dt) {
        double v = phase < 0.5 ? 1.0 : -1.0;
        v += PolyBlep(phase, dt);
        double shifted = phase + 0.5;
        if (shifted >= 1.0) shifted -= 1.0;
        v -= PolyBlep(shifted, dt);
        phase += dt;
        if (phase >= 1.0) phase -= 1.0;
        return v;
    }
};

// Topology-preserving state-variable filter: low, band and high outputs of
// one 12 dB/octave section; stable for any cutoff below Nyquist.
class Svf {
public:
    void Set(double cutoffHz, double q) {
        double f = cutoffHz / kSampleRate;
        if (f > 0.45) f = 0.45;
        if (f < 1e-5) f = 1e-5;
        const double g = SinTurns(0.5 * f) / CosTurns(0.5 * f);  // tan(pi f)
        k_ = 1.0 / q;
        a1_ = 1.0 / (1.0 + g * (g + k_));
        a2_ = g * a1_;
        a3_ = g * a2_;
    }
    void Process(double in) {
        const double v3 = in - ic2_;
        const double v1 = a1_ * ic1_ + a2_ * v3;
        const double v2 = ic2_ + a2_ * ic1_ + a3_ * v3;
        ic1_ = 2.0 * v1 - ic1_;
        ic2_ = 2.0 * v2 - ic2_;
        low = v2;
        band = v1;
        high = in - k_ * v1 - v2;
    }
    double low = 0.0, band = 0.0, high = 0.0;

private:
    double k_ = 1.0, a1_ = 0.0, a2_ = 0.0, a3_ = 0.0;
    double ic1_ = 0.0, ic2_ = 0.0;
};

// Attack-decay-sustain-release level for a note held for `hold` seconds:
// linear attack, exponential decay towards sustain, then a release that
// ends at exactly 0 (an exponential curve bent to meet zero).
struct Adsr {
    double attack = 0.005, decay = 0.1, sustain = 1.0, release = 0.1;
    double Level(double t, double hold) const {
        auto held = [&](double u) {
            if (u < attack) return u / attack;
            return sustain + (1.0 - sustain) * Exp(-(u - attack) / decay);
        };
        if (t < hold) return held(t);
        const double from = held(hold);
        const double r = (t - hold) / release;
        if (r >= 1.0) return 0.0;
        // exp fall to 1/e^4 at the end, shifted and scaled to reach 0.
        const double e = (Exp(-4.0 * r) - Exp(-4.0)) / (1.0 - Exp(-4.0));
        return from * e;
    }
    double Length(double hold) const { return hold + release; }
};

}  // namespace tarvel::content::music
