// Stand-in driver libraries for the bindings' tests: every function of both drivers, answering what
// the test set with fake_configure and counting the calls. Built as libfake_hp438a.so (only the
// power meter's functions), libfake_hp8593e.so and libfake_hp8593e_partial.so (without saSpan).
#include <cstdint>

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {
int setupStatus = 0;
int nextHandle = 1;
bool fixedAnalyzerHandle = false;  // else a new positive handle each time
int analyzerHandle = 0;
int closes = 0;
float lastFrequency = 0, lastStep = 0, lastSpan = 0;
int lastSpanMode = -1;
}  // namespace

// setup: what hp438a_setup returns; fixed: saInit returns `analyzer` rather than a fresh handle.
FAKE_EXPORT void fake_configure(int setup, int fixed, int analyzer) {
    setupStatus = setup;
    fixedAnalyzerHandle = fixed != 0;
    analyzerHandle = analyzer;
}
FAKE_EXPORT int fake_closes() { return closes; }
FAKE_EXPORT void fake_last_frequency(float* f, float* step, float* span, int* mode) {
    *f = lastFrequency, *step = lastStep, *span = lastSpan, *mode = lastSpanMode;
}

#ifdef FAKE_POWER_METER
FAKE_EXPORT int hp438a_init(int) { return nextHandle++; }
FAKE_EXPORT int hp438a_setup(int, int, int, int, int, int) { return setupStatus; }
FAKE_EXPORT int hp438a_measure(int, int, double* v) { return *v = -3.5, 0; }
FAKE_EXPORT int hp438a_cal_factor(int, double) { return 0; }
FAKE_EXPORT int hp438a_close(int) { return ++closes, 0; }
#else
FAKE_EXPORT int saInit(int, int) { return fixedAnalyzerHandle ? analyzerHandle : 100 + nextHandle++; }
FAKE_EXPORT int saClose(int) { return ++closes, 0; }
FAKE_EXPORT int saFrequency(int, float f, float step) {
    lastFrequency = f, lastStep = step;
    return 0x12345;  // a result wider than 16 bits
}
#ifndef FAKE_WITHOUT_SPAN
FAKE_EXPORT int saSpan(int, int mode, float span) {
    lastSpan = span, lastSpanMode = mode;
    return 7;
}
#endif
#endif
