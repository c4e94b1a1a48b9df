// The members of a dispatch interface as its type information describes them: names, dispatch
// ids, invoke kinds and parameters (in, out, retval).
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "oleaut/oaidl.h"

namespace pyoleaut {

struct ParamInfo {
    std::u16string name;
    VARTYPE vt = VT_EMPTY;
    USHORT flags = PARAMFLAG_NONE;
    bool isOut() const { return (flags & PARAMFLAG_FOUT) != 0; }
    bool isRetval() const { return (flags & PARAMFLAG_FRETVAL) != 0; }
};

struct MemberInfo {
    std::u16string name;
    DISPID id = DISPID_UNKNOWN;
    INVOKEKIND kind = INVOKE_FUNC;
    std::vector<ParamInfo> params;
    bool hidden = false;
    std::u16string doc;

    std::size_t inCount() const;
    std::size_t outCount() const;
    // "Item(Index) -> pVal", "SetChannel(channelNo)", "Divide(a, b) -> (quotient, remainder)".
    std::u16string signature() const;
};

struct TypeMembers {
    std::u16string name;  // the interface's name
    std::u16string doc;
    IID iid{};
    std::vector<MemberInfo> members;  // in the order of the type information

    // Case-insensitive lookup of a member of the given kind; null when absent.
    const MemberInfo* find(std::u16string_view name, INVOKEKIND kind) const;
    const MemberInfo* findId(DISPID id) const;
    bool has(std::u16string_view name) const;
    // The visible members' names, each once, in type-information order.
    std::vector<std::u16string> names() const;
    // A listing of the interface and its members, for help().
    std::u16string describe() const;
};

// Reads (once per interface id, then from a cache) the members of a type.
std::shared_ptr<const TypeMembers> readTypeMembers(ITypeInfo* info);

}  // namespace pyoleaut
