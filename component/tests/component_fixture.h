// A scratch simulated bench with the component registered, and helpers to reach its objects
// the way a client does: by ProgID and through IDispatch.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "direzo/adapters.h"
#include "oleaut/comptr.h"
#include "oleaut/objbase.h"
#include "oleaut/oleauto.h"
#include "vireo/sim/bench_file.h"
#include "vireo/sim/testing/test_bench.h"

namespace direzo::testing {

class ComponentTest : public ::testing::Test {
protected:
    // The default bench, or the given bench text.
    explicit ComponentTest(std::optional<std::string> benchJson = std::nullopt);
    ~ComponentTest() override;

    vireo::sim::testing::TestBench& bench() { return *bench_; }
    // The installed bench as the simulator read it.
    vireo::sim::BenchSpec benchSpec() const { return vireo::sim::loadBench(bench_->benchFile()); }
    static HRESULT registerComponent();
    static HRESULT unregisterComponent();

    // Creates an object by ProgID and asks for the interface.
    template <class I>
    ComPtr<I> create(const char16_t* progId, HRESULT* status = nullptr) {
        ComPtr<I> out;
        CLSID clsid{};
        HRESULT hr = CLSIDFromProgID(progId, &clsid);
        if (SUCCEEDED(hr)) hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, I::iid, out.putVoid());
        if (status) *status = hr;
        return out;
    }

    ComPtr<IAdapters> adapters();
    // The adapter whose Enumerator is key (through Item).
    ComPtr<IAdapter> adapter(const char16_t* key);

private:
    std::optional<vireo::sim::testing::TestBench> bench_;
};

// The thread's error object, taken: description and source.
struct ErrorText {
    std::u16string description;
    std::u16string source;
};
std::optional<ErrorText> takeError();

VARIANT variantOf(LONG v);
VARIANT variantOf(const char16_t* text);  // the caller clears it

}  // namespace direzo::testing
