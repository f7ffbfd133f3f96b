// The soundtrack's instruments, synthesized from scratch: additive band-limited oscillators
// for the tonal sounds (so loops close exactly), filtered noise for drums, crash and sweep.
// Every sound is normalised to the same peak; the mix balance lives in each instrument's
// sample volume.
#include "composer.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>

namespace {

constexpr double pi = 3.14159265358979323846;
constexpr double middleC = 261.6255653005986; // the pitch of C-5

// Fixed-seed xorshift noise: the same sounds on every run.
uint32_t noiseState = 0x2545F491u;

double noise() {
    noiseState ^= noiseState << 13;
    noiseState ^= noiseState >> 17;
    noiseState ^= noiseState << 5;
    return noiseState / 2147483648.0 - 1.0;
}

int frames(double seconds) {
    return static_cast<int>(seconds * sampleRate);
}

// Sum of harmonics 1..n of `base` Hz, harmonic k with amplitude weight(k) (may depend on the
// time in seconds), stopping below `maxHz` so nothing aliases. The partials start at spread
// phases so the sum has no sharp peak.
double harmonics(double base, double time, double maxHz,
                 const std::function<double(int, double)>& weight) {
    double sum = 0.0;
    for (int k = 1; k * base < maxHz; ++k) {
        const double w = weight(k, time);
        if (w != 0.0) {
            sum += w * std::sin(2.0 * pi * k * base * time + 0.7 * k * k);
        }
    }
    return sum;
}

// Gain of a gentle 2-pole low-pass at `cutoff` for frequency f.
double lowpass(double f, double cutoff) {
    return 1.0 / (1.0 + (f / cutoff) * (f / cutoff));
}

double sawWeight(int k) {
    return 1.0 / k;
}
double squareWeight(int k) {
    return (k % 2) ? 1.0 / k : 0.0;
}

// Biquad band-pass (constant peak gain), coefficients recomputed by the caller as it sweeps.
struct Biquad {
    double b0 = 0, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
};

void setBandpass(Biquad& f, double hz, double q) {
    const double w = 2.0 * pi * hz / sampleRate;
    const double alpha = std::sin(w) / (2.0 * q);
    const double a0 = 1.0 + alpha;
    f.b0 = alpha / a0;
    f.b1 = 0.0;
    f.b2 = -alpha / a0;
    f.a1 = -2.0 * std::cos(w) / a0;
    f.a2 = (1.0 - alpha) / a0;
}

void setHighpass(Biquad& f, double hz, double q) {
    const double w = 2.0 * pi * hz / sampleRate;
    const double alpha = std::sin(w) / (2.0 * q);
    const double c = std::cos(w);
    const double a0 = 1.0 + alpha;
    f.b0 = (1.0 + c) / 2.0 / a0;
    f.b1 = -(1.0 + c) / a0;
    f.b2 = (1.0 + c) / 2.0 / a0;
    f.a1 = -2.0 * c / a0;
    f.a2 = (1.0 - alpha) / a0;
}

double run(Biquad& f, double x) {
    const double y = f.b0 * x + f.b1 * f.x1 + f.b2 * f.x2 - f.a1 * f.y1 - f.a2 * f.y2;
    f.x2 = f.x1;
    f.x1 = x;
    f.y2 = f.y1;
    f.y1 = y;
    return y;
}

// Scales to a peak of 0.9 of full scale and converts to 16-bit.
std::vector<int16_t> toPcm(const std::vector<double>& wave) {
    double peak = 1e-9;
    for (double v : wave) {
        peak = std::max(peak, std::abs(v));
    }
    std::vector<int16_t> pcm(wave.size());
    for (size_t i = 0; i < wave.size(); ++i) {
        pcm[i] = static_cast<int16_t>(std::lround(wave[i] / peak * 0.9 * 32767.0));
    }
    return pcm;
}

// Short fade at the end of a one-shot so it never stops with a click.
void fadeTail(std::vector<double>& wave, double seconds) {
    const int n = std::min<int>(frames(seconds), static_cast<int>(wave.size()));
    for (int i = 0; i < n; ++i) {
        wave[wave.size() - 1 - i] *= static_cast<double>(i) / n;
    }
}

ItInstrument instrument(const std::string& name, std::vector<double> wave, double baseHz,
                        int volume) {
    ItInstrument in;
    in.name = name;
    in.pcm = toPcm(wave);
    // A note of C-5 plays the sample at the pitch of middle C.
    in.c5Speed = static_cast<uint32_t>(std::lround(sampleRate * middleC / baseHz));
    in.sampleVolume = volume;
    return in;
}

// A sustained tone that loops over one second: every partial is a whole number of Hz, so the
// waveform repeats exactly after sampleRate frames. It swells in over `attack` seconds before
// the loop, and fades out after note-off.
ItInstrument sustained(const std::string& name, double attack, int volume, int fadeOut,
                       const std::function<double(double)>& wave, double baseHz) {
    const int attackFrames = frames(attack);
    std::vector<double> out(attackFrames + sampleRate);
    for (size_t i = 0; i < out.size(); ++i) {
        const double time = static_cast<double>(i) / sampleRate;
        double gain = 1.0;
        if (static_cast<int>(i) < attackFrames) {
            const double x = static_cast<double>(i) / attackFrames;
            gain = x * x * (3.0 - 2.0 * x);
        }
        out[i] = gain * wave(time);
    }
    ItInstrument in = instrument(name, out, baseHz, volume);
    in.loop = {true, false, static_cast<uint32_t>(attackFrames),
               static_cast<uint32_t>(attackFrames + sampleRate)};
    in.fadeOut = fadeOut;
    in.newNoteAction = 3; // the old note fades under the new one
    return in;
}

// Detuned saws (whole Hz each) through a low-pass: the pad, the lead and the sub.
double sawStack(double time, std::initializer_list<int> hz, double cutoff, double maxHz) {
    double sum = 0.0;
    for (int f : hz) {
        sum += harmonics(f, time, maxHz,
                         [&](int k, double) { return sawWeight(k) * lowpass(k * f, cutoff); });
    }
    return sum;
}

// A plucked tone at middle C: the harmonics of `weight` through a low-pass that closes from
// `open` to `closed` Hz, with an exponential decay of `decay` seconds.
std::vector<double> pluck(double seconds, double decay, double open, double closed,
                          double (*weight)(int)) {
    std::vector<double> out(frames(seconds));
    for (size_t i = 0; i < out.size(); ++i) {
        const double time = static_cast<double>(i) / sampleRate;
        const double cutoff = closed + (open - closed) * std::exp(-time / 0.08);
        const double attack = std::min(1.0, time / 0.002);
        out[i] = attack * std::exp(-time / decay) *
                 harmonics(middleC, time, 12000.0,
                           [&](int k, double) { return weight(k) * lowpass(k * middleC, cutoff); });
    }
    fadeTail(out, 0.02);
    return out;
}

// Two-operator FM bell at middle C: modulator at `ratio`, index falling with `indexDecay`.
std::vector<double> bell(double seconds, double decay, double ratio, double index,
                         double indexDecay) {
    std::vector<double> out(frames(seconds));
    for (size_t i = 0; i < out.size(); ++i) {
        const double time = static_cast<double>(i) / sampleRate;
        const double mod =
            index * std::exp(-time / indexDecay) * std::sin(2.0 * pi * middleC * ratio * time);
        const double attack = std::min(1.0, time / 0.003);
        out[i] = attack * std::exp(-time / decay) * std::sin(2.0 * pi * middleC * time + mod);
    }
    fadeTail(out, 0.02);
    return out;
}

ItInstrument subBass() {
    // Sine with a touch of second harmonic, soft-clipped for warmth.
    return sustained(
        "sub bass", 0.01, 26, 48,
        [](double time) {
            const double s =
                std::sin(2.0 * pi * 131.0 * time) + 0.2 * std::sin(4.0 * pi * 131.0 * time);
            return std::tanh(1.4 * s);
        },
        131.0);
}

ItInstrument clap() {
    // Three quick band-passed noise bursts and a tail, over a short snare body.
    std::vector<double> out(frames(0.42));
    Biquad band;
    setBandpass(band, 1150.0, 1.4);
    Biquad hiss;
    setHighpass(hiss, 3500.0, 0.7);
    double phase = 0.0;
    for (size_t i = 0; i < out.size(); ++i) {
        const double time = static_cast<double>(i) / sampleRate;
        double burst = 0.0;
        for (double start : {0.0, 0.011, 0.022}) {
            if (time >= start) {
                burst = std::max(burst, std::exp(-(time - start) / 0.005));
            }
        }
        if (time >= 0.031) {
            burst = std::max(burst, 0.85 * std::exp(-(time - 0.031) / 0.09));
        }
        const double n = noise();
        phase += 2.0 * pi * (175.0 + 60.0 * std::exp(-time / 0.015)) / sampleRate;
        out[i] = 2.2 * burst * run(band, n) + 0.35 * std::exp(-time / 0.05) * std::sin(phase) +
                 0.25 * std::exp(-time / 0.12) * run(hiss, n);
    }
    fadeTail(out, 0.03);
    return instrument("clap", out, middleC, 64);
}

ItInstrument kick() {
    // Falling sine with a short click, driven into a soft clip.
    std::vector<double> out(frames(0.5));
    Biquad click;
    setHighpass(click, 2000.0, 0.7);
    double phase = 0.0;
    for (size_t i = 0; i < out.size(); ++i) {
        const double time = static_cast<double>(i) / sampleRate;
        phase += 2.0 * pi * (46.0 + 120.0 * std::exp(-time / 0.035)) / sampleRate;
        const double body = std::exp(-time / 0.22) * std::sin(phase);
        out[i] = std::tanh(1.8 * body) + 0.4 * std::exp(-time / 0.003) * run(click, noise());
    }
    fadeTail(out, 0.05);
    return instrument("kick", out, middleC, 64);
}

ItInstrument bassStab() {
    // Saw and square an octave apart through a closing low-pass: a short, squelchy stab.
    const double base = middleC / 2.0;
    std::vector<double> out(frames(0.32));
    for (size_t i = 0; i < out.size(); ++i) {
        const double time = static_cast<double>(i) / sampleRate;
        const double cutoff = 260.0 + 2600.0 * std::exp(-time / 0.06);
        const double wave =
            harmonics(base, time, 9000.0,
                      [&](int k, double) { return sawWeight(k) * lowpass(k * base, cutoff); }) +
            0.5 * harmonics(base * 1.004, time, 9000.0, [&](int k, double) {
                return squareWeight(k) * lowpass(k * base, cutoff);
            });
        out[i] = std::min(1.0, time / 0.002) * std::exp(-time / 0.12) * wave;
    }
    fadeTail(out, 0.03);
    return instrument("bass stab", out, base, 52);
}

ItInstrument pad() {
    // Three saws a whole Hz apart beat slowly against each other; an octave sine on top.
    ItInstrument in = sustained(
        "pad", 0.45, 30, 10,
        [](double time) {
            return sawStack(time, {130, 131, 132}, 900.0, 6000.0) +
                   0.3 * std::sin(2.0 * pi * 262.0 * time);
        },
        131.0);
    return in;
}

ItInstrument hat() {
    // Metallic square cluster and noise, high-passed, very short.
    std::vector<double> out(frames(0.16));
    Biquad hp1, hp2;
    setHighpass(hp1, 6500.0, 0.7);
    setHighpass(hp2, 6500.0, 0.7);
    const double partials[] = {205.3, 304.4, 369.6, 522.7, 540.0, 800.0};
    for (size_t i = 0; i < out.size(); ++i) {
        const double time = static_cast<double>(i) / sampleRate;
        double metal = 0.0;
        for (double p : partials) {
            metal += std::sin(2.0 * pi * p * 3.1 * time) > 0 ? 1.0 : -1.0;
        }
        const double x = 0.12 * metal + noise();
        out[i] = std::exp(-time / 0.035) * run(hp2, run(hp1, x));
    }
    fadeTail(out, 0.02);
    return instrument("hi-hat", out, middleC, 64);
}

ItInstrument conga() {
    // A tuned hand drum: two body modes with a quick pitch bend and a slap of noise.
    std::vector<double> out(frames(0.3));
    Biquad slap;
    setBandpass(slap, 2500.0, 1.0);
    double p1 = 0.0, p2 = 0.0;
    for (size_t i = 0; i < out.size(); ++i) {
        const double time = static_cast<double>(i) / sampleRate;
        const double bend = 1.0 + 0.25 * std::exp(-time / 0.012);
        p1 += 2.0 * pi * middleC * bend / sampleRate;
        p2 += 2.0 * pi * middleC * 2.32 * bend / sampleRate;
        out[i] = std::exp(-time / 0.09) * std::sin(p1) +
                 0.35 * std::exp(-time / 0.03) * std::sin(p2) +
                 0.5 * std::exp(-time / 0.006) * run(slap, noise());
    }
    fadeTail(out, 0.02);
    return instrument("conga", out, middleC, 56);
}

ItInstrument chordStab() {
    // Three detuned saws with a fast filter decay, played as chords across three channels.
    std::vector<double> out(frames(0.45));
    for (size_t i = 0; i < out.size(); ++i) {
        const double time = static_cast<double>(i) / sampleRate;
        const double cutoff = 700.0 + 4200.0 * std::exp(-time / 0.07);
        double sum = 0.0;
        for (double detune : {1.0, 1.0058, 0.9942}) {
            const double f = middleC * detune;
            sum += harmonics(f, time, 11000.0,
                             [&](int k, double) { return sawWeight(k) * lowpass(k * f, cutoff); });
        }
        out[i] = std::min(1.0, time / 0.003) * std::exp(-time / 0.16) * sum;
    }
    fadeTail(out, 0.04);
    return instrument("chord stab", out, middleC, 40);
}

ItInstrument crash() {
    // Noise and a bank of inharmonic high partials, long exponential decay.
    std::vector<double> out(frames(2.8));
    Biquad hp;
    setHighpass(hp, 3200.0, 0.6);
    const double partials[] = {3127.0, 3891.0, 4410.0, 5233.0, 6078.0, 7349.0, 8102.0, 9550.0};
    for (size_t i = 0; i < out.size(); ++i) {
        const double time = static_cast<double>(i) / sampleRate;
        double metal = 0.0;
        for (double p : partials) {
            metal += std::sin(2.0 * pi * p * time + p);
        }
        const double x = run(hp, noise()) + 0.05 * metal;
        out[i] = std::min(1.0, time / 0.002) * std::exp(-time / 0.75) * x;
    }
    fadeTail(out, 0.3);
    return instrument("crash", out, middleC, 56);
}

ItInstrument sweep() {
    // Noise through a band-pass rising from 250 Hz to 9 kHz over sixteen rows (1.92 s),
    // swelling up to the drop.
    std::vector<double> out(frames(1.92));
    Biquad band;
    for (size_t i = 0; i < out.size(); ++i) {
        const double x = static_cast<double>(i) / out.size();
        setBandpass(band, 250.0 * std::pow(36.0, x * x), 2.5);
        out[i] = (0.15 + 0.85 * x * x) * run(band, noise());
    }
    fadeTail(out, 0.01);
    return instrument("sweep", out, middleC, 36);
}

} // namespace

