#include "common/keyed_collection.h"

#include "common/text.h"

namespace direzo {

std::u16string variantTypeText(const VARIANT& v) {
    static const std::map<VARTYPE, const char*> names{
        {VT_EMPTY, "VT_EMPTY"},       {VT_NULL, "VT_NULL"},   {VT_R4, "VT_R4"},   {VT_R8, "VT_R8"},
        {VT_CY, "VT_CY"},             {VT_DATE, "VT_DATE"},   {VT_BSTR, "VT_BSTR (null)"},
        {VT_DISPATCH, "VT_DISPATCH"}, {VT_ERROR, "VT_ERROR"}, {VT_BOOL, "VT_BOOL"},
        {VT_VARIANT, "VT_VARIANT"},   {VT_UNKNOWN, "VT_UNKNOWN"}, {VT_I1, "VT_I1"},
        {VT_UI1, "VT_UI1"},           {VT_UI2, "VT_UI2"},     {VT_UI4, "VT_UI4"}, {VT_I8, "VT_I8"},
        {VT_UI8, "VT_UI8"},           {VT_INT, "VT_INT"},     {VT_UINT, "VT_UINT"}};
    const VARTYPE base = v.vt & VT_TYPEMASK;
    auto it = names.find(base);
    std::string text = it != names.end() ? it->second : "VT " + std::to_string(base);
    if (v.vt & VT_ARRAY) text += " array";
    return fromAnsi(text);
}

std::u16string lookupFailureText(const ItemLookup& lookup, const char* interfaceName) {
    switch (lookup.failure) {
    case ItemLookup::Failure::Index:
        return format("%s : Index %d not found or is an invalid index", interfaceName, int(lookup.index));
    case ItemLookup::Failure::Key:
        return format("%s : Key %s not found ", interfaceName, toAnsi(lookup.key).c_str());
    case ItemLookup::Failure::ArgumentType:
        return format("%s : Index %s argument type unknown", interfaceName, toAnsi(lookup.typeText).c_str());
    case ItemLookup::Failure::None:
        break;
    }
    return {};
}

}  // namespace direzo
