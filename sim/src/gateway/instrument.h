// A simulated instrument on the bus: its language from a device file, its state, and the
// behaviour (power meter, spectrum analyzer) that connects its measurements to the RF path.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "device_file.h"
#include "vireo/sim/rf_emission.h"

namespace vireo::sim::gateway {

// What arrives at the instruments' input connectors.
class RfSource {
public:
    virtual ~RfSource() = default;
    virtual Emission emission() const = 0;
    virtual double lossDb() const = 0;
};

struct PropertyValue {
    double number = 0;
    std::string text;  // a text value, or a keyword such as AUTO in place of the number
};

class Behaviour;

class Instrument {
public:
    Instrument(DeviceDefinition definition, const RfSource& rf);
    ~Instrument();

    const DeviceDefinition& definition() const { return def_; }
    // One bus message from the controller.
    void receive(std::string_view message);
    // Addressed to talk: the pending reply, else what it sends unasked; nullopt: nothing to send.
    std::optional<std::string> talk();
    // Selected device clear: input and output buffers emptied.
    void clear();
    // Group execute trigger.
    void trigger();

    // The message units received so far (the oldest dropped beyond a few thousand).
    std::vector<std::string> received() const;
    void forgetReceived();

    // For behaviours.
    PropertyValue& property(const std::string& name);
    const PropertySpec* spec(const std::string& name) const;
    void resetProperties();
    void pushError(const std::string& code);
    const RfSource& rf() const { return rf_; }

private:
    enum class SetResult { Done, OutOfRange, Unreadable };
    bool known(std::string_view unit) const;
    // The codes of `unit`: itself, or the codes it strings together when the language allows that.
    std::vector<std::string> codesOf(const std::string& unit) const;
    void execute(const std::string& unit);
    SetResult setProperty(const PropertySpec& p, const std::string& value);
    std::string replyFor(const Dialogue& d);

    DeviceDefinition def_;
    const RfSource& rf_;
    std::unique_ptr<Behaviour> behaviour_;
    mutable std::mutex mutex_;
    std::map<std::string, PropertyValue> values_;
    std::deque<std::string> output_;
    std::deque<std::string> errors_;
    std::deque<std::string> received_;
};

// The measurement functions and actions a device file may name.
class Behaviour {
public:
    virtual ~Behaviour() = default;
    // nullopt: the function is unknown.
    virtual std::optional<double> value(Instrument& in, const std::string& function) = 0;
    // false: the action is unknown.
    virtual bool act(Instrument& in, const std::string& action) = 0;
    virtual void preset() {}
};

std::unique_ptr<Behaviour> makeBehaviour(const std::string& kind);

}  // namespace vireo::sim::gateway
