#pragma once

namespace beamtide {

// A bar's positions, both ends included.
struct BarRange
{
    int min;
    int max;
    constexpr int clamp(int value) const { return value < min ? min : (value > max ? max : value); }
};

// The window's bars: their ranges (a stored position outside moves to the nearest end) and
// what a position stands for. Kept here once for the window, the settings and the filter.
namespace bars {
inline constexpr BarRange kUpdateInterval{1, 120};
inline constexpr BarRange kMinDistance{0, 100};
inline constexpr BarRange kSnr{0, 60};
inline constexpr BarRange kMaxLines{5, 1000};
inline constexpr BarRange kElapsedTime{2, 120};
inline constexpr BarRange kMaxDistance{0, 100};
inline constexpr BarRange kTone{4, 20}; // hundreds of Hz
inline constexpr BarRange kDistanceScale{5, 100};
inline constexpr BarRange kFarAlert{0, 200};

// The SNR bar sits at the threshold plus 30 dB, so that it never goes below 0.
inline constexpr int kSnrOffset = 30;
constexpr int snrThreshold(int position) { return position - kSnrOffset; }

// The far alert distance starts at 2000 km and grows by 50 km a step.
inline constexpr int kFarAlertBaseKm = 2000;
inline constexpr int kFarAlertStepKm = 50;
constexpr int farAlertDistance(int position) { return kFarAlertBaseKm + kFarAlertStepKm * position; }
} // namespace bars

} // namespace beamtide
