#include "dmi_database.h"

#include <fstream>
#include <optional>

#include "dmi/dmiapi.h"

namespace dmi {
namespace {

std::optional<std::string> readValue(const std::string& root, const std::string& file) {
    std::ifstream in(root + "/" + file);
    if (!in) return std::nullopt;
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' ')) line.pop_back();
    return line;
}

const std::vector<std::pair<std::int32_t, std::string>> kVerify = {
    {0, "An error occurred; check status code"}, {1, "This component does not exist"},
    {2, "Verification is not supported"},        {3, "Reserved"},
    {4, "This component exists, but the functionality is untested"},
    {5, "This component exists, but the functionality is unknown"},
    {6, "This component exists, and is not functioning correctly"},
    {7, "This component exists, and is functioning correctly"}};

const std::vector<std::pair<std::int32_t, std::string>> kChassisTypes = {
    {1, "Other"},  {2, "Unknown"},        {3, "Desktop"},   {4, "Low Profile Desktop"}, {6, "Mini Tower"},
    {7, "Tower"},  {8, "Portable"},       {9, "Laptop"},    {10, "Notebook"},           {17, "Main Server Chassis"},
    {23, "Rack Mount Chassis"}, {31, "Convertible"}};

struct Source {
    const char* name;
    const char* description;
    const char* file;  // nullptr: a value the provider keeps itself
    std::uint32_t type;
    std::uint32_t access;
    const std::vector<std::pair<std::int32_t, std::string>>* enumeration = nullptr;
};

Attribute makeAttribute(std::uint32_t id, const Source& s, const std::string& value) {
    Attribute a{id, s.name, s.description, s.access, s.type, {}, 0, {}};
    if (s.enumeration) a.enumeration = *s.enumeration;
    if (s.type == DMI_DATA_STRING || s.type == DMI_DATA_OCTET_STRING || s.type == DMI_DATA_DATE) {
        a.text = value;
    } else {
        try {
            a.number = std::stoll(value);
        } catch (...) {
            a.number = 0;
        }
    }
    return a;
}

// Adds a group with the attributes whose files exist; false when none does.
bool addGroup(Component& c, const std::string& root, std::uint32_t id, const char* name, const char* classString,
              const char* description, const std::vector<Source>& sources) {
    Group g{id, name, classString, description, {}};
    std::uint32_t attributeId = 0;
    for (const Source& s : sources) {
        ++attributeId;
        const auto value = readValue(root, s.file);
        if (value) g.attributes.push_back(makeAttribute(attributeId, s, *value));
    }
    if (g.attributes.empty()) return false;
    c.groups.push_back(std::move(g));
    return true;
}

}  // namespace

std::vector<Component> loadDatabase(const std::string& root) {
    struct Layout {
        const char* name;
        const char* description;
        std::vector<Source> identity;  // the ComponentID group
        const char* extraName;
        const char* extraClass;
        std::vector<Source> extra;
    };
    const std::vector<Layout> layouts = {
        {"System", "The computer system",
         {{"Manufacturer", "Maker of the system", "sys_vendor", DMI_DATA_STRING, DMI_READ_ONLY},
          {"Product", "Product name of the system", "product_name", DMI_DATA_STRING, DMI_READ_ONLY},
          {"Version", "Product version", "product_version", DMI_DATA_STRING, DMI_READ_ONLY},
          {"Serial Number", "Serial number of the system", "product_serial", DMI_DATA_STRING, DMI_READ_ONLY}},
         "System Identity", "VIREO|System Identity|001",
         {{"UUID", "Universal unique identifier", "product_uuid", DMI_DATA_OCTET_STRING, DMI_READ_ONLY},
          {"Family", "Product family", "product_family", DMI_DATA_STRING, DMI_READ_ONLY},
          {"SKU", "Stock-keeping unit", "product_sku", DMI_DATA_STRING, DMI_READ_ONLY}}},
        {"Baseboard", "The system board",
         {{"Manufacturer", "Maker of the board", "board_vendor", DMI_DATA_STRING, DMI_READ_ONLY},
          {"Product", "Board name", "board_name", DMI_DATA_STRING, DMI_READ_ONLY},
          {"Version", "Board version", "board_version", DMI_DATA_STRING, DMI_READ_ONLY},
          {"Serial Number", "Serial number of the board", "board_serial", DMI_DATA_STRING, DMI_READ_ONLY}},
         "Board Asset", "VIREO|Board Asset|001",
         {{"Asset Tag", "Asset tag of the board", "board_asset_tag", DMI_DATA_STRING, DMI_READ_ONLY}}},
        // The host names no firmware product, so the firmware's identity has none.
        {"BIOS", "The system firmware",
         {{"Manufacturer", "Maker of the firmware", "bios_vendor", DMI_DATA_STRING, DMI_READ_ONLY},
          {"Version", "Firmware version", "bios_version", DMI_DATA_STRING, DMI_READ_ONLY}},
         "BIOS Characteristics", "VIREO|BIOS Characteristics|001",
         {{"Release Date", "Date of the firmware release", "bios_date", DMI_DATA_DATE, DMI_READ_ONLY},
          {"Release", "Firmware release", "bios_release", DMI_DATA_STRING, DMI_READ_ONLY}}},
        {"Chassis", "The system enclosure",
         {{"Manufacturer", "Maker of the enclosure", "chassis_vendor", DMI_DATA_STRING, DMI_READ_ONLY},
          {"Version", "Enclosure version", "chassis_version", DMI_DATA_STRING, DMI_READ_ONLY},
          {"Serial Number", "Serial number of the enclosure", "chassis_serial", DMI_DATA_STRING, DMI_READ_ONLY}},
         "Chassis Type", "VIREO|Chassis Type|001",
         {{"Type", "Kind of enclosure", "chassis_type", DMI_DATA_INTEGER, DMI_READ_ONLY, &kChassisTypes},
          {"Asset Tag", "Asset tag of the enclosure", "chassis_asset_tag", DMI_DATA_STRING, DMI_READ_ONLY}}},
    };
    std::vector<Component> database;
    std::uint32_t componentId = 0;
    for (const Layout& layout : layouts) {
        Component c{++componentId, layout.name, layout.description, {}};
        if (!addGroup(c, root, 1, "ComponentID", "DMTF|ComponentID|001", "Identification of the component",
                      layout.identity)) {
            continue;  // the host tells nothing about it
        }
        // Verify: kept by the provider and writable, as management applications expect.
        Attribute verify{static_cast<std::uint32_t>(layout.identity.size() + 1), "Verify",
                         "State of the component", DMI_READ_WRITE, DMI_DATA_INTEGER, {}, 7, kVerify};
        c.groups[0].attributes.push_back(verify);
        addGroup(c, root, 2, layout.extraName, layout.extraClass, layout.extraName, layout.extra);
        database.push_back(std::move(c));
    }
    return database;
}

}  // namespace dmi
