// The PDR object: one production data record of a PDA collection, or one a client made itself.
#pragma once

#include <string>
#include <vector>

#include "direzo/subobjects.h"
#include "server/session_object.h"

namespace direzo {

class PDR final : public ComponentObject<PDR, IPDR> {
public:
    static constexpr const ClassDescriptor& kClass = kPDRClass;
    static const oleaut::InterfaceDesc& dispatchTable();

    HRESULT get_Code(SHORT* pVal) override;
    HRESULT get_Key(BSTR* pVal) override;
    HRESULT get_Length(SHORT* pVal) override;
    HRESULT get_Description(BSTR* pVal) override;
    HRESULT put_Description(BSTR newVal) override;
    HRESULT get_PDR(VARIANT* pVal) override;
    HRESULT put_PDR(VARIANT newVal) override;
    HRESULT put_ArrayOfUnsignedChar(VARIANT newVal) override;
    HRESULT setCode(SHORT newVal) override;
    HRESULT setKey(BSTR newVal) override;

    // For the PDA collection.
    WORD code() const { return code_; }
    WORD length() const { return length_; }
    const std::vector<BYTE>& data() const { return data_; }
    void setRecord(WORD code, const std::u16string& key, std::vector<BYTE> data);

private:
    HRESULT putBytes(const VARIANT& value);

    WORD code_ = 0;
    WORD length_ = 1;
    std::u16string key_;
    std::u16string description_;
    std::vector<BYTE> data_;
};

}  // namespace direzo
