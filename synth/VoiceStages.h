// The main oscillator's optional stages (VoiceStages in Voice.h): the pitch path (glide,
// vibrato, arpeggio) as closed-form integrals of the frequency, repeat, the square's duty,
// band-limited shapes, tremolo, and the two filters. Everything but the filters is a pure
// function of time and the render's step (StagedValue); the filters keep state, so a voice
// with stages is run in sample order from its first value by CVoiceRun, which defines its
// output. No allocation, no threads: one run per voice, on whichever thread renders it.
#pragma once

#include "synth/Voice.h"

// What the pitch path of a voice works out once: f(u) = g(u) × (1 + β sin(ωu)), g the glide,
// times the arpeggio's ratio after its time.
struct StagePlan {
    struct Path {
        double f0, f1, span;
        bool glide, exponential, vibrato;
        double lambda; // exponential glide: g(u) = f0 × e^(λu)
        double slope;  // linear glide: g(u) = f0 + slope × u
        double beta, omega;
        double glideCycles; // the cycles over the whole glide, from 0 to span
        double cosSpan;     // cos(ω × span)
    } path;
    bool arpeggio;
    double arpeggioTime, ratio;
    double before; // the cycles at the arpeggio's time
};
StagePlan MakeStagePlan(const VoiceParams& voice);

// The value of a voice with stages at time t, before its filters: repeat, pitch path, duty,
// band-limiting (for a render whose values are step seconds apart; 0 gives naive shapes),
// carrier, envelope and tremolo applied.
double StagedValue(const VoiceParams& voice, double t, double step);
// The same with the voice's plan worked out.
double StagedValue(const StagePlan& plan, const VoiceParams& voice, double t, double step);

// The cycles the main oscillator has turned at its own time u (u = t + phase, or the time
// after repeat) along the pitch path alone: the integral from 0 to u of the frequency that
// glide, vibrato and arpeggio give. Without any of them it is frequency × u.
double PitchCycles(const VoiceParams& voice, double u);
// That frequency at u, in hertz.
double PitchFrequency(const VoiceParams& voice, double u);

// A voice's values in the order a render takes them: value i at t_i, the sum of i steps added
// one at a time from 0, filters included. Value 0 comes first; the filters see every value of
// the voice from there.
class CVoiceRun {
public:
    CVoiceRun(const VoiceParams& voice, double step);

    // The next n values, into out.
    void Run(double* out, uint32_t n);

private:
    // A state-variable filter in trapezoidal form: stable for any cutoff below half the rate
    // and any damping above 0.
    struct Filter {
        double ic1 = 0.0, ic2 = 0.0; // the integrators' states
        double cutoff = -1.0;        // the cutoff the coefficients below belong to
        double a1 = 0.0, a2 = 0.0, a3 = 0.0;
        // One value through the filter at cutoff f (already below half the rate).
        double Step(double in, double f, double step, double damping, bool high);
        // The coefficients for cutoff f; apart from Step, which runs every value, as a sweep
        // moves the cutoff only every kCutoffEvery values.
        void Tune(double f, double step, double damping);
    };

    // The filters' cutoffs follow their sweeps at every kCutoffEvery-th value (0.36 ms at
    // 44100 Hz) and hold in between, so that a sweep costs no more than a fixed cutoff.
    static constexpr uint32_t kCutoffEvery = 16;

    VoiceParams m_voice;
    StagePlan m_plan;
    double m_step;
    double m_t = 0.0;
    uint64_t m_index = 0; // values run so far
    double m_lowCutoff = 0.0, m_highCutoff = 0.0; // held below m_limit
    double m_lowDamping;
    double m_limit; // the highest cutoff: 0.49 of the rate
    Filter m_low, m_high;
};
