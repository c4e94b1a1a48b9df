#include "device_file.h"

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "data_file.h"

namespace vireo::sim::gateway {

using nlohmann::json;
namespace fs = std::filesystem;

namespace {

[[noreturn]] void fail(const std::string& where, const std::string& what) { throw DeviceFileError(where + ": " + what); }

const json& object(const json& j, const std::string& where) {
    if (!j.is_object()) fail(where, "expected an object");
    return j;
}

std::optional<std::string> optionalText(const json& j, const char* name, const std::string& where) {
    if (!j.contains(name) || j[name].is_null()) return std::nullopt;
    if (!j[name].is_string()) fail(where + "." + name, "expected a text");
    return j[name].get<std::string>();
}

std::string text(const json& j, const char* name, const std::string& where, std::string fallback = "") {
    return optionalText(j, name, where).value_or(std::move(fallback));
}

void allow(const json& j, std::initializer_list<const char*> names, const std::string& where) {
    for (const auto& [k, v] : j.items()) {
        bool known = false;
        for (const char* n : names) known = known || k == n;
        if (!known) fail(where + "." + k, "unknown field");
    }
}

Dialogue parseDialogue(const json& j, const std::string& where) {
    object(j, where);
    allow(j, {"q", "r", "function", "action"}, where);
    Dialogue d;
    if (!j.contains("q") || !j["q"].is_string() || j["q"].get<std::string>().empty()) fail(where + ".q", "expected a text");
    d.query = j["q"].get<std::string>();
    d.reply = optionalText(j, "r", where);
    d.function = text(j, "function", where);
    d.action = text(j, "action", where);
    if (!d.function.empty() && !d.reply) fail(where + ".r", "a function's value needs a reply format");
    return d;
}

double number(const json& j, const std::string& where) {
    if (!j.is_number()) fail(where, "expected a number");
    return j.get<double>();
}

PropertySpec parseProperty(const std::string& name, const json& j, const std::string& where) {
    object(j, where);
    allow(j, {"default", "getter", "setter", "specs", "on_set"}, where);
    PropertySpec p;
    p.name = name;
    if (j.contains("specs")) {
        const json& s = object(j["specs"], where + ".specs");
        allow(s, {"type", "min", "max", "valid", "units"}, where + ".specs");
        p.type = text(s, "type", where + ".specs", "float");
        if (p.type != "float" && p.type != "int" && p.type != "str") fail(where + ".specs.type", "expected float, int or str");
        if (s.contains("min")) p.min = number(s["min"], where + ".specs.min");
        if (s.contains("max")) p.max = number(s["max"], where + ".specs.max");
        if (s.contains("valid")) {
            if (!s["valid"].is_array()) fail(where + ".specs.valid", "expected a list of texts");
            for (const auto& v : s["valid"]) {
                if (!v.is_string()) fail(where + ".specs.valid", "expected a list of texts");
                p.valid.push_back(v.get<std::string>());
            }
        }
        if (s.contains("units")) {
            const json& u = object(s["units"], where + ".specs.units");
            for (const auto& [suffix, factor] : u.items()) p.units[suffix] = number(factor, where + ".specs.units." + suffix);
        }
    }
    if (j.contains("default")) {
        if (p.type == "str") {
            if (!j["default"].is_string()) fail(where + ".default", "expected a text");
            p.defaultText = j["default"].get<std::string>();
        } else if (j["default"].is_string()) {
            p.defaultText = j["default"].get<std::string>();  // a keyword such as AUTO
        } else {
            p.defaultNumber = number(j["default"], where + ".default");
        }
    }
    if (j.contains("getter")) {
        const json& g = object(j["getter"], where + ".getter");
        allow(g, {"q", "r"}, where + ".getter");
        p.getterQuery = optionalText(g, "q", where + ".getter");
        p.getterReply = optionalText(g, "r", where + ".getter");
        if (!p.getterQuery || !p.getterReply) fail(where + ".getter", "needs q and r");
    }
    if (j.contains("setter")) {
        const json& s = object(j["setter"], where + ".setter");
        allow(s, {"q"}, where + ".setter");
        p.setterQuery = optionalText(s, "q", where + ".setter");
        if (!p.setterQuery || p.setterQuery->find("{}") == std::string::npos) fail(where + ".setter.q", "expected a pattern with {}");
    }
    p.onSet = text(j, "on_set", where);
    return p;
}

std::optional<int> gpibAddress(const std::string& resource) {
    // GPIB0::18::INSTR
    const auto a = resource.find("::");
    if (a == std::string::npos) return std::nullopt;
    const auto b = resource.find("::", a + 2);
    const std::string n = resource.substr(a + 2, b == std::string::npos ? std::string::npos : b - a - 2);
    if (n.empty() || n.size() > 2 || n.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
    const int v = std::atoi(n.c_str());
    return v <= 30 ? std::optional<int>(v) : std::nullopt;
}

}  // namespace

DeviceDefinition parseDeviceFile(std::string_view text_, const std::string& where, const std::string& device) {
    const json root = json::parse(text_, nullptr, false);
    if (root.is_discarded()) fail(where, "not valid JSON");
    object(root, where);
    allow(root, {"spec", "devices", "resources"}, where);
    if (!root.contains("devices")) fail(where + ".devices", "missing");
    const json& devices = object(root["devices"], where + ".devices");
    if (devices.empty()) fail(where + ".devices", "no device");
    std::string name = device;
    if (name.empty()) {
        if (devices.size() != 1) fail(where + ".devices", "holds several devices; name one");
        name = devices.begin().key();
    }
    if (!devices.contains(name)) fail(where + ".devices", "no device \"" + name + "\"");
    const std::string at = where + ".devices." + name;
    const json& d = object(devices[name], at);
    allow(d, {"behaviour", "eom", "separators", "codes_run_together", "error", "dialogues", "properties", "talk"}, at);

    DeviceDefinition def;
    def.name = name;
    def.behaviour = text(d, "behaviour", at);
    if (!def.behaviour.empty() && def.behaviour != "power meter" && def.behaviour != "spectrum analyzer")
        fail(at + ".behaviour", "expected \"power meter\" or \"spectrum analyzer\"");
    def.separators = text(d, "separators", at, def.separators);
    if (def.separators.empty()) fail(at + ".separators", "must not be empty");
    if (d.contains("codes_run_together")) {
        if (!d["codes_run_together"].is_boolean()) fail(at + ".codes_run_together", "expected true or false");
        def.codesRunTogether = d["codes_run_together"].get<bool>();
    }
    if (d.contains("eom")) {
        const json& eom = object(d["eom"], at + ".eom");
        if (eom.contains("GPIB INSTR")) {
            const json& g = object(eom["GPIB INSTR"], at + ".eom.GPIB INSTR");
            def.replyTerminator = text(g, "r", at + ".eom.GPIB INSTR", def.replyTerminator);
        }
    }
    if (d.contains("error")) {
        const std::string ew = at + ".error";
        if (d["error"].is_string()) {
            def.error.commandErrorReply = d["error"].get<std::string>();
        } else {
            const json& e = object(d["error"], ew);
            allow(e, {"command_error", "error_queue"}, ew);
            def.error.commandErrorReply = optionalText(e, "command_error", ew);
            if (e.contains("error_queue")) {
                if (!e["error_queue"].is_array() || e["error_queue"].size() != 1) fail(ew + ".error_queue", "expected a list of one queue");
                const json& q = object(e["error_queue"][0], ew + ".error_queue[0]");
                allow(q, {"q", "default", "command_error", "range_error"}, ew + ".error_queue[0]");
                def.error.queueQuery = optionalText(q, "q", ew + ".error_queue[0]");
                if (!def.error.queueQuery) fail(ew + ".error_queue[0].q", "missing");
                def.error.queueEmpty = text(q, "default", ew, "0");
                def.error.commandErrorCode = text(q, "command_error", ew);
                def.error.rangeErrorCode = text(q, "range_error", ew);
            }
        }
    }
    if (d.contains("dialogues")) {
        if (!d["dialogues"].is_array()) fail(at + ".dialogues", "expected a list");
        for (std::size_t i = 0; i < d["dialogues"].size(); ++i)
            def.dialogues.push_back(parseDialogue(d["dialogues"][i], at + ".dialogues[" + std::to_string(i) + "]"));
    }
    if (d.contains("properties")) {
        const json& props = object(d["properties"], at + ".properties");
        for (const auto& [pname, pj] : props.items()) def.properties.push_back(parseProperty(pname, pj, at + ".properties." + pname));
    }
    if (d.contains("talk") && !d["talk"].is_null()) {
        json t = d["talk"];
        if (t.is_object() && !t.contains("q")) t["q"] = "(talk)";
        def.talk = parseDialogue(t, at + ".talk");
    }
    if (root.contains("resources")) {
        const json& res = object(root["resources"], where + ".resources");
        for (const auto& [resource, r] : res.items()) {
            if (!r.is_object() || !r.contains("device") || r["device"] != name) continue;
            def.defaultAddress = gpibAddress(resource);
            if (!def.defaultAddress) fail(where + ".resources." + resource, "expected a GPIB resource such as GPIB0::18::INSTR");
        }
    }
    return def;
}

DeviceDefinition loadDeviceFile(const fs::path& file, const std::string& device) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw DeviceFileError(file.string() + ": cannot be read");
    std::ostringstream s;
    s << in.rdbuf();
    return parseDeviceFile(s.str(), file.string(), device);
}

fs::path defaultDeviceFile(const std::string& model) {
    const std::string name = model == "HP 438A" ? "hp438a.json" : model == "HP 8593E" ? "hp8593e.json" : "";
    if (name.empty()) throw DeviceFileError("no device file for the instrument model \"" + model + "\"");
    if (const auto file = findDataFile("instruments", name)) return *file;
    throw DeviceFileError("the device file sim/instruments/" + name + " was not found");
}

}  // namespace vireo::sim::gateway
