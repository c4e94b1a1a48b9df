#include "instrument.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "message_parser.h"

namespace vireo::sim::gateway {

namespace {
constexpr std::size_t kReceivedKept = 4096;
constexpr std::size_t kErrorsKept = 32;
constexpr std::size_t kOutputKept = 64;
constexpr std::size_t kMessageMax = 4096;
}  // namespace

Instrument::Instrument(DeviceDefinition definition, const RfSource& rf)
    : def_(std::move(definition)), rf_(rf), behaviour_(makeBehaviour(def_.behaviour)) {
    resetProperties();
}

Instrument::~Instrument() = default;

void Instrument::resetProperties() {
    values_.clear();
    for (const PropertySpec& p : def_.properties) values_[p.name] = PropertyValue{p.defaultNumber, p.defaultText};
    if (behaviour_) behaviour_->preset();
}

PropertyValue& Instrument::property(const std::string& name) { return values_[name]; }

const PropertySpec* Instrument::spec(const std::string& name) const {
    for (const PropertySpec& p : def_.properties)
        if (p.name == name) return &p;
    return nullptr;
}

void Instrument::pushError(const std::string& code) {
    if (code.empty()) return;
    if (errors_.size() >= kErrorsKept) errors_.pop_front();
    errors_.push_back(code);
}

void Instrument::receive(std::string_view message) {
    std::lock_guard lock(mutex_);
    if (message.size() > kMessageMax) {
        pushError(def_.error.commandErrorCode);
        return;
    }
    for (const std::string& unit : splitMessage(message, def_.separators)) {
        for (const std::string& code : codesOf(unit)) {
            if (received_.size() >= kReceivedKept) received_.pop_front();
            received_.push_back(code);
            execute(code);
        }
    }
}

bool Instrument::known(std::string_view unit) const {
    for (const Dialogue& d : def_.dialogues)
        if (equalsIgnoringCase(d.query, unit)) return true;
    if (def_.error.queueQuery && equalsIgnoringCase(*def_.error.queueQuery, unit)) return true;
    for (const PropertySpec& p : def_.properties)
        if ((p.getterQuery && equalsIgnoringCase(*p.getterQuery, unit)) || (p.setterQuery && matchPattern(*p.setterQuery, unit)))
            return true;
    return false;
}

std::vector<std::string> Instrument::codesOf(const std::string& unit) const {
    if (!def_.codesRunTogether || known(unit)) return {unit};
    // The longest code at each place: a fixed one, or a setter's text around a number.
    std::vector<std::string> codes;
    std::string_view rest = unit;
    while (!rest.empty()) {
        std::size_t best = 0;
        for (const Dialogue& d : def_.dialogues)
            if (d.query.size() > best && rest.size() >= d.query.size() && equalsIgnoringCase(rest.substr(0, d.query.size()), d.query))
                best = d.query.size();
        for (const PropertySpec& p : def_.properties) {
            if (!p.setterQuery) continue;
            const std::string& pattern = *p.setterQuery;
            const std::size_t field = pattern.find("{}");
            const std::string_view prefix = std::string_view(pattern).substr(0, field), suffix = std::string_view(pattern).substr(field + 2);
            if (rest.size() <= prefix.size() || !equalsIgnoringCase(rest.substr(0, prefix.size()), prefix)) continue;
            std::size_t n = prefix.size();
            if (n < rest.size() && (rest[n] == '+' || rest[n] == '-')) ++n;
            const std::size_t digits = n;
            while (n < rest.size() && (std::isdigit(static_cast<unsigned char>(rest[n])) || rest[n] == '.')) ++n;
            if (n == digits) continue;
            if (!suffix.empty()) {
                if (rest.size() < n + suffix.size() || !equalsIgnoringCase(rest.substr(n, suffix.size()), suffix)) continue;
                n += suffix.size();
            }
            best = std::max(best, n);
        }
        if (best == 0) return {unit};  // not codes run together: the unit as it came, refused as such
        codes.emplace_back(rest.substr(0, best));
        rest.remove_prefix(best);
    }
    return codes;
}

std::string Instrument::replyFor(const Dialogue& d) {
    if (!d.function.empty()) {
        const auto v = behaviour_ ? behaviour_->value(*this, d.function) : std::nullopt;
        return formatNumber(*d.reply, v.value_or(0.0));
    }
    return *d.reply;
}

void Instrument::execute(const std::string& unit) {
    auto queue = [&](std::string reply) {
        if (output_.size() >= kOutputKept) output_.pop_front();
        output_.push_back(std::move(reply) + def_.replyTerminator);
    };
    for (const Dialogue& d : def_.dialogues) {
        if (!equalsIgnoringCase(d.query, unit)) continue;
        if (!d.action.empty() && behaviour_) behaviour_->act(*this, d.action);
        if (d.reply) queue(replyFor(d));
        return;
    }
    if (def_.error.queueQuery && equalsIgnoringCase(*def_.error.queueQuery, unit)) {
        // Every code queued, oldest first, separated by commas; reading them empties the queue.
        std::string codes;
        for (const std::string& e : errors_) codes += (codes.empty() ? "" : ",") + e;
        errors_.clear();
        queue(codes.empty() ? def_.error.queueEmpty : codes);
        return;
    }
    for (const PropertySpec& p : def_.properties) {
        if (!p.getterQuery || !equalsIgnoringCase(*p.getterQuery, unit)) continue;
        const PropertyValue& v = values_[p.name];
        queue(p.type == "str" || !v.text.empty() ? formatText(*p.getterReply, v.text) : formatNumber(*p.getterReply, v.number));
        return;
    }
    for (const PropertySpec& p : def_.properties) {
        if (!p.setterQuery) continue;
        if (auto value = matchPattern(*p.setterQuery, unit)) {
            // A value out of range is the range error; one it cannot read (an unknown unit or
            // keyword) a command error. Either way the setting keeps its value.
            const SetResult r = setProperty(p, *value);
            if (r == SetResult::OutOfRange && !def_.error.rangeErrorCode.empty()) pushError(def_.error.rangeErrorCode);
            else if (r != SetResult::Done) pushError(def_.error.commandErrorCode);
            return;
        }
    }
    pushError(def_.error.commandErrorCode);
    if (def_.error.commandErrorReply && !def_.error.commandErrorReply->empty()) queue(*def_.error.commandErrorReply);
}

Instrument::SetResult Instrument::setProperty(const PropertySpec& p, const std::string& value) {
    PropertyValue v;
    if (p.type == "str") {
        if (!p.valid.empty() &&
            std::none_of(p.valid.begin(), p.valid.end(), [&](const std::string& w) { return equalsIgnoringCase(w, value); }))
            return SetResult::Unreadable;
        v.text = value;
        if (!p.valid.empty())
            for (const std::string& w : p.valid)
                if (equalsIgnoringCase(w, value)) v.text = w;
    } else {
        const auto keyword = std::find_if(p.valid.begin(), p.valid.end(), [&](const std::string& w) { return equalsIgnoringCase(w, value); });
        if (keyword != p.valid.end()) {
            v.text = *keyword;
        } else {
            const auto n = parseQuantity(value, p.units);
            if (!n) return SetResult::Unreadable;
            if ((p.min && *n < *p.min) || (p.max && *n > *p.max)) return SetResult::OutOfRange;
            if (p.type == "int" && *n != std::floor(*n)) return SetResult::OutOfRange;
            v.number = *n;
        }
    }
    values_[p.name] = v;
    if (!p.onSet.empty() && behaviour_) behaviour_->act(*this, p.onSet);
    return SetResult::Done;
}

std::optional<std::string> Instrument::talk() {
    std::lock_guard lock(mutex_);
    if (!output_.empty()) {
        std::string r = std::move(output_.front());
        output_.pop_front();
        return r;
    }
    if (def_.talk && def_.talk->reply) return replyFor(*def_.talk) + def_.replyTerminator;
    return std::nullopt;
}

void Instrument::clear() {
    std::lock_guard lock(mutex_);
    output_.clear();
}

void Instrument::trigger() {
    std::lock_guard lock(mutex_);
    if (behaviour_) behaviour_->act(*this, "trigger");
}

std::vector<std::string> Instrument::received() const {
    std::lock_guard lock(mutex_);
    return {received_.begin(), received_.end()};
}

void Instrument::forgetReceived() {
    std::lock_guard lock(mutex_);
    received_.clear();
}

}  // namespace vireo::sim::gateway
