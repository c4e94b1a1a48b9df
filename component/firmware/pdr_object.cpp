#include "firmware/pdr_object.h"

#include <algorithm>

#include "common/safe_arrays.h"
#include "common/text.h"

namespace direzo {

const oleaut::InterfaceDesc& PDR::dispatchTable() {
    static const oleaut::InterfaceDesc desc = dualInterface(
        u"IPDR", IPDR::iid,
        {
            oleaut::propget<&IPDR::get_Code>(u"Code"),
            oleaut::propget<&IPDR::get_Key>(u"Key"),
            oleaut::propget<&IPDR::get_Length>(u"Length"),
            oleaut::propget<&IPDR::get_Description>(u"Description"),
            oleaut::propput<&IPDR::put_Description>(u"Description"),
            oleaut::propget<&IPDR::get_PDR>(u"PDR"),
            oleaut::propput<&IPDR::put_PDR>(u"PDR"),
            oleaut::propput<&IPDR::put_ArrayOfUnsignedChar>(u"ArrayOfUnsignedChar"),
            oleaut::member<&IPDR::setCode>(u"setCode", INVOKE_FUNC, {u"newVal"}, false, 11),
            oleaut::member<&IPDR::setKey>(u"setKey", INVOKE_FUNC, {u"newVal"}, false, 12),
        });
    return desc;
}

void PDR::setRecord(WORD code, const std::u16string& key, std::vector<BYTE> data) {
    code_ = code;
    key_ = key;
    description_ = key;
    data_ = std::move(data);
    length_ = WORD(data_.size() / 2 + 1);
}

HRESULT PDR::get_Code(SHORT* pVal) {
    if (!pVal) return E_POINTER;
    *pVal = SHORT(code_);
    return S_OK;
}

HRESULT PDR::get_Key(BSTR* pVal) {
    return copyText(key_, pVal);
}

HRESULT PDR::get_Length(SHORT* pVal) {
    if (!pVal) return E_POINTER;
    *pVal = SHORT(length_);
    return S_OK;
}

HRESULT PDR::get_Description(BSTR* pVal) {
    return copyText(description_, pVal);
}

HRESULT PDR::put_Description(BSTR newVal) {
    description_ = fromBstr(newVal);
    return S_OK;
}

HRESULT PDR::get_PDR(VARIANT* pVal) { return byteArrayVariant(data_, pVal); }

// Only arrays of single bytes are taken: wider elements would be copied as loose bytes.
HRESULT PDR::putBytes(const VARIANT& value) {
    const auto elements = integerElements(value, {VT_UI1, VT_I1}, VT_UI1);
    if (!elements) return E_INVALIDARG;
    data_.assign(elements->size(), 0);
    std::transform(elements->begin(), elements->end(), data_.begin(), [](LONG v) { return BYTE(v); });
    length_ = WORD(data_.size() / 2 + 1);
    return S_OK;
}

HRESULT PDR::put_PDR(VARIANT newVal) { return putBytes(newVal); }

HRESULT PDR::put_ArrayOfUnsignedChar(VARIANT newVal) { return putBytes(newVal); }

HRESULT PDR::setCode(SHORT newVal) {
    code_ = WORD(newVal);
    return S_OK;
}

HRESULT PDR::setKey(BSTR newVal) {
    key_ = fromBstr(newVal);
    return S_OK;
}

}  // namespace direzo
