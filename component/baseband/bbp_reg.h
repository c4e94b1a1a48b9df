// The BBPReg object: one baseband register. Value reads and writes the register on every access;
// nothing is cached.
#pragma once

#include <optional>
#include <string>

#include "baseband/baseband_family.h"
#include "direzo/subobjects.h"
#include "server/session_object.h"

namespace direzo {

class BBPReg final : public SessionObject<BBPReg, IBBPReg> {
public:
    static constexpr const ClassDescriptor& kClass = kBBPRegClass;
    static const oleaut::InterfaceDesc& dispatchTable();

    // What the collection knows of a register it lists.
    void describe(const RegisterInfo& info, LONG bbpType, LONG apiObj);

    HRESULT put_BBPType(LONG newVal) override;
    HRESULT get_Id(BSTR* pVal) override;
    HRESULT get_Key(BSTR* pVal) override;
    HRESULT get_No(LONG* pVal) override;
    HRESULT get_type(LONG* pVal) override;
    HRESULT get_Value(LONG* pVal) override;
    HRESULT put_Value(LONG newVal) override;
    HRESULT setType(LONG newVal) override;
    HRESULT setId(BSTR newVal) override;
    HRESULT setKey(BSTR newVal) override;
    HRESULT setNo(LONG newVal) override;

private:
    // A shadow register: Birch family, reached through the index and data registers.
    bool isShadow() const;
    // The register's bus address (the index value for a shadow register); nothing when the model
    // is in no family or the number has no 16-bit address.
    std::optional<WORD> address() const;
    std::optional<WORD> read(AdapterSession& session) const;
    bool write(AdapterSession& session, WORD value) const;

    std::u16string id_, key_;
    LONG no_ = 0;
    LONG type_ = 0;
    LONG bbpType_ = BBP_UNKNOWN;
};

}  // namespace direzo
