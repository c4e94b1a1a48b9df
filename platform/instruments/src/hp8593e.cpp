// The HP 8593E spectrum analyzer's driver.
#include "instruments/hp8593e.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "gateway_link.h"
#include "reply_parse.h"
#include "session_table.h"
#include "status_text.h"

#define DRIVER_EXPORT extern "C" __attribute__((visibility("default")))

using namespace oru::instruments;

namespace {

SessionTable& sessions() {
    static SessionTable table;
    return table;
}

constexpr int kMaxTitle = 64;
// What the analyzer answers to "ID?".
constexpr const char* kModel = "HP8593E";

// "CF 2412000000HZ": a code, a number in the analyzer's free-field form and its unit.
std::string code(const char* name, double value, const char* unit) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%s %.10g%s", name, value, unit);
    return buf;
}

bool markerOk(int marker) { return marker >= 1 && marker <= 4; }

std::string activate(int marker) { return "MKACT " + std::to_string(marker); }

int readNumber(GatewayLink& link, const char* queryCode, double* out) {
    int status = INSTR_SUCCESS;
    const auto reply = link.query(queryCode, status);
    if (!reply) return status;
    const auto v = parseNumber(*reply);
    if (!v) return INSTR_ERR_REPLY;
    *out = *v;
    return INSTR_SUCCESS;
}

template <class F>
int onAnalyzer(int handle, F&& call) {
    return sessions().with(handle, call);
}

}  // namespace

DRIVER_EXPORT int saInit(int address, int reset) {
    if (address < 0 || address > 30 || reset < 0 || reset > 1) return INSTR_ERR_ARGUMENT;
    const GatewaySettings settings = readGatewaySettings();
    return sessions().open(address ? address : settings.analyzerAddress, settings, [&](GatewayLink& link) -> int {
        int status = link.clear();
        if (status != INSTR_SUCCESS) return status;
        const auto id = link.query("ID?", status);
        if (!id) return status;
        if (!namesModel(*id, kModel)) return INSTR_ERR_IDENTITY;
        return reset ? link.write("IP") : INSTR_SUCCESS;
    });
}

DRIVER_EXPORT int saReset(int handle) {
    return onAnalyzer(handle, [](GatewayLink& link) { return link.write("IP"); });
}

DRIVER_EXPORT int saClose(int handle) { return sessions().close(handle); }

DRIVER_EXPORT int saFrequency(int handle, float centreHz, float stepHz) {
    if (!(centreHz >= 0 && centreHz <= 22e9f) || !(stepHz > 0 && stepHz <= 22e9f)) return INSTR_ERR_ARGUMENT;
    return onAnalyzer(handle, [&](GatewayLink& link) {
        return link.writeAll({code("CF", centreHz, "HZ"), code("SS", stepHz, "HZ")});
    });
}

DRIVER_EXPORT int saSpan(int handle, int mode, float spanHz) {
    if (mode < 0 || mode > 1 || (mode == 0 && !(spanHz >= 0 && spanHz <= 22e9f))) return INSTR_ERR_ARGUMENT;
    return onAnalyzer(handle, [&](GatewayLink& link) { return link.write(code("SP", mode ? 0.0 : spanHz, "HZ")); });
}

DRIVER_EXPORT int saConfigBandwidth(int handle, int16_t rbwManual, int rbwHz, int16_t vbwManual, int16_t averaging,
                                    int16_t count, int vbwHz, double vbwRatio) {
    if (rbwManual < 0 || rbwManual > 1 || vbwManual < 0 || vbwManual > 1 || averaging < 0 || averaging > 1 ||
        (averaging && (count < 1 || count > 999)) || (rbwManual && (rbwHz < 1000 || rbwHz > 3000000)) ||
        (vbwManual && (vbwHz < 30 || vbwHz > 3000000)) || !(vbwRatio >= 0.003 && vbwRatio <= 3.0))
        return INSTR_ERR_ARGUMENT;
    return onAnalyzer(handle, [&](GatewayLink& link) {
        return link.writeAll({rbwManual ? code("RB", rbwHz, "HZ") : "RB AUTO", code("VBR", vbwRatio, ""),
                              vbwManual ? code("VB", vbwHz, "HZ") : "VB AUTO",
                              averaging ? "VAVG " + std::to_string(count) : "VAVG OFF"});
    });
}

DRIVER_EXPORT int saConfigSweep(int handle, int trigger, int continuous, double sweepTimeS) {
    static const char* const kTrigger[] = {"TM FREE", "TM VID", "TM LINE", "TM EXT"};
    if (trigger < 0 || trigger > 3 || continuous < 0 || continuous > 1 ||
        !(sweepTimeS == 0 || (sweepTimeS >= 0.02 && sweepTimeS <= 100)))
        return INSTR_ERR_ARGUMENT;
    return onAnalyzer(handle, [&](GatewayLink& link) {
        return link.writeAll({kTrigger[trigger], continuous ? "CONTS" : "SNGLS",
                              sweepTimeS == 0 ? "ST AUTO" : code("ST", sweepTimeS, "SC")});
    });
}

