// The host's identity (the files of /sys/class/dmi/id, or of $ORU_DMI_ROOT) as DMI components,
// groups and attributes.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace dmi {

struct Attribute {
    std::uint32_t id;
    std::string name;
    std::string description;
    std::uint32_t access;
    std::uint32_t type;
    std::string text;          // string types
    std::int64_t number = 0;   // number types
    std::vector<std::pair<std::int32_t, std::string>> enumeration;
};

struct Group {
    std::uint32_t id;
    std::string name;
    std::string classString;
    std::string description;
    std::vector<Attribute> attributes;
};

struct Component {
    std::uint32_t id;
    std::string name;
    std::string description;
    std::vector<Group> groups;
};

std::vector<Component> loadDatabase(const std::string& root);

}  // namespace dmi
