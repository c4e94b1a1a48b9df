// The Rid object: one configuration record, read and written whole on every access and shown as
// words, bytes, 16-bit integers or a counted text.
#pragma once

#include <span>
#include <string>

#include "direzo/subobjects.h"
#include "server/session_object.h"
#include "transport/adapter_session.h"

namespace direzo {

class Rid final : public SessionObject<Rid, IRid> {
public:
    static constexpr const ClassDescriptor& kClass = kRidClass;
    static const oleaut::InterfaceDesc& dispatchTable();

    // What the collection knows of a record it found: its number, as id, key and name in
    // upper-case hexadecimal, and the length word it answered with.
    void describe(WORD no, WORD length, LONG apiObj);

    HRESULT get_type(LONG* pVal) override;
    HRESULT get_Id(BSTR* pVal) override;
    HRESULT setId(BSTR newVal) override;
    HRESULT get_Key(BSTR* pVal) override;
    HRESULT setKey(BSTR newVal) override;
    HRESULT get_No(LONG* pVal) override;
    HRESULT setNo(LONG newVal) override;
    HRESULT get_Length(LONG* pVal) override;
    HRESULT setLength(LONG newVal) override;
    HRESULT get_Name(BSTR* pVal) override;
    HRESULT put_Name(BSTR newVal) override;
    HRESULT get_RidAsByteArray(VARIANT* pVal) override;
    HRESULT put_RidAsByteArray(VARIANT newVal) override;
    HRESULT get_RidStringValue(BSTR* pVal) override;
    HRESULT put_RidStringValue(BSTR newVal) override;
    HRESULT get_RidAsIntArray(VARIANT* pVal) override;
    HRESULT put_RidAsIntArray(VARIANT newVal) override;
    HRESULT GetAsInteger(LONG Index, LONG* pVal) override;
    HRESULT SetAsInteger(LONG Index, LONG newVal) override;

private:
    // Reads the record and caches its length word; the driver's status.
    NDIS_STATUS read(AdapterSession& session, RecordBuffer& buffer);
    // The record's data words after a successful read; none when the read failed or the length
    // word claims more than the buffer holds.
    std::span<const WORD> readData(AdapterSession& session, RecordBuffer& buffer);
    // Writes the cached length, the record number and `data` (exactly the record's data words).
    HRESULT writeData(AdapterSession& session, std::span<const WORD> data);

    std::u16string id_, key_, name_;
    WORD no_ = 0;
    WORD length_ = 0;
};

}  // namespace direzo
