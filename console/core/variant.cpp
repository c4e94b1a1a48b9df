#include "variant.h"

#include "automation_error.h"
#include <cstring>

#include "oleaut/oleauto.h"

namespace kestview {

namespace {

[[noreturn]] void conversionFailed(HRESULT hr, const QString& what, const char* expected) {
    throw AutomationError(hr, QString::fromUtf16(kConsoleSource),
                          what + QStringLiteral(": the component answered a value that is not ") + expected);
}

// The array a VARIANT holds (directly or by reference), or null.
SAFEARRAY* arrayOf(const VARIANT& v) {
    if (!(v.vt & VT_ARRAY)) return nullptr;
    if (v.vt & VT_BYREF) return v.pparray ? *v.pparray : nullptr;
    return v.parray;
}

// Runs fn(element pointer, element type, count) over the array's data.
template <class Fn>
void readArray(SAFEARRAY* sa, const QString& what, Fn fn) {
    VARTYPE vt = VT_EMPTY;
    LONG lo = 0, hi = -1;
    if (SafeArrayGetDim(sa) != 1 || FAILED(SafeArrayGetVartype(sa, &vt)) || FAILED(SafeArrayGetLBound(sa, 1, &lo)) ||
        FAILED(SafeArrayGetUBound(sa, 1, &hi)))
        conversionFailed(DISP_E_TYPEMISMATCH, what, "a one-dimensional array");
    void* data = nullptr;
    if (FAILED(SafeArrayAccessData(sa, &data))) conversionFailed(DISP_E_TYPEMISMATCH, what, "a readable array");
    const std::size_t count = hi >= lo ? std::size_t(hi - lo + 1) : 0;
    try {
        fn(data, vt, count);
    } catch (...) {
        SafeArrayUnaccessData(sa);
        throw;
    }
    SafeArrayUnaccessData(sa);
}

}  // namespace

Bstr::Bstr(const QString& text) : b_(SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.utf16()), UINT(text.size()))) {}
Bstr::~Bstr() { SysFreeString(b_); }

QString toQString(BSTR b) { return b ? QString::fromUtf16(b, SysStringLen(b)) : QString(); }

Variant::Variant() { VariantInit(&v_); }
Variant::~Variant() { VariantClear(&v_); }
Variant::Variant(const Variant& o) {
    VariantInit(&v_);
    VariantCopy(&v_, &o.v_);
}
Variant::Variant(Variant&& o) noexcept : v_(o.v_) { VariantInit(&o.v_); }
Variant& Variant::operator=(Variant o) noexcept {
    std::swap(v_, o.v_);
    return *this;
}

Variant Variant::fromLong(qint32 v) {
    Variant r;
    r.v_.vt = VT_I4;
    r.v_.lVal = v;
    return r;
}
Variant Variant::fromShort(qint16 v) {
    Variant r;
    r.v_.vt = VT_I2;
    r.v_.iVal = v;
    return r;
}
Variant Variant::fromBool(bool v) {
    Variant r;
    r.v_.vt = VT_BOOL;
    r.v_.boolVal = v ? VARIANT_TRUE : VARIANT_FALSE;
    return r;
}
Variant Variant::fromString(const QString& s) {
    Variant r;
    r.v_.vt = VT_BSTR;
    r.v_.bstrVal = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(s.utf16()), UINT(s.size()));
    return r;
}
Variant Variant::fromBytes(const QByteArray& b) {
    Variant r;
    SAFEARRAY* sa = SafeArrayCreateVector(VT_UI1, 0, ULONG(b.size()));
    void* data = nullptr;
    if (sa && SUCCEEDED(SafeArrayAccessData(sa, &data))) {
        if (!b.isEmpty()) std::memcpy(data, b.constData(), std::size_t(b.size()));
        SafeArrayUnaccessData(sa);
    }
    r.v_.vt = VT_ARRAY | VT_UI1;
    r.v_.parray = sa;
    return r;
}
Variant Variant::fromIntegers(const std::vector<qint32>& values, VARTYPE vt) {
    Variant r;
    SAFEARRAY* sa = SafeArrayCreateVector(vt, 0, ULONG(values.size()));
    for (std::size_t i = 0; sa && i < values.size(); ++i) {
        LONG index = LONG(i);
        qint16 shortValue = qint16(values[i]);
        qint32 longValue = values[i];
        SafeArrayPutElement(sa, &index, vt == VT_I2 ? static_cast<void*>(&shortValue) : static_cast<void*>(&longValue));
    }
    r.v_.vt = VT_ARRAY | vt;
    r.v_.parray = sa;
    return r;
}

