#include <cstdio>

#include "dmi_access.h"

namespace airmeter {
namespace {

template <typename... Args>
std::string line(const char* pattern, Args... args) {
    const int size = std::snprintf(nullptr, 0, pattern, args...);
    std::string text(static_cast<std::size_t>(size), '\0');
    std::snprintf(text.data(), text.size() + 1, pattern, args...);
    return text;
}

std::string valueText(const DmiValue& value) {
    if (const auto* text = std::get_if<std::string>(&value)) return *text;
    return std::to_string(std::get<std::int64_t>(value));
}

// The text a command returns, or the provider's refusal of it in its place. A missing
// confirmation (DmiTimeout) still ends the walk: every further command would wait as long.
std::string textOrRefusal(const std::function<std::string()>& command) {
    try {
        return command();
    } catch (const DmiTimeout&) {
        throw;
    } catch (const DmiError& e) {
        return e.what();
    }
}

}  // namespace

void walkDmi(TDmiAccess& access, const std::function<void(const std::string&)>& addLine,
             const std::function<bool()>& stopped, const std::function<void()>& yield) {
    access.listComponents([&](std::uint32_t component, const std::string& name) {
        addLine("");
        addLine("---------------------------------------");
        addLine("");
        const std::string description = textOrRefusal([&] { return access.componentDescription(component); });
        addLine(line("CompId = %d Name = %s Desc = %s", static_cast<int>(component), name.c_str(), description.c_str()));
        yield();
        if (!stopped()) {
            access.listGroups(component, [&](std::uint32_t group, const std::string& groupName, const std::string& cls) {
                const std::string groupText = textOrRefusal([&] { return access.groupDescription(component, group); });
                addLine("");
                addLine(line("   GroupId = %d GroupName = %s ClassString = %s Desc = %s", static_cast<int>(group),
                             groupName.c_str(), cls.c_str(), groupText.c_str()));
                yield();
                if (!stopped()) {
                    access.listAttributes(component, group, [&](const DmiAttributeInfo& a) {
                        const std::string attributeText =
                            textOrRefusal([&] { return access.attributeDescription(component, group, a.id); });
                        addLine(line("      AttrId = %d AttrName = %s AttrAccess = %s AttrType = %s Desc = %s",
                                     static_cast<int>(a.id), a.name.c_str(), dmiAccessName(a.access),
                                     dmiTypeName(a.type), attributeText.c_str()));
                        addLine("----> " +
                                textOrRefusal([&] { return valueText(access.getAttribute(component, group, a.id)); }));
                        for (const DmiEnumValue& e : a.enumeration) {
                            addLine(line("         EnumValue = %d EnumName = %s", e.value, e.name.c_str()));
                        }
                        yield();
                        return !stopped();
                    });
                }
                return !stopped();
            });
        }
        return !stopped();
    });
}

}  // namespace airmeter
