#include "convert.h"

#include <cstdint>
#include <limits>
#include <string>

#include "dispatch_client.h"
#include "oleaut/oleauto.h"
#include "text.h"

namespace pyoleaut {

namespace {

[[noreturn]] void raise(PyObject* type, const std::string& message) {
    PyErr_SetString(type, message.c_str());
    throw py::error_already_set();
}

LONG toLong(py::handle value, std::string_view what) {
    int overflow = 0;
    const long long x = PyLong_AsLongLongAndOverflow(value.ptr(), &overflow);
    if (x == -1 && PyErr_Occurred()) throw py::error_already_set();
    if (overflow != 0 || x < std::numeric_limits<LONG>::min() || x > std::numeric_limits<LONG>::max())
        raise(PyExc_OverflowError, std::string(what) + ": " + std::string(py::str(value)) +
                                       " does not fit a 32-bit signed integer");
    return LONG(x);
}

// Owns a safe array until it is handed to a VARIANT.
struct SafeArrayHolder {
    SAFEARRAY* sa;
    ~SafeArrayHolder() {
        if (sa) SafeArrayDestroy(sa);
    }
};

void bytesToVariant(const char* data, std::size_t size, VARIANT& out) {
    SafeArrayHolder h{SafeArrayCreateVector(VT_UI1, 0, ULONG(size))};
    if (!h.sa) throw std::bad_alloc();
    void* p = nullptr;
    if (FAILED(SafeArrayAccessData(h.sa, &p))) throw std::bad_alloc();
    if (size) std::memcpy(p, data, size);
    SafeArrayUnaccessData(h.sa);
    out.vt = VT_ARRAY | VT_UI1;
    out.parray = std::exchange(h.sa, nullptr);
}

void intsToVariant(py::sequence items, VARIANT& out, std::string_view what) {
    const std::size_t n = items.size();
    std::vector<LONG> values(n);
    for (std::size_t i = 0; i < n; ++i) {
        py::object item = items[i];
        const std::string where = std::string(what) + " item " + std::to_string(i);
        if (!PyLong_Check(item.ptr()))
            raise(PyExc_TypeError, where + ": a list passed to a member must hold int only, not " +
                                       std::string(py::str(item.get_type().attr("__name__"))));
        values[i] = toLong(item, where);
    }
    SafeArrayHolder h{SafeArrayCreateVector(VT_I4, 0, ULONG(n))};
    if (!h.sa) throw std::bad_alloc();
    void* p = nullptr;
    if (FAILED(SafeArrayAccessData(h.sa, &p))) throw std::bad_alloc();
    if (n) std::memcpy(p, values.data(), n * sizeof(LONG));
    SafeArrayUnaccessData(h.sa);
    out.vt = VT_ARRAY | VT_I4;
    out.parray = std::exchange(h.sa, nullptr);
}

py::object dispatchOrNone(IUnknown* unk) {
    if (!unk) return py::none();
    ComPtr<IDispatch> disp;
    if (FAILED(unk->QueryInterface(IID_IDispatch, disp.putVoid())) || !disp)
        raise(PyExc_TypeError, "an object without IDispatch has no Python form");
    return wrapDispatch(std::move(disp));
}

// One element of an array of element type vt at p.
py::object elementToPython(VARTYPE vt, const void* p) {
    auto read = [p](auto sample) {
        decltype(sample) x;
        std::memcpy(&x, p, sizeof x);
        return x;
    };
    switch (vt) {
    case VT_I1: return py::int_(read(std::int8_t{}));
    case VT_UI1: return py::int_(read(std::uint8_t{}));
    case VT_I2: return py::int_(read(std::int16_t{}));
    case VT_UI2: return py::int_(read(std::uint16_t{}));
    case VT_I4: case VT_INT: case VT_ERROR: return py::int_(read(std::int32_t{}));
    case VT_UI4: case VT_UINT: return py::int_(read(std::uint32_t{}));
    case VT_I8: return py::int_(read(std::int64_t{}));
    case VT_UI8: return py::int_(read(std::uint64_t{}));
    case VT_R4: return py::float_(read(float{}));
    case VT_R8: return py::float_(read(double{}));
    case VT_BOOL: return py::bool_(read(VARIANT_BOOL{}) != VARIANT_FALSE);
    case VT_BSTR: return toPython(BStr::view(read(BSTR{})));
    case VT_DISPATCH: return dispatchOrNone(read(static_cast<IDispatch*>(nullptr)));
    case VT_UNKNOWN: return dispatchOrNone(read(static_cast<IUnknown*>(nullptr)));
    case VT_VARIANT: return fromVariant(*static_cast<const VARIANT*>(p));
    default:
        raise(PyExc_TypeError, "arrays of variant type " + std::to_string(vt) + " have no Python form");
    }
}

// The width of one element of an array of vt, or 0 for a type without a Python form.
std::size_t elementWidth(VARTYPE vt) {
    switch (vt) {
    case VT_I1: case VT_UI1: return 1;
    case VT_I2: case VT_UI2: case VT_BOOL: return 2;
    case VT_I4: case VT_INT: case VT_ERROR: case VT_UI4: case VT_UINT: case VT_R4: return 4;
    case VT_I8: case VT_UI8: case VT_R8: return 8;
    case VT_BSTR: case VT_DISPATCH: case VT_UNKNOWN: return sizeof(void*);
    case VT_VARIANT: return sizeof(VARIANT);
    default: return 0;
    }
}

py::object arrayToPython(VARTYPE elementType, SAFEARRAY* sa) {
    if (!sa) return py::none();
    if (SafeArrayGetDim(sa) != 1)
        raise(PyExc_TypeError, "arrays of " + std::to_string(SafeArrayGetDim(sa)) +
                                   " dimensions have no Python form");
    LONG lower = 0, upper = -1;
    SafeArrayGetLBound(sa, 1, &lower);
    SafeArrayGetUBound(sa, 1, &upper);
    const std::size_t n = upper >= lower ? std::size_t(upper - lower + 1) : 0;
    const std::size_t size = SafeArrayGetElemsize(sa);
    // Elements are read at the width the VARIANT's type names: an array of other elements would be
    // read past its end.
    if (const std::size_t width = elementWidth(elementType); width != 0 && size != width)
        raise(PyExc_TypeError, "an array of variant type " + std::to_string(elementType) + " holds elements of " +
                                   std::to_string(size) + " bytes, not " + std::to_string(width));
    void* data = nullptr;
    if (FAILED(SafeArrayAccessData(sa, &data))) raise(PyExc_RuntimeError, "the array cannot be read");
    struct Unaccess {
        SAFEARRAY* sa;
        ~Unaccess() { SafeArrayUnaccessData(sa); }
    } unaccess{sa};
    if (elementType == VT_UI1) return py::bytes(static_cast<const char*>(data), n);
    py::list out(n);
    for (std::size_t i = 0; i < n; ++i)
        out[i] = elementToPython(elementType, static_cast<const char*>(data) + i * size);
    return out;
}

}  // namespace

void toVariant(py::handle value, VARIANT& out, std::string_view what) {
    if (value.is_none()) {
        out.vt = VT_EMPTY;
    } else if (py::isinstance<DispatchClient>(value)) {
        IDispatch* disp = value.cast<const DispatchClient&>().get();
        disp->AddRef();
        out.vt = VT_DISPATCH;
        out.pdispVal = disp;
    } else if (PyBool_Check(value.ptr())) {
        out.vt = VT_BOOL;
        out.boolVal = value.ptr() == Py_True ? VARIANT_TRUE : VARIANT_FALSE;
    } else if (PyLong_Check(value.ptr())) {
        out.lVal = toLong(value, what);
        out.vt = VT_I4;
    } else if (PyFloat_Check(value.ptr())) {
        out.vt = VT_R8;
        out.dblVal = PyFloat_AsDouble(value.ptr());
    } else if (PyUnicode_Check(value.ptr())) {
        out.bstrVal = BStr(toUtf16(value)).detach();
        out.vt = VT_BSTR;
    } else if (PyBytes_Check(value.ptr())) {
        bytesToVariant(PyBytes_AS_STRING(value.ptr()), std::size_t(PyBytes_GET_SIZE(value.ptr())), out);
    } else if (PyByteArray_Check(value.ptr())) {
        bytesToVariant(PyByteArray_AS_STRING(value.ptr()), std::size_t(PyByteArray_GET_SIZE(value.ptr())), out);
    } else if (PyList_Check(value.ptr()) || PyTuple_Check(value.ptr())) {
        intsToVariant(py::reinterpret_borrow<py::sequence>(value), out, what);
    } else {
        raise(PyExc_TypeError,
              std::string(what) + ": values of type " + std::string(py::str(value.get_type().attr("__name__"))) +
                  " have no automation form (pass None, bool, int, float, str, bytes, a list of int "
                  "or a Dispatch object)");
    }
}

py::object fromVariant(const VARIANT& v) {
    if (v.vt & VT_BYREF) {
        const VARTYPE base = VARTYPE(v.vt & ~VT_BYREF);
        if (!v.byref) return py::none();
        if (base == VT_VARIANT) return fromVariant(*v.pvarVal);
        if (base & VT_ARRAY) return arrayToPython(VARTYPE(base & VT_TYPEMASK), *v.pparray);
        return elementToPython(base, v.byref);
    }
    if (v.vt & VT_ARRAY) return arrayToPython(VARTYPE(v.vt & VT_TYPEMASK), v.parray);
    switch (v.vt) {
    case VT_EMPTY: case VT_NULL: return py::none();
    case VT_DISPATCH: return dispatchOrNone(v.pdispVal);
    case VT_UNKNOWN: return dispatchOrNone(v.punkVal);
    case VT_VARIANT: raise(PyExc_TypeError, "a VARIANT cannot hold a VARIANT by value");
    default: return elementToPython(v.vt, &v.llVal);
    }
}

}  // namespace pyoleaut