DRIVER_EXPORT int saConfigMarkerPeak(int handle, double excursionDb, int threshold, int track, int reserved) {
    if (!(excursionDb >= 0 && excursionDb <= 30) || threshold < -200 || threshold > 30 || track < 0 || track > 1 ||
        reserved != 0)
        return INSTR_ERR_ARGUMENT;
    return onAnalyzer(handle, [&](GatewayLink& link) {
        int s = link.write(code("MKPX", excursionDb, "DB"));
        if (s == INSTR_SUCCESS && threshold) s = link.write(code("MKPT", threshold, "DM"));
        if (s == INSTR_SUCCESS) s = link.write(track ? "MKTRACK ON" : "MKTRACK OFF");
        return s;
    });
}

DRIVER_EXPORT int saConfigMarkerToFunction(int handle, int marker, int function) {
    const char* op = function == 4 ? "MKPK HI" : function == 6 ? "MKPK NL" : function == 7 ? "MKPK NR"
                   : function == 1 ? "MKCF" : nullptr;
    if (!markerOk(marker) || !op) return INSTR_ERR_ARGUMENT;
    return onAnalyzer(handle, [&](GatewayLink& link) { return link.writeAll({activate(marker), op}); });
}

DRIVER_EXPORT int saConfigMarkerActivation(int handle, int marker, int on) {
    if (!markerOk(marker) || on < 0 || on > 1) return INSTR_ERR_ARGUMENT;
    return onAnalyzer(handle, [&](GatewayLink& link) {
        return on ? link.write(activate(marker)) : link.writeAll({activate(marker), "MKOFF"});
    });
}

DRIVER_EXPORT int saAmplitude(int handle, int attenuation, int units, int impedance, int scale, double dbPerDiv,
                              int detector, int divisions, int trace, int offsetDb) {
    static const char* const kDetector[] = {"DET POS", "DET SMP", "DET NEG"};
    if (attenuation < 0 || attenuation > 70 || units != 0 || impedance < 0 || impedance > 1 || scale != 1 ||
        !(dbPerDiv >= 0.1 && dbPerDiv <= 20) || detector < 0 || detector > 2 || divisions != 8 || trace < 0 ||
        trace > 1 || offsetDb < -100 || offsetDb > 100)
        return INSTR_ERR_ARGUMENT;
    return onAnalyzer(handle, [&](GatewayLink& link) {
        return link.writeAll({attenuation ? code("AT", attenuation, "DB") : "AT AUTO", "AUNITS DBM",
                              impedance ? "INZ 75" : "INZ 50", code("LG", dbPerDiv, "DB"), kDetector[detector],
                              trace ? "MXMH TRA" : "CLRW TRA", code("ROFFSET", offsetDb, "DB")});
    });
}

DRIVER_EXPORT int saAmplitudeLevel(int handle, double referenceDbm, int referenceUnits, int reserved1, int reserved2,
                                   double mixerDbm, int reserved3, int reserved4) {
    if (!(referenceDbm >= -120 && referenceDbm <= 30) || referenceUnits != 0 || reserved1 || reserved2 ||
        !(mixerDbm >= -80 && mixerDbm <= -10) || reserved3 || reserved4)
        return INSTR_ERR_ARGUMENT;
    return onAnalyzer(handle, [&](GatewayLink& link) {
        return link.writeAll({code("RL", referenceDbm, "DM"), code("ML", mixerDbm, "DM")});
    });
}

DRIVER_EXPORT int saActivateMarker(int handle, int marker) {
    if (!markerOk(marker)) return INSTR_ERR_ARGUMENT;
    return onAnalyzer(handle, [&](GatewayLink& link) { return link.write(activate(marker)); });
}

DRIVER_EXPORT int saReadMarkerAmplitude(int handle, double* dbm) {
    if (!dbm) return INSTR_ERR_ARGUMENT;
    return onAnalyzer(handle, [&](GatewayLink& link) { return readNumber(link, "MKA?", dbm); });
}

DRIVER_EXPORT int saDeactivateMarkers(int handle) {
    return onAnalyzer(handle, [](GatewayLink& link) { return link.write("MKOFF ALL"); });
}

DRIVER_EXPORT int saWriteString(int handle, const char* text) {
    if (!text) return INSTR_ERR_ARGUMENT;
    const std::string t(text);
    if (t.size() > kMaxTitle) return INSTR_ERR_ARGUMENT;
    for (unsigned char c : t)
        if (c < 0x20 || c == 0x7f || c == '@') return INSTR_ERR_ARGUMENT;
    return onAnalyzer(handle, [&](GatewayLink& link) { return link.write("TITLE@" + t + "@"); });
}

DRIVER_EXPORT int saZoomReadPeak(int handle, double* hz, double* dbm) {
    if (!hz || !dbm) return INSTR_ERR_ARGUMENT;
    return onAnalyzer(handle, [&](GatewayLink& link) {
        double f = 0, a = 0;
        int s = link.writeAll({"MKPK HI", "MKCF"});
        if (s == INSTR_SUCCESS) s = readNumber(link, "MKF?", &f);
        if (s == INSTR_SUCCESS) s = readNumber(link, "MKA?", &a);
        if (s == INSTR_SUCCESS) *hz = f, *dbm = a;
        return s;
    });
}

DRIVER_EXPORT int saErrorMessage(int handle, int status, char* text, int size) {
    std::string analyzer = "the spectrum analyzer";
    if (const int address = sessions().address(handle); address >= 0) analyzer += " at GPIB " + std::to_string(address);
    return copyText(statusText(status, analyzer), text, size);
}
