#include "rf_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "../baseband.h"
#include "../controller.h"

namespace vireo::sim {

namespace {
bool sameRadiation(const Emission& a, const Emission& b) {
    return a.transmitting == b.transmitting && a.channel == b.channel && a.txPowerControl == b.txPowerControl &&
           a.narrowFilter == b.narrowFilter;
}

// Replaces the file atomically; the emission is volatile state, so it is not synced to disk.
bool replaceFile(const std::filesystem::path& path, const std::string& content) {
    std::error_code ec;
    std::filesystem::create_directories(path.parent_path(), ec);
    std::string tmp = path.string() + ".XXXXXX";
    const int fd = ::mkstemp(tmp.data());
    if (fd < 0) return false;
    bool ok = ::fchmod(fd, 0644) == 0;
    for (std::size_t done = 0; ok && done < content.size();) {
        const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        if (ok) done += std::size_t(n);
    }
    ok = (::close(fd) == 0) && ok;
    if (!ok || ::rename(tmp.c_str(), path.c_str()) != 0) {
        ::unlink(tmp.c_str());
        return false;
    }
    return true;
}
}  // namespace

RfOutput::RfOutput(const AdapterSpec& spec, std::filesystem::path stateDir)
    : spec_(spec), file_(emissionFile(stateDir)) {}

RfOutput::~RfOutput() {
    if (published_ && current_.transmitting) publish(Emission{});
}

void RfOutput::update(const Controller& controller, Baseband& baseband, bool txStarted) {
    Emission next;
    if (controller.transmitting()) {
        if (txStarted || !latchedPowerControl_) latchedPowerControl_ = baseband.txPowerControl();
        next = modelEmission(spec_, controller.state().channel, *latchedPowerControl_, baseband.narrowFilter());
    } else {
        latchedPowerControl_.reset();
    }
    baseband.setTransmitOutput(next.transmitting ? std::optional<double>(next.outputDbm) : std::nullopt);
    if (published_ && sameRadiation(next, current_)) return;
    publish(next);
}

void RfOutput::switchOff(Baseband& baseband) {
    latchedPowerControl_.reset();
    baseband.setTransmitOutput(std::nullopt);
    std::error_code ec;
    if (published_ ? !current_.transmitting : !std::filesystem::exists(file_, ec)) return;
    publish(Emission{});
}

void RfOutput::publish(const Emission& e) {
    current_ = e;
    current_.sequence = ++sequence_;
    current_.publisher = long(::getpid());
    // A state folder that cannot be written leaves the instruments seeing the previous emission;
    // the adapter itself carries on.
    published_ = replaceFile(file_, emissionToJson(current_)) || published_;
}

}  // namespace vireo::sim
