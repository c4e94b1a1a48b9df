// Test support for the component's MAC-control classes: one simulated adapter opened through an
// AdapterSession, the requests that reached it, and readers for the automation values the
// classes hand out.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "direzo/baseband.h"
#include "oleaut/comptr.h"
#include "oleaut/oleauto.h"
#include "transport/adapter_session.h"

namespace vireo::sim::testing {
class TestBench;
}

namespace direzo::testing {

// What the adapter under test is.
struct AdapterOptions {
    LONG baseband = BBP_BIRCH_B;
    bool commandQueryRefused = false;   // answers a query of the command OID as an invalid OID
    std::vector<NDIS_OID> refusedOids;  // answered as invalid OIDs
    std::vector<WORD> missingRecords;   // records the adapter does not answer

    AdapterOptions& model(LONG bbp) { baseband = bbp; return *this; }
    AdapterOptions& refuseCommandQuery() { commandQueryRefused = true; return *this; }
    AdapterOptions& refuse(NDIS_OID oid) { refusedOids.push_back(oid); return *this; }
    AdapterOptions& withoutRecord(WORD rid) { missingRecords.push_back(rid); return *this; }
};

// One request as the adapter saw it.
struct Request {
    DWORD type;
    NDIS_OID oid;
    std::vector<WORD> in;  // the payload's little-endian words as sent
    NDIS_STATUS status;
};

// The one adapter of a simulated bench, opened. Requests are counted from construction or the last
// mark(). One at a time: a new OpenAdapter replaces the bench of the previous one.
class OpenAdapter {
public:
    explicit OpenAdapter(const AdapterOptions& options = {});
    ~OpenAdapter();
    OpenAdapter(const OpenAdapter&) = delete;
    OpenAdapter& operator=(const OpenAdapter&) = delete;

    LONG apiHandle() const { return session_->apiHandle(); }
    // Forgets the session: objects holding its handle find nothing from now on.
    void release() { session_.reset(); }

    void mark();
    std::vector<Request> requests() const;
    std::vector<Request> requests(NDIS_OID oid) const;
    // Controller commands since mark(): (code, param0, param1) per request.
    std::vector<std::vector<WORD>> commands() const;

    // Gives a record these data words and, when given, reports this length word for it; false
    // when the simulated adapter cannot be set up so.
    bool setRecord(WORD rid, const std::vector<WORD>& words, std::optional<WORD> lengthWord = std::nullopt);
    // The tally counter as the adapter holds it now.
    LONG tally(std::size_t index) const;
    // The adapter's memory as it holds it now.
    std::vector<BYTE> memory(DWORD address, std::size_t length) const;
    // Lets simulated time pass (the bench's clock stands still otherwise).
    void advance(std::chrono::milliseconds time);

private:
    std::unique_ptr<vireo::sim::testing::TestBench> bench_;
    std::unique_ptr<AdapterSession> session_;
    std::size_t mark_ = 0;
};

// The thread's error description, and clears it ("" when there is none).
std::u16string takeErrorText();

// The elements of a one-dimensional safe array of the given element type, as integers; fails the
// test when the VARIANT is not such an array.
std::vector<LONG> arrayOf(const VARIANT& v, VARTYPE elementType);

// A VARIANT owning a one-dimensional array of `vt` elements with these values.
struct ArrayArg {
    ArrayArg(VARTYPE vt, const std::vector<LONG>& values);
    ~ArrayArg() { VariantClear(&v); }
    VARIANT v;
};

// A VARIANT that clears itself.
struct Var {
    Var() { VariantInit(&v); }
    ~Var() { VariantClear(&v); }
    VARIANT v;
};

// A BSTR that frees itself.
struct Text {
    explicit Text(std::u16string_view s) : b(SysAllocStringLen(s.data(), UINT(s.size()))) {}
    Text() = default;
    ~Text() { SysFreeString(b); }
    std::u16string str() const { return b ? std::u16string(b, SysStringLen(b)) : std::u16string(); }
    BSTR b = nullptr;
};

// Calls a member by name through IDispatch, as a late-bound script does (arguments in call order;
// a property put passes its value as the last argument). The result is left in *result.
HRESULT invoke(IDispatch* object, std::u16string_view name, WORD flags, std::vector<VARIANT> args, VARIANT* result);

// The members named, in this order, have the dispatch ids 1, 2, 3 ...
void expectSlotOrder(IDispatch* object, const std::vector<const char16_t*>& names);

VARIANT intIndex(LONG i);
VARIANT keyIndex(Text& key);

// The items of a collection's enumerator, each queried for I.
template <class I>
std::vector<ComPtr<I>> enumerate(IUnknown* enumerator) {
    std::vector<ComPtr<I>> items;
    ComPtr<IUnknown> holder = ComPtr<IUnknown>::attach(enumerator);
    ComPtr<IEnumVARIANT> e = holder.as<IEnumVARIANT>();
    if (!e) return items;
    VARIANT v;
    VariantInit(&v);
    ULONG fetched = 0;
    while (e->Next(1, &v, &fetched) == S_OK && fetched == 1) {
        ComPtr<I> item;
        if (v.vt == VT_DISPATCH && v.pdispVal) v.pdispVal->QueryInterface(I::iid, item.putVoid());
        items.push_back(item);
        VariantClear(&v);
    }
    return items;
}

}  // namespace direzo::testing
