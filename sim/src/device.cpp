#include "vireo/sim/device.h"

#include <algorithm>
#include <cstring>

#include "adapter_memory.h"
#include "baseband.h"
#include "controller.h"
#include "ndisreq32/vireo_oids.h"
#include "noise.h"
#include "records.h"
#include "rf/rf_output.h"
#include "running_firmware.h"
#include "tallies.h"
#include "vireo/sim/clock.h"

namespace vireo::sim {

namespace {
WORD wordAt(const BYTE* p) { return WORD(p[0] | p[1] << 8); }
void putWord(BYTE* p, WORD w) {
    p[0] = BYTE(w);
    p[1] = BYTE(w >> 8);
}
constexpr std::uint32_t kMediumIeee8023 = 0;  // the driver presents the adapter as an Ethernet medium
}  // namespace

struct Device::Parts {
    Parts(AdapterSpec s, std::filesystem::path dir)
        : spec(std::move(s)),
          rf(spec, dir),
          memory(std::move(dir), factoryProductionArea(spec), spec.faults),
          firmware(spec.firmware),
          baseband(spec.baseband, seedOf(spec.key)),
          controller(baseband),
          records(spec) {
        for (const RecordSpec& r : spec.records) records.present(r.rid, r.words, r.lengthWord);
    }

    AdapterSpec spec;
    RfOutput rf;
    AdapterMemory memory;
    RunningFirmware firmware;
    Baseband baseband;
    Controller controller;
    Records records;
    Tallies tallies;
    std::int64_t lastUs = 0;

    std::int64_t now() const { return SimClock::instance().now().count(); }

    void powerOn() {
        controller.powerOn(spec.channel);
        baseband.reset();
        firmware.boot(memory);
        records.powerOn(memory.productionArea());
        tallies.clear();
        rf.switchOff(baseband);
        lastUs = now();
    }

    // Lets the counters follow what the adapter did since the last request.
    void catchUp() {
        const std::int64_t t = now();
        const ControllerState& c = controller.state();
        Activity a;
        a.transmitting = controller.transmitting();
        a.receiving = !c.asleep && (c.mode == TestMode::ContinuousRx || c.mode == TestMode::Monitor ||
                                    (c.mode == TestMode::Stopped && (c.portsEnabled & 1)));
        a.rateMbps = records.txRateMbps();
        a.stationsHeard = records.stationsOn(c.channel);
        tallies.run(a, double(t - lastUs) / 1e6);
        lastUs = t;
    }

    Records::View view() const { return Records::View{controller.state(), firmware.identity(), now()}; }

