#include "text.h"

#include <new>

namespace pyoleaut {

std::u16string toUtf16(py::handle str) {
    py::object bytes = py::reinterpret_steal<py::object>(
        PyUnicode_AsEncodedString(str.ptr(), "utf-16-le", "surrogatepass"));
    if (!bytes) throw py::error_already_set();
    char* data = nullptr;
    Py_ssize_t size = 0;
    if (PyBytes_AsStringAndSize(bytes.ptr(), &data, &size) != 0) throw py::error_already_set();
    std::u16string out(std::size_t(size) / 2, u'\0');
    std::memcpy(out.data(), data, out.size() * 2);
    return out;
}

py::str toPython(std::u16string_view text) {
    int byteOrder = -1;  // little-endian, no byte-order mark expected
    PyObject* s = PyUnicode_DecodeUTF16(reinterpret_cast<const char*>(text.data()),
                                        Py_ssize_t(text.size() * 2), "surrogatepass", &byteOrder);
    if (!s) throw py::error_already_set();
    return py::reinterpret_steal<py::str>(s);
}

std::string toUtf8(std::u16string_view text) {
    py::gil_scoped_acquire gil;
    PyObject* s = PyUnicode_DecodeUTF16(reinterpret_cast<const char*>(text.data()),
                                        Py_ssize_t(text.size() * 2), "replace", nullptr);
    if (!s) {
        PyErr_Clear();
        return {};
    }
    py::str str = py::reinterpret_steal<py::str>(s);
    return PyUnicode_AsUTF8(str.ptr()) ? std::string(PyUnicode_AsUTF8(str.ptr())) : std::string();
}

std::u16string asciiText(std::string_view text) { return std::u16string(text.begin(), text.end()); }

bool sameName(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c - u'A' + u'a') : c; };
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i])) return false;
    return true;
}

BStr::BStr(std::u16string_view text) : s_(SysAllocStringLen(text.data(), UINT(text.size()))) {
    if (!s_) throw std::bad_alloc();
}

}  // namespace pyoleaut
