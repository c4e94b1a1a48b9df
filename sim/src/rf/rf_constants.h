// The constants of the bench's RF model (sim/README.md, "RF path", explains each).
#pragma once

namespace vireo::sim::rf {

// Output power: P = kMaxOutputDbm + slope(f) + adapter offset - CR31 / kCountsPerDb.
inline constexpr double kMaxOutputDbm = 25.2;
inline constexpr double kCountsPerDb = 8.0;            // CR31 counts per dB of output power
inline constexpr double kBandCentreMHz = 2442.0;
inline constexpr double kGainSlopeDbPerMHz = -0.024;    // gain falls towards the top of the band
inline constexpr double kAdapterSpreadDb = 1.5;         // adapter offsets lie within ±1.5 dB

// Spectral regrowth: R = kRegrowthAtReferenceDbc + kRegrowthDbPerDb * (P - kRegrowthReferenceDbm),
// limited by the saturated amplifier's regrowth C = kSaturatedRegrowthDbc +
// kSaturatedDbPerDb * (P - kRegrowthReferenceDbm), over the shaping filter's floor. 8 dB per dB of
// output at 8 CR31 counts per dB makes one count move the sidelobe by about 1 dB, so the tuning
// loop's step (the error in dB, in counts) lands on the limit in one or two steps; saturated, the
// regrowth still grows 0.5 dB per dB, so the sidelobes fall with every CR31 step down to the floor.
inline constexpr double kRegrowthAtReferenceDbc = -30.0;
inline constexpr double kRegrowthReferenceDbm = 16.0;
inline constexpr double kRegrowthDbPerDb = 8.0;
inline constexpr double kSaturatedRegrowthDbc = -10.0;
inline constexpr double kSaturatedDbPerDb = 0.5;
inline constexpr double kFirstSidelobeFloorDbc = -48.0;
inline constexpr double kSecondBelowFirstDb = 14.0;
// The narrow transmit filter (CR11 bit 5 on Birch, CR5 bit 4 on Cedar).
inline constexpr double kFilterFirstSidelobeDb = 10.0;
inline constexpr double kFilterSecondSidelobeDb = 14.0;

// Spectrum shape (offsets from the centre frequency, MHz).
inline constexpr double kCarrierHalfWidthMHz = 9.0;     // carrier lobe: cos² over ±9 MHz
inline constexpr double kFirstLobeFromMHz = 11.0;       // first sidelobes: sin² over 11..22 MHz
inline constexpr double kSecondLobeFromMHz = 22.0;      // second sidelobes: sin² over 22..33 MHz
inline constexpr double kLobeWidthMHz = 11.0;
inline constexpr double kTransmitterFloorDbc = -65.0;   // broadband floor, ±50 MHz around the carrier

// CR58 (set point) = 8 counts per dB above kSetPointZeroDbm.
inline constexpr double kSetPointZeroDbm = 8.0;

// Instruments.
inline constexpr double kAnalyzerNoiseDbmPerMHz = -90.0;  // displayed average noise, 1 MHz RBW, 0 dB attenuation
inline constexpr double kPowerMeterFloorDbm = -70.0;      // sensor noise floor
inline constexpr double kPowerMeterNoiseDb = 0.03;        // reading noise: within ±0.03 dB

}  // namespace vireo::sim::rf