qint32 Variant::toLong(const QString& what) const {
    VARIANT out;
    VariantInit(&out);
    const HRESULT hr = VariantChangeType(&out, &v_, 0, VT_I4);
    if (FAILED(hr)) conversionFailed(hr, what, "an integer");
    return out.lVal;
}

bool Variant::toBool(const QString& what) const { return toLong(what) != 0; }

QString Variant::toString(const QString& what) const {
    if (v_.vt == VT_EMPTY) return {};
    VARIANT out;
    VariantInit(&out);
    const HRESULT hr = VariantChangeType(&out, &v_, 0, VT_BSTR);
    if (FAILED(hr)) conversionFailed(hr, what, "a text");
    QString s = toQString(out.bstrVal);
    VariantClear(&out);
    return s;
}

QByteArray Variant::toBytes(const QString& what) const {
    SAFEARRAY* sa = arrayOf(v_);
    if (!sa) {
        if (v_.vt == VT_EMPTY) return {};
        conversionFailed(DISP_E_TYPEMISMATCH, what, "an array of bytes");
    }
    QByteArray out;
    readArray(sa, what, [&](void* data, VARTYPE vt, std::size_t count) {
        if (vt != VT_UI1 && vt != VT_I1) conversionFailed(DISP_E_TYPEMISMATCH, what, "an array of bytes");
        out = QByteArray(static_cast<const char*>(data), qsizetype(count));
    });
    return out;
}

std::vector<qint32> Variant::toIntegers(const QString& what) const {
    SAFEARRAY* sa = arrayOf(v_);
    if (!sa) {
        if (v_.vt == VT_EMPTY) return {};
        conversionFailed(DISP_E_TYPEMISMATCH, what, "an array of integers");
    }
    std::vector<qint32> out;
    readArray(sa, what, [&](void* data, VARTYPE vt, std::size_t count) {
        out.reserve(count);
        for (std::size_t i = 0; i < count; ++i) {
            switch (vt) {
            case VT_UI1: out.push_back(static_cast<const quint8*>(data)[i]); break;
            case VT_I1: out.push_back(static_cast<const qint8*>(data)[i]); break;
            case VT_I2: out.push_back(static_cast<const qint16*>(data)[i]); break;
            case VT_UI2: out.push_back(static_cast<const quint16*>(data)[i]); break;
            case VT_I4:
            case VT_INT: out.push_back(static_cast<const qint32*>(data)[i]); break;
            case VT_VARIANT: {
                Variant element;
                VariantCopyInd(element.get(), &static_cast<const VARIANT*>(data)[i]);
                out.push_back(element.toLong(what));
                break;
            }
            default: conversionFailed(DISP_E_TYPEMISMATCH, what, "an array of integers");
            }
        }
    });
    return out;
}

ComPtr<IDispatch> Variant::toDispatch(const QString& what) const {
    const VARIANT* v = &v_;
    if (v->vt == (VT_BYREF | VT_VARIANT) && v->pvarVal) v = v->pvarVal;
    switch (v->vt) {
    case VT_EMPTY: return {};
    case VT_DISPATCH: return ComPtr<IDispatch>(v->pdispVal);
    case VT_UNKNOWN: {
        ComPtr<IDispatch> d;
        if (v->punkVal && FAILED(v->punkVal->QueryInterface(IID_IDispatch, d.putVoid())))
            conversionFailed(E_NOINTERFACE, what, "an automation object");
        return d;
    }
    default: conversionFailed(DISP_E_TYPEMISMATCH, what, "an automation object");
    }
}

}  // namespace kestview