    NDIS_STATUS dispatch(ndis::Request& r);
    NDIS_STATUS command(ndis::Request& r);
    NDIS_STATUS record(ndis::Request& r);
    NDIS_STATUS memoryTransfer(ndis::Request& r, bool write);
    void cardReset();
};

Device::Device(AdapterSpec spec, std::filesystem::path stateDir, Journal& journal)
    : parts_(std::make_unique<Parts>(std::move(spec), std::move(stateDir))), journal_(journal) {
    parts_->powerOn();
}

Device::~Device() = default;

NDIS_STATUS Device::handle(ndis::Request& r) {
    std::lock_guard lock(mutex_);
    JournalEntry entry = journal_.blank();
    entry.adapterKey = parts_->spec.key;
    entry.type = r.type;
    entry.oid = r.oid;
    if (r.buffer) entry.in.assign(r.buffer, r.buffer + r.length);
    r.bytesTransferred = 0;
    r.bytesNeeded = 0;
    parts_->catchUp();
    const NDIS_STATUS status = parts_->dispatch(r);
    entry.status = status;
    entry.bytesTransferred = r.bytesTransferred;
    entry.bytesNeeded = r.bytesNeeded;
    if (r.buffer) {
        const DWORD n = r.type == NdisRequestQueryInformation ? std::min(r.bytesTransferred, r.length) : r.length;
        entry.out.assign(r.buffer, r.buffer + n);
    }
    journal_.record(std::move(entry));
    return status;
}

namespace {
// Checks the request type and the buffer size; a short buffer reports the size needed.
NDIS_STATUS expect(ndis::Request& r, DWORD type, DWORD minLength) {
    if (r.type != type) return NDIS_STATUS_NOT_SUPPORTED;
    if (r.length < minLength || (minLength && !r.buffer)) {
        r.bytesNeeded = minLength;
        return r.type == NdisRequestQueryInformation ? NDIS_STATUS_BUFFER_TOO_SHORT : NDIS_STATUS_INVALID_LENGTH;
    }
    return NDIS_STATUS_SUCCESS;
}
}  // namespace

NDIS_STATUS Device::Parts::dispatch(ndis::Request& r) {
    const auto& refused = spec.quirks.refusedOids;
    if (std::find(refused.begin(), refused.end(), r.oid) != refused.end()) return NDIS_STATUS_INVALID_OID;

    if (r.oid == OID_GEN_MEDIA_IN_USE || r.oid == OID_GEN_VENDOR_DRIVER_VERSION) {
        if (NDIS_STATUS s = expect(r, NdisRequestQueryInformation, 4)) return s;
        const DWORD v = r.oid == OID_GEN_MEDIA_IN_USE ? kMediumIeee8023 : spec.driverVersion;
        std::memcpy(r.buffer, &v, 4);
        r.bytesTransferred = 4;
        return NDIS_STATUS_SUCCESS;
    }
    if (!spec.vireo) return NDIS_STATUS_INVALID_OID;

    switch (r.oid) {
    case OID_VIREO_VELA_PROBE: {
        if (NDIS_STATUS s = expect(r, NdisRequestQueryInformation, 4)) return s;
        // Answers with the interface version it speaks (2.2).
        putWord(r.buffer, 2);
        putWord(r.buffer + 2, 2);
        r.bytesTransferred = 4;
        return NDIS_STATUS_SUCCESS;
    }
    case OID_VIREO_COMMAND:
        return command(r);
    case OID_VIREO_RECORD:
        return record(r);
    case OID_VIREO_PRODUCTION_DATA: {
        if (NDIS_STATUS s = expect(r, NdisRequestQueryInformation, kProductionDataBytes)) return s;
        std::memcpy(r.buffer, memory.productionArea().data(), kProductionDataBytes);
        r.bytesTransferred = kProductionDataBytes;
        return NDIS_STATUS_SUCCESS;
    }
    case OID_VIREO_MEMORY_ENABLE:
        if (NDIS_STATUS s = expect(r, NdisRequestSetInformation, 0)) return s;
        controller.state().memoryEnabled = true;
        return NDIS_STATUS_SUCCESS;
    case OID_VIREO_MEMORY_READ:
        return memoryTransfer(r, false);
    case OID_VIREO_MEMORY_WRITE:
        return memoryTransfer(r, true);
    case OID_VIREO_BLOCK_PROTOCOLS:
    case OID_VIREO_UNBLOCK_PROTOCOLS:
        if (NDIS_STATUS s = expect(r, NdisRequestSetInformation, 0)) return s;
        controller.state().protocolsBlocked = r.oid == OID_VIREO_BLOCK_PROTOCOLS;
        // Unblocking ends a download (one that failed; a good one ends with the card reset).
        if (r.oid == OID_VIREO_UNBLOCK_PROTOCOLS) memory.commit();
        return NDIS_STATUS_SUCCESS;
    case OID_VIREO_TALLIES: {
        if (NDIS_STATUS s = expect(r, NdisRequestQueryInformation, kTallyInfoBytes)) return s;
        const TallyInfo t = tallies.snapshot();
        std::memcpy(r.buffer, t.data(), kTallyInfoBytes);
        r.bytesTransferred = kTallyInfoBytes;
        return NDIS_STATUS_SUCCESS;
    }
    case OID_VIREO_CARD_RESET:
        if (NDIS_STATUS s = expect(r, NdisRequestSetInformation, kCardResetBytes)) return s;
        r.bytesTransferred = kCardResetBytes;
        cardReset();
        return NDIS_STATUS_SUCCESS;
    default:
        return NDIS_STATUS_INVALID_OID;
    }
}

NDIS_STATUS Device::Parts::command(ndis::Request& r) {
    if (r.type == NdisRequestQueryInformation && spec.quirks.commandQueryRefused) return NDIS_STATUS_INVALID_OID;
    if (r.length < kCommandBlockBytes || !r.buffer) {
        r.bytesNeeded = kCommandBlockBytes;
        return r.type == NdisRequestQueryInformation ? NDIS_STATUS_BUFFER_TOO_SHORT : NDIS_STATUS_INVALID_LENGTH;
    }
    if (r.type == NdisRequestSetInformation && spec.quirks.commandSetBytesNeeded) {
        r.bytesNeeded = spec.quirks.commandSetBytesNeeded;
        return NDIS_STATUS_SUCCESS;
    }
    CommandBlock block;
    for (std::size_t i = 0; i < 4; ++i) block[i] = wordAt(r.buffer + 2 * i);
    const WORD code = block[0];
    const auto& refusedCommands = spec.faults.refusedCommands;
    const bool refused = std::find(refusedCommands.begin(), refusedCommands.end(), code) != refusedCommands.end();
    if (refused) block = {cmdstatus::BadParameter, 0, 0, 0};
    const NDIS_STATUS s = refused ? NDIS_STATUS_FAILURE : controller.execute(block, now());
    rf.update(controller, baseband, s == NDIS_STATUS_SUCCESS && block[0] == cmdstatus::Ok && code == cmd::ContinuousTx);
    // The status word and the responses come back in the caller's block, for a set as well.
    for (std::size_t i = 0; i < 4; ++i) putWord(r.buffer + 2 * i, block[i]);
    r.bytesTransferred = kCommandBlockBytes;
    return s;
}

NDIS_STATUS Device::Parts::record(ndis::Request& r) {
    if (r.length < 4 || !r.buffer) {
        r.bytesNeeded = kRecordBufferBytes;
        return r.type == NdisRequestQueryInformation ? NDIS_STATUS_BUFFER_TOO_SHORT : NDIS_STATUS_INVALID_LENGTH;
    }
    const WORD rid = wordAt(r.buffer + 2);
    if (r.type == NdisRequestQueryInformation) {
        std::vector<WORD> data;
        WORD lengthWord = 0;
        if (NDIS_STATUS s = records.read(rid, data, lengthWord, view())) return s;
        // A record longer than the record buffer cannot be carried by any request.
        const DWORD bytes = DWORD(4 + 2 * data.size());
        if (bytes > kRecordBufferBytes) return NDIS_STATUS_INVALID_LENGTH;
        if (r.length < bytes) {
            r.bytesNeeded = bytes;
            return NDIS_STATUS_BUFFER_TOO_SHORT;
        }
        putWord(r.buffer, lengthWord);
        for (std::size_t i = 0; i < data.size(); ++i) putWord(r.buffer + 4 + 2 * i, data[i]);
        r.bytesTransferred = bytes;
        return NDIS_STATUS_SUCCESS;
    }
    const WORD length = wordAt(r.buffer);
    if (length < 1 || 4 + 2 * DWORD(length - 1) > r.length) return NDIS_STATUS_INVALID_DATA;
    std::vector<WORD> data(length - 1);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = wordAt(r.buffer + 4 + 2 * i);
    const auto& refusedWrites = spec.faults.refusedRecordWrites;
    if (std::find(refusedWrites.begin(), refusedWrites.end(), rid) != refusedWrites.end()) return NDIS_STATUS_FAILURE;
    if (NDIS_STATUS s = records.write(rid, data)) return s;
    r.bytesTransferred = DWORD(4 + 2 * data.size());
    return NDIS_STATUS_SUCCESS;
}

NDIS_STATUS Device::Parts::memoryTransfer(ndis::Request& r, bool write) {
    const DWORD type = write ? NdisRequestSetInformation : NdisRequestQueryInformation;
    if (NDIS_STATUS s = expect(r, type, kMemoryTransferHeader)) return s;
    if (!controller.state().memoryEnabled) return NDIS_STATUS_FAILURE;
    const std::uint32_t address = std::uint32_t(wordAt(r.buffer)) | std::uint32_t(wordAt(r.buffer + 2)) << 16;
    const WORD length = wordAt(r.buffer + 4);
    if (length > kMemoryTransferMax) return NDIS_STATUS_INVALID_DATA;
    if (NDIS_STATUS s = expect(r, type, kMemoryTransferHeader + length)) return s;
    BYTE* data = r.buffer + kMemoryTransferHeader;
    const NDIS_STATUS s = write ? memory.write(address, {data, length}) : memory.read(address, {data, length});
    if (s == NDIS_STATUS_SUCCESS) r.bytesTransferred = kMemoryTransferHeader + length;
    return s;
}

void Device::Parts::cardReset() {
    const unsigned resets = controller.state().cardResets + 1;
    memory.commit();  // what was flashed is committed before the controller boots from it
    powerOn();
    controller.state().cardResets = resets;
}

const AdapterSpec& Device::spec() const { return parts_->spec; }
const std::filesystem::path& Device::stateDir() const { return parts_->memory.stateDir(); }

ControllerState Device::controllerState() const {
    std::lock_guard lock(mutex_);
    return parts_->controller.state();
}

std::optional<WORD> Device::basebandRegister(std::string_view name) const {
    std::lock_guard lock(mutex_);
    return parts_->baseband.registerValue(name, parts_->controller.basebandContext(parts_->now()));
}

std::optional<std::vector<WORD>> Device::record(WORD rid) const {
    std::lock_guard lock(mutex_);
    std::vector<WORD> data;
    WORD lengthWord = 0;
    if (parts_->records.read(rid, data, lengthWord, parts_->view()) != NDIS_STATUS_SUCCESS) return std::nullopt;
    return data;
}

void Device::presentRecord(WORD rid, std::vector<WORD> data, std::optional<WORD> lengthWord) {
    std::lock_guard lock(mutex_);
    parts_->records.present(rid, std::move(data), lengthWord);
}

std::array<BYTE, 1024> Device::productionArea() const {
    std::lock_guard lock(mutex_);
    return parts_->memory.productionArea();
}

std::vector<BYTE> Device::memory(std::uint32_t address, std::size_t length) const {
    std::lock_guard lock(mutex_);
    std::vector<BYTE> out(length);
    if (parts_->memory.read(address, out) != NDIS_STATUS_SUCCESS) out.clear();
    return out;
}

std::array<std::int32_t, 44> Device::tallies() const {
    std::lock_guard lock(mutex_);
    parts_->catchUp();
    return parts_->tallies.snapshot();
}

WORD Device::firmwareBuildSequence() const {
    std::lock_guard lock(mutex_);
    return parts_->firmware.identity().buildSequence;
}

std::string Device::firmwareFileNames() const {
    std::lock_guard lock(mutex_);
    return parts_->firmware.identity().fileNames;
}

std::size_t Device::firmwarePagesInUse() const {
    std::lock_guard lock(mutex_);
    return parts_->memory.firmwarePagesInUse();
}

void Device::powerCycle() {
    std::lock_guard lock(mutex_);
    parts_->memory.commit();
    parts_->powerOn();
}

void Device::factoryReset() {
    std::lock_guard lock(mutex_);
    parts_->memory.factoryReset();
    parts_->powerOn();
}

}  // namespace vireo::sim
