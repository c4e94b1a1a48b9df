// The HP 438A power meter's driver.
#include "instruments/hp438a.h"

#include <cstdio>
#include <string>

#include "gateway_link.h"
#include "reply_parse.h"
#include "session_table.h"

#define DRIVER_EXPORT extern "C" __attribute__((visibility("default")))

using namespace oru::instruments;

namespace {

SessionTable& sessions() {
    static SessionTable table;
    return table;
}

int readPower(GatewayLink& link, double* value) {
    int status = INSTR_SUCCESS;
    const auto reply = link.query("TR2", status);
    if (!reply) return status;
    const auto dbm = parsePowerReading(*reply);
    if (!dbm) return INSTR_ERR_REPLY;
    *value = *dbm;
    return INSTR_SUCCESS;
}

std::string calFactorCode(double percent) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "KB%gEN", percent);
    return buf;
}

}  // namespace

DRIVER_EXPORT int hp438a_init(int address) { return sessions().open(address, readGatewaySettings()); }

DRIVER_EXPORT int hp438a_setup(int handle, int sensor, int units, int trigger, int calFactor, int zero) {
    if (sensor < 0 || sensor > 1 || units < 0 || units > 1 || trigger < 0 || trigger > 1 || calFactor < 0 ||
        calFactor > 150 || zero < 0 || zero > 1)
        return INSTR_ERR_ARGUMENT;
    return sessions().with(handle, [&](GatewayLink& link) {
        int s = link.writeAll({"PR", sensor ? "BP" : "AP", units ? "LN" : "LG",
                                calFactorCode(calFactor ? calFactor : 100)});
        if (s == INSTR_SUCCESS && zero) s = link.write("ZE");
        // A reading proves the meter is at its address and answering.
        double reading = 0;
        if (s == INSTR_SUCCESS) s = readPower(link, &reading);
        if (s == INSTR_SUCCESS) s = link.write(trigger ? "TR0" : "TR3");
        return s;
    });
}

DRIVER_EXPORT int hp438a_measure(int handle, int channel, double* value) {
    if (!value || channel < 0 || channel > 2) return INSTR_ERR_ARGUMENT;
    return sessions().with(handle, [&](GatewayLink& link) {
        if (channel) {
            if (const int s = link.write(channel == 1 ? "AP" : "BP"); s != INSTR_SUCCESS) return s;
        }
        return readPower(link, value);
    });
}

DRIVER_EXPORT int hp438a_cal_factor(int handle, double percent) {
    if (!(percent >= 1.0 && percent <= 150.0)) return INSTR_ERR_ARGUMENT;
    return sessions().with(handle, [&](GatewayLink& link) { return link.write(calFactorCode(percent)); });
}

DRIVER_EXPORT int hp438a_close(int handle) { return sessions().close(handle); }