std::vector<ItInstrument> synthesizeInstruments() {
    noiseState = 0x2545F491u;
    std::vector<ItInstrument> list;
    list.push_back(subBass());  // 1
    list.push_back(clap());     // 2
    list.push_back(kick());     // 3
    list.push_back(bassStab()); // 4
    list.push_back(pad());      // 5
    list.push_back(hat());      // 6
    // 7 to 10: the four arpeggio voices, one timbre per chord tone.
    list.push_back(instrument("arp saw", pluck(0.5, 0.16, 5200.0, 900.0, sawWeight), middleC, 24));
    list.push_back(
        instrument("arp square", pluck(0.5, 0.15, 4200.0, 800.0, squareWeight), middleC, 22));
    list.push_back(instrument("arp bell", bell(0.6, 0.22, 3.5, 2.2, 0.08), middleC, 26));
    list.push_back(instrument("arp glass", bell(0.6, 0.2, 2.0, 1.2, 0.05), middleC, 22));
    // 11: the lead, a brighter saw stack that sings over the groove.
    list.push_back(sustained(
        "lead", 0.012, 36, 28,
        [](double time) {
            return sawStack(time, {260, 262, 264}, 3200.0, 12000.0) +
                   0.4 * std::sin(2.0 * pi * 262.0 * time);
        },
        262.0));
    // 12: a soft bell for the counter-melody of the quiet parts.
    list.push_back(instrument("bell", bell(2.5, 0.9, 1.4, 1.5, 0.4), middleC, 28));
    list.push_back(conga());     // 13
    list.push_back(chordStab()); // 14
    list.push_back(crash());     // 15
    list.push_back(sweep());     // 16
    return list;
}
