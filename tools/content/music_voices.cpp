// music_voices.cpp - kick, clap, hats, shaker, crash, riser, wind, pad,
// bass, lead, pluck and bell.
#include "tools/content/music_voices.h"

#include <algorithm>

namespace tarvel::content::music {
namespace {

constexpr size_t kEnvelopeStep = 16;  // envelopes and filter cutoffs move every 16 frames

struct PanGains {
    float left, right;
};

PanGains Pan(float pan) {
    const double u = (std::clamp(pan, -1.0f, 1.0f) + 1.0) / 8.0;  // 0 .. 1/4 turn
    return {static_cast<float>(CosTurns(u)), static_cast<float>(SinTurns(u))};
}

// env[i] = f(i / rate), evaluated every kEnvelopeStep frames and joined by
// straight lines.
template <class F>
void Envelope(std::vector<float>& env, size_t n, F f) {
    for (size_t i = 0; i < n; i += kEnvelopeStep) {
        const double a = f(static_cast<double>(i) / kSampleRate);
        const double b = f(static_cast<double>(i + kEnvelopeStep) / kSampleRate);
        const size_t end = std::min(n, i + kEnvelopeStep);
        for (size_t j = i; j < end; ++j) {
            env[j] = static_cast<float>(a + (b - a) * static_cast<double>(j - i) / kEnvelopeStep);
        }
    }
}

// A percussive level: a linear rise over attack seconds, an exponential
// fall with time constant tau, and a straight fade to 0 over the last
// `taper` seconds before length.
double Percussive(double t, double attack, double tau, double length, double taper) {
    if (t <= 0.0 || t >= length) return 0.0;
    double v = t < attack ? t / attack : Exp(-(t - attack) / tau);
    if (t > length - taper) v *= (length - t) / taper;
    return v;
}

}  // namespace

void Buses::Add(size_t start, const float* mono, size_t n, float gainLeft, float gainRight, float toReverb,
                float toEcho) {
    if (start >= frames) return;
    n = std::min(n, frames - start);
    float* l = left.data() + start;
    float* r = right.data() + start;
    float* rv = reverb.data() + start;
    float* ec = echo.data() + start;
    for (size_t i = 0; i < n; ++i) {
        const float x = mono[i];
        l[i] += x * gainLeft;
        r[i] += x * gainRight;
        rv[i] += x * toReverb;
        ec[i] += x * toEcho;
    }
}

void Buses::AddStereo(size_t start, const float* sl, const float* sr, size_t n, float toReverb, float toEcho) {
    if (start >= frames) return;
    n = std::min(n, frames - start);
    for (size_t i = 0; i < n; ++i) {
        left[start + i] += sl[i];
        right[start + i] += sr[i];
        const float mid = 0.5f * (sl[i] + sr[i]);
        reverb[start + i] += mid * toReverb;
        echo[start + i] += mid * toEcho;
    }
}

size_t Instruments::Frame(double seconds) {
    return seconds <= 0.0 ? 0 : static_cast<size_t>(seconds * kSampleRate + 0.5);
}

double Instruments::Duck(double seconds) const {
    auto after = std::upper_bound(kicks_.begin(), kicks_.end(), seconds);
    if (after == kicks_.begin()) return 1.0;
    const double since = seconds - *(after - 1);
    const double depth = 0.38;
    const double dip = since < 0.006 ? since / 0.006 : Exp(-(since - 0.006) / 0.1);
    return 1.0 - depth * dip;
}

size_t Instruments::Prepare(double seconds) {
    const size_t n = Frame(seconds) + 1;
    if (a_.size() < n) {
        a_.resize(n);
        b_.resize(n);
        env_.resize(n);
    }
    return n;
}

void Instruments::Kick(const Hit& hit) {
    const double length = 0.5;
    const size_t n = Prepare(length);
    Envelope(env_, n, [&](double t) { return Percussive(t, 0.0015, 0.17, length, 0.04); });
    double phase = 0.0;
    double sweep = 1.0;  // pitch drop, e^(-t / 35 ms)
    const double sweepFactor = DecayFactor(0.035);
    double click = 1.0;
    const double clickFactor = DecayFactor(0.004);
    Svf clickFilter;
    clickFilter.Set(3500.0, 0.7);
    for (size_t i = 0; i < n; ++i) {
        const double hz = 47.0 + 125.0 * sweep;
        sweep *= sweepFactor;
        const double body = SoftClip(static_cast<float>(1.3 * SinTurns(phase)), 0.7f);
        phase += hz / kSampleRate;
        clickFilter.Process(random_.Noise());
        const double c = clickFilter.low * click * 0.25;
        click *= clickFactor;
        a_[i] = static_cast<float>((body + c) * env_[i] * 0.42 * hit.velocity);
    }
    buses_.Add(Frame(hit.time), a_.data(), n, 0.707f, 0.707f, 0.0f, 0.0f);
}

void Instruments::Clap(const Hit& hit) {
    const double length = 0.45;
    const size_t n = Prepare(length);
    Envelope(env_, n, [&](double t) {
        double v = 0.0;
        for (int k = 0; k < 3; ++k) v += Percussive(t - 0.009 * k, 0.0005, 0.0045, 0.03, 0.004);
        v += 0.8 * Percussive(t - 0.02, 0.001, 0.085, length - 0.02, 0.05);
        return v;
    });
    Svf band;
    band.Set(1150.0, 1.1);
    Svf air;
    air.Set(5000.0, 0.7);
    double bodyPhase = 0.0, body = 1.0;
    const double bodyFactor = DecayFactor(0.045);
    for (size_t i = 0; i < n; ++i) {
        const double noise = random_.Noise();
        band.Process(noise);
        air.Process(noise);
        double tone = 0.0;
        if (i > 44) {  // the drum body starts after a 1 ms ramp
            const double ramp = std::min(1.0, static_cast<double>(i - 44) / 44.0);
            tone = 0.35 * ramp * body * SinTurns(bodyPhase);
            bodyPhase += 185.0 / kSampleRate;
            body *= bodyFactor;
        }
        a_[i] = static_cast<float>(((1.6 * band.band + 0.25 * air.high) * env_[i] + tone) * 0.6 * hit.velocity);
    }
    buses_.Add(Frame(hit.time), a_.data(), n, 0.68f, 0.73f, 0.28f * hit.velocity, 0.0f);
}

void Instruments::Hat(const Hit& hit, bool open) {
    const double tau = open ? 0.16 : 0.032;
    const double length = open ? 0.55 : 0.16;
    const size_t n = Prepare(length);
    Envelope(env_, n, [&](double t) { return Percussive(t, 0.0006, tau, length, open ? 0.08 : 0.03); });
    Svf high, soft;
    high.Set(7200.0, 0.8);
    soft.Set(13000.0, 0.7);
    for (size_t i = 0; i < n; ++i) {
        high.Process(random_.Noise());
        soft.Process(high.high);
        a_[i] = static_cast<float>(soft.low * env_[i] * (open ? 0.17 : 0.27) * hit.velocity);
    }
    const PanGains g = Pan(hit.pan);
    buses_.Add(Frame(hit.time), a_.data(), n, g.left, g.right, 0.12f, 0.0f);
}

void Instruments::Shaker(const Hit& hit) {
    const double length = 0.2;
    const size_t n = Prepare(length);
    Envelope(env_, n, [&](double t) { return Percussive(t, 0.008, 0.045, length, 0.04); });
    Svf band;
    band.Set(6200.0, 1.2);
    for (size_t i = 0; i < n; ++i) {
        band.Process(random_.Noise());
        a_[i] = static_cast<float>(band.band * env_[i] * 0.22 * hit.velocity);
    }
    const PanGains g = Pan(hit.pan);
    buses_.Add(Frame(hit.time), a_.data(), n, g.left, g.right, 0.15f, 0.0f);
}

void Instruments::Crash(const Hit& hit) {
    const double length = 3.2;
    const size_t n = Prepare(length);
    Envelope(env_, n, [&](double t) { return Percussive(t, 0.0012, 1.0, length, 0.8); });
    Svf hl, hr, bl, br;
    hl.Set(3800.0, 0.7);
    hr.Set(3800.0, 0.7);
    bl.Set(11000.0, 0.7);
    br.Set(11000.0, 0.7);
    for (size_t i = 0; i < n; ++i) {
        hl.Process(random_.Noise());
        hr.Process(random_.Noise());
        bl.Process(hl.high);
        br.Process(hr.high);
        const double level = env_[i] * 0.13 * hit.velocity;
        a_[i] = static_cast<float>(bl.low * level);
        b_[i] = static_cast<float>(br.low * level);
    }
    buses_.AddStereo(Frame(hit.time), a_.data(), b_.data(), n, 0.25f, 0.0f);
}

void Instruments::Riser(const Sweep& sweep) {
    const double length = sweep.end - sweep.start;
    if (length <= 0.05) return;
    const size_t n = Prepare(length);
    // rises as the square of the way through, gone 20 ms after the end
    Envelope(env_, n, [&](double t) {
        if (t <= 0.0 || t >= length) return 0.0;
        const double u = t / length;
        double v = u * u;
        if (t > length - 0.02) v *= (length - t) / 0.02;
        return v;
    });
    Svf band;
    for (size_t i = 0; i < n; ++i) {
        if (i % kEnvelopeStep == 0) {
            const double u = static_cast<double>(i) / static_cast<double>(n);
            band.Set(350.0 * Pow2(4.3 * u), 2.2);
        }
        band.Process(random_.Noise());
        a_[i] = static_cast<float>(band.band * env_[i] * 0.15 * sweep.level);
    }
    buses_.Add(Frame(sweep.start), a_.data(), n, 0.707f, 0.707f, 0.45f * sweep.level, 0.0f);
}

void Instruments::Wind(const Sweep& sweep) {
    const double length = sweep.end - sweep.start;
    if (length <= 1.0) return;
    const size_t n = Prepare(length);
    // swells in and out over the first and last 30%, a half sine each way
    Envelope(env_, n, [&](double t) {
        if (t <= 0.0 || t >= length) return 0.0;
        const double edge = 0.3 * length;
        const double u = std::min({1.0, t / edge, (length - t) / edge});
        const double s = SinTurns(0.25 * u);
        return s * s;
    });
    Svf fl, fr, dullLeft, dullRight;  // band-pass, then a low-pass that takes the hiss away
    dullLeft.Set(1300.0, 0.7);
    dullRight.Set(1300.0, 0.7);
    const double phaseLeft = random_.Unit(), phaseRight = random_.Unit();
    for (size_t i = 0; i < n; ++i) {
        if (i % kEnvelopeStep == 0) {
            const double t = static_cast<double>(i) / kSampleRate;
            fl.Set(260.0 * Pow2(1.6 * (0.5 + 0.5 * SinTurns(phaseLeft + 0.045 * t))), 1.6);
            fr.Set(260.0 * Pow2(1.6 * (0.5 + 0.5 * SinTurns(phaseRight + 0.037 * t))), 1.6);
        }
        fl.Process(random_.Noise());
        fr.Process(random_.Noise());
        dullLeft.Process(fl.band);
        dullRight.Process(fr.band);
        const double level = env_[i] * 0.12 * sweep.level;
        a_[i] = static_cast<float>(dullLeft.low * level);
        b_[i] = static_cast<float>(dullRight.low * level);
    }
    buses_.AddStereo(Frame(sweep.start), a_.data(), b_.data(), n, 0.25f, 0.0f);
}

void Instruments::Pad(const Note& note) {
    Adsr adsr;
    adsr.attack = note.start < 1.0 ? 5.0 : std::min(0.9, 0.4 * note.length);
    adsr.decay = 1.0;
    adsr.sustain = 1.0;
    adsr.release = 1.8;
    const size_t n = Prepare(adsr.Length(note.length));
    Envelope(env_, n, [&](double t) { return adsr.Level(t, note.length) * Duck(note.start + t); });
    const double hz = NoteHz(note.pitch);
    const double detune = Pow2(9.0 / 1200.0);
    Saw left, mid, right;
    left.phase = random_.Unit();
    mid.phase = random_.Unit();
    right.phase = random_.Unit();
    const double dl = hz / detune / kSampleRate, dm = hz / kSampleRate, dr = hz * detune / kSampleRate;
    Svf fl, fr;
    const double lfoPhase = random_.Unit();
    const double level = 0.045 * note.velocity;
    for (size_t i = 0; i < n; ++i) {
        if (i % kEnvelopeStep == 0) {
            const double t = static_cast<double>(i) / kSampleRate;
            const double cutoff = note.tone * (1.0 + 0.18 * SinTurns(lfoPhase + 0.08 * t)) * (0.75 + 0.25 * env_[i]);
            fl.Set(cutoff, 0.8);
            fr.Set(cutoff, 0.8);
        }
        const double m = 0.7 * mid.Next(dm);
        fl.Process(left.Next(dl) + m);
        fr.Process(right.Next(dr) + m);
        a_[i] = static_cast<float>(fl.low * env_[i] * level);
        b_[i] = static_cast<float>(fr.low * env_[i] * level);
    }
    const PanGains g = Pan(note.pan);
    for (size_t i = 0; i < n; ++i) {
        a_[i] *= g.left * 1.414f;
        b_[i] *= g.right * 1.414f;
    }
    buses_.AddStereo(Frame(note.start), a_.data(), b_.data(), n, 0.38f, 0.0f);
}

void Instruments::Bass(const Note& note) {
    const bool held = note.length > 1.0;
    Adsr adsr;
    adsr.attack = held ? 0.05 : 0.004;
    adsr.decay = held ? 1.0 : 0.18;
    adsr.sustain = held ? 0.85 : 0.7;
    adsr.release = held ? 0.3 : 0.06;
    const size_t n = Prepare(adsr.Length(note.length));
    Envelope(env_, n, [&](double t) { return adsr.Level(t, note.length); });
    const double dt = NoteHz(note.pitch) / kSampleRate;
    Saw saw;
    double sine = 0.0;
    Svf filter;
    for (size_t i = 0; i < n; ++i) {
        if (i % kEnvelopeStep == 0) {
            const double t = static_cast<double>(i) / kSampleRate;
            filter.Set(note.tone * (1.0 + 2.2 * Exp(-t / (held ? 0.4 : 0.07))), 1.1);
        }
        filter.Process(saw.Next(dt));
        const double v = 0.65 * filter.low + 0.7 * SinTurns(sine);
        sine += dt;
        if (sine >= 1.0) sine -= 1.0;
        a_[i] = static_cast<float>(SoftClip(static_cast<float>(v * env_[i]), 0.8f) * 0.36 * note.velocity);
    }
    buses_.Add(Frame(note.start), a_.data(), n, 0.707f, 0.707f, 0.02f, 0.0f);
}

void Instruments::Lead(const Note& note) {
    Adsr adsr;
    adsr.attack = 0.012;
    adsr.decay = 0.35;
    adsr.sustain = 0.72;
    adsr.release = 0.2;
    const size_t n = Prepare(adsr.Length(note.length));
    Envelope(env_, n, [&](double t) { return adsr.Level(t, note.length); });
    const double hz = NoteHz(note.pitch);
    const double detune = Pow2(7.0 / 1200.0);
    Saw s1, s2;
    Square sq;
    s1.phase = random_.Unit();
    s2.phase = random_.Unit();
    Svf filter;
    double d1 = 0.0, d2 = 0.0, dq = 0.0;
    for (size_t i = 0; i < n; ++i) {
        if (i % kEnvelopeStep == 0) {
            const double t = static_cast<double>(i) / kSampleRate;
            // vibrato fades in after a quarter second: 5.2 Hz, 12 cents
            const double depth = std::clamp((t - 0.25) / 0.4, 0.0, 1.0) * 12.0 / 1200.0;
            const double f = hz * Pow2(depth * SinTurns(5.2 * t));
            d1 = f * detune / kSampleRate;
            d2 = f / detune / kSampleRate;
            dq = 0.5 * f / kSampleRate;
            const double cutoff = std::min(note.tone * (0.55 + 0.9 * Exp(-t / 0.22)), 12000.0);
            filter.Set(cutoff, 1.3);
        }
        filter.Process(s1.Next(d1) + s2.Next(d2) + 0.35 * sq.Next(dq));
        a_[i] = static_cast<float>(filter.low * env_[i] * 0.125 * note.velocity);
    }
    const PanGains g = Pan(note.pan);
    buses_.Add(Frame(note.start), a_.data(), n, g.left, g.right, 0.32f, 0.3f);
}

void Instruments::Pluck(const Note& note) {
    Adsr adsr;
    adsr.attack = 0.002;
    adsr.decay = 0.12;
    adsr.sustain = 0.2;
    adsr.release = 0.12;
    const size_t n = Prepare(adsr.Length(note.length));
    Envelope(env_, n, [&](double t) { return adsr.Level(t, note.length); });
    const double dt = NoteHz(note.pitch) / kSampleRate;
    Saw saw;
    Square sq;
    saw.phase = random_.Unit();
    Svf filter;
    for (size_t i = 0; i < n; ++i) {
        if (i % kEnvelopeStep == 0) {
            const double t = static_cast<double>(i) / kSampleRate;
            filter.Set(280.0 + note.tone * Exp(-t / 0.07), 1.8);
        }
        filter.Process(saw.Next(dt) + 0.5 * sq.Next(dt));
        a_[i] = static_cast<float>(filter.low * env_[i] * 0.12 * note.velocity);
    }
    const PanGains g = Pan(note.pan);
    buses_.Add(Frame(note.start), a_.data(), n, g.left, g.right, 0.2f, 0.35f);
}

void Instruments::Bell(const Note& note) {
    const double length = note.length + 2.5;
    const size_t n = Prepare(length);
    Envelope(env_, n, [&](double t) { return Percussive(t, 0.003, 0.9, length, 0.6); });
    const double hz = NoteHz(note.pitch);
    double carrier = 0.0, modulator = 0.0, index = 1.8 / (2.0 * kPi);
    const double indexFactor = DecayFactor(0.45);
    for (size_t i = 0; i < n; ++i) {
        const double v = SinTurns(carrier + index * SinTurns(modulator));
        carrier += hz / kSampleRate;
        modulator += 3.5 * hz / kSampleRate;
        if (carrier >= 1.0) carrier -= 1.0;
        if (modulator >= 1.0) modulator -= 1.0;
        index *= indexFactor;
        a_[i] = static_cast<float>(v * env_[i] * 0.13 * note.velocity);
    }
    const PanGains g = Pan(note.pan);
    buses_.Add(Frame(note.start), a_.data(), n, g.left, g.right, 0.5f, 0.35f);
}

}  // namespace tarvel::content::music
