// libhp8593e.so: driver for the HP 8593E spectrum analyzer, reached through the GPIB-ETHERNET
// gateway named in the registry (see gateway_config.h), programmed in the 8590-series language.
// Every function returns 0 (saInit: a handle > 0) or a negative status from status.h. Frequencies
// go to the analyzer in Hz ("HZ"), levels in dBm ("DM"), ratios in dB ("DB"), times in seconds ("SC").
//
//   saInit(address, reset)        address: 0 = the registry's AnalyzerAddress (18 unless set),
//                                 1..30 = that GPIB address. reset: 0 = keep the analyzer's state,
//                                 1 = instrument preset ("IP"). Clears the device and asks "ID?": an
//                                 analyzer that does not answer gives INSTR_ERR_TIMEOUT, a reply other
//                                 than "HP8593E" INSTR_ERR_IDENTITY, no handle either way.
//   saReset(h)                    instrument preset ("IP").
//   saClose(h)                    ends the session.
//   saFrequency(h, centre, step)  centre frequency ("CF") and its step size ("SS"): 5000000.0 is the
//                                 5 MHz channel spacing, so a step key moves one channel.
//   saSpan(h, mode, span)         mode 0 = the given span ("SP"), 1 = zero span ("SP 0HZ"; `span`
//                                 unused).
//   saConfigBandwidth(h, rbwManual, rbw, vbwManual, averaging, count, vbw, ratio)
//                                 rbwManual 1 = resolution bandwidth `rbw` Hz ("RB"), 0 = coupled
//                                 ("RB AUTO"); the video bandwidth ratio for coupled mode ("VBR");
//                                 vbwManual 1 = video bandwidth `vbw` Hz ("VB"), 0 = coupled ("VB AUTO");
//                                 averaging 0 = video averaging off ("VAVG OFF"), 1 = over `count`
//                                 sweeps ("VAVG <count>"). So 1, 1000000, 1, 0, 100, 3000, 0.3 is
//                                 RBW 1 MHz, VBW 3 kHz, no averaging (100 kept unused).
//   saConfigSweep(h, trigger, continuous, time)
//                                 trigger 0 free run, 1 video, 2 line, 3 external ("TM ...");
//                                 continuous 1 = continuous ("CONTS"), 0 = single ("SNGLS");
//                                 sweep time in seconds ("ST"), 0 = coupled ("ST AUTO").
//   saConfigMarkerPeak(h, excursion, threshold, track, reserved)
//                                 peak excursion in dB ("MKPX"); threshold 0 = none, else a
//                                 threshold in dBm ("MKPT"); track 0/1 = signal tracking off/on
//                                 ("MKTRACK"); reserved must be 0.
//   saConfigMarkerToFunction(h, marker, function)
//                                 makes marker 1..4 active ("MKACT") and applies: 4 = peak search
//                                 ("MKPK HI"), 6 = next peak left ("MKPK NL"), 7 = next peak right
//                                 ("MKPK NR"), 1 = marker to centre frequency ("MKCF").
//   saConfigMarkerActivation(h, marker, on)
//                                 on 1 = marker 1..4 on and active ("MKACT"), 0 = that marker off.
//   saAmplitude(h, atten, units, impedance, scale, dbPerDiv, detector, divisions, trace, offset)
//                                 atten 0 = automatic ("AT AUTO"), else dB; units 0 = dBm ("AUNITS
//                                 DBM"); impedance 0 = 50 ohm, 1 = 75 ohm ("INZ"); scale 1 = log at
//                                 dbPerDiv ("LG"), the only scale offered; detector 0 = positive peak,
//                                 1 = sample, 2 = negative peak ("DET"); divisions: the graticule
//                                 has 8, only 8 is accepted; trace 0 = clear-write ("CLRW TRA"),
//                                 1 = max hold ("MXMH TRA"); offset: reference level offset, dB
//                                 ("ROFFSET").
//   saAmplitudeLevel(h, ref, refUnits, r1, r2, mixer, r3, r4)
//                                 reference level `ref` ("RL"); refUnits 0 = dBm; mixer level
//                                 ("ML"); r1..r4 reserved, 0.
//   saActivateMarker(h, marker)   makes marker 1..4 active ("MKACT").
//   saReadMarkerAmplitude(h, &dbm)  the active marker's amplitude ("MKA?"); left alone on failure.
//   saDeactivateMarkers(h)        all markers off ("MKOFF ALL").
//   saWriteString(h, text)        the screen title ("TITLE@text@"); printable 8-bit text without
//                                 "@", up to 64 characters.
//   saErrorMessage(h, status, text, size)
//                                 what `status` means, as a sentence naming the analyzer (and the
//                                 gateway's address), into `text` (`size` bytes, terminated); returns
//                                 the sentence's full length. `h` may be the failed saInit's result.
//   saZoomReadPeak(h, &hz, &dbm)  peak search, marker to centre, then the marker's frequency and
//                                 amplitude ("MKPK HI", "MKCF", "MKF?", "MKA?").
#pragma once

#include <stdint.h>

#include "instruments/status.h"

#ifdef __cplusplus
extern "C" {
#endif

int saInit(int address, int reset);
int saReset(int handle);
int saClose(int handle);
int saFrequency(int handle, float centreHz, float stepHz);
int saSpan(int handle, int mode, float spanHz);
int saConfigBandwidth(int handle, int16_t rbwManual, int rbwHz, int16_t vbwManual, int16_t averaging, int16_t count,
                      int vbwHz, double vbwRatio);
int saConfigSweep(int handle, int trigger, int continuous, double sweepTimeS);
int saConfigMarkerPeak(int handle, double excursionDb, int threshold, int track, int reserved);
int saConfigMarkerToFunction(int handle, int marker, int function);
int saConfigMarkerActivation(int handle, int marker, int on);
int saAmplitude(int handle, int attenuation, int units, int impedance, int scale, double dbPerDiv, int detector,
                int divisions, int trace, int offsetDb);
int saAmplitudeLevel(int handle, double referenceDbm, int referenceUnits, int reserved1, int reserved2,
                     double mixerDbm, int reserved3, int reserved4);
int saActivateMarker(int handle, int marker);
int saReadMarkerAmplitude(int handle, double* dbm);
int saDeactivateMarkers(int handle);
int saWriteString(int handle, const char* text);
int saZoomReadPeak(int handle, double* hz, double* dbm);
int saErrorMessage(int handle, int status, char* text, int size);

#ifdef __cplusplus
}
#endif
