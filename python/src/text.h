// Text crossing between Python (str) and the automation runtime (UTF-16 and BSTR).
#pragma once

#include <pybind11/pybind11.h>

#include <string>
#include <string_view>

#include "oleaut/oleauto.h"

namespace pyoleaut {

namespace py = pybind11;

// Python str -> UTF-16 (lone surrogates pass through, as a BSTR may hold them).
std::u16string toUtf16(py::handle str);
// UTF-16 -> Python str.
py::str toPython(std::u16string_view text);
// UTF-16 -> UTF-8, for error messages built in C++.
std::string toUtf8(std::u16string_view text);
// ASCII text (names and messages built in C++) -> UTF-16.
std::u16string asciiText(std::string_view text);

// Case-insensitive comparison of member names (ASCII letters only, as identifiers are).
bool sameName(std::u16string_view a, std::u16string_view b);

// Owns one BSTR; null is an empty text.
class BStr {
public:
    BStr() = default;
    explicit BStr(std::u16string_view text);
    ~BStr() { SysFreeString(s_); }
    BStr(const BStr&) = delete;
    BStr& operator=(const BStr&) = delete;

    BSTR* put() {
        SysFreeString(s_);
        s_ = nullptr;
        return &s_;
    }
    BSTR get() const { return s_; }
    BSTR detach() {
        BSTR s = s_;
        s_ = nullptr;
        return s;
    }
    std::u16string_view view() const { return view(s_); }
    static std::u16string_view view(BSTR s) { return s ? std::u16string_view(s, SysStringLen(s)) : std::u16string_view(); }

private:
    BSTR s_ = nullptr;
};

}  // namespace pyoleaut
