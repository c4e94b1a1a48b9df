// The HP 438A power meter's driver.
#include "instruments/hp438a.h"

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

// The meter's identity request and the model its reply names.
constexpr const char* kIdentityQuery = "?ID";
constexpr const char* kModel = "HP438A";

DRIVER_EXPORT int hp438a_init(int address) {
    return sessions().open(address, readGatewaySettings(), [](GatewayLink& link) -> int {
        int status = link.clear();
        if (status != INSTR_SUCCESS) return status;
        const auto id = link.query(kIdentityQuery, status);
        if (id) return namesModel(*id, kModel) ? INSTR_SUCCESS : INSTR_ERR_IDENTITY;
        if (status != INSTR_ERR_TIMEOUT) return status;
        // Silence may be another instrument that does not take the meter's codes: one that
        // answers the common identity query is at the meter's address in its place.
        int other = INSTR_SUCCESS;
        return link.query("ID?", other) ? INSTR_ERR_IDENTITY : status;
    });
}

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

DRIVER_EXPORT int hp438a_error_message(int handle, int status, char* text, int size) {
    std::string meter = "the power meter";
    if (const int address = sessions().address(handle); address >= 0) meter += " at GPIB " + std::to_string(address);
    return copyText(statusText(status, meter), text, size);
}
