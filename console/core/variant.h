// Variant: one owned VARIANT, and the conversions between automation values and the console's
// Qt values (texts, byte and integer arrays, object references).
#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

#include "oleaut/comptr.h"
#include "oleaut/oaidl.h"

namespace kestview {

// A BSTR owned for the length of a call.
class Bstr {
public:
    explicit Bstr(const QString& text);
    ~Bstr();
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR get() const { return b_; }

private:
    BSTR b_;
};
QString toQString(BSTR b);

class Variant {
public:
    Variant();  // VT_EMPTY
    ~Variant();
    Variant(const Variant& o);
    Variant(Variant&& o) noexcept;
    Variant& operator=(Variant o) noexcept;

    static Variant fromLong(qint32 v);             // VT_I4
    static Variant fromShort(qint16 v);            // VT_I2
    static Variant fromBool(bool v);               // VT_BOOL
    static Variant fromString(const QString& s);   // VT_BSTR
    static Variant fromBytes(const QByteArray& b); // VT_ARRAY | VT_UI1, lower bound 0
    // VT_ARRAY | element type vt (VT_I2 or VT_I4), lower bound 0.
    static Variant fromIntegers(const std::vector<qint32>& values, VARTYPE vt);

    VARIANT* get() { return &v_; }
    const VARIANT* get() const { return &v_; }
    VARTYPE type() const { return v_.vt; }
    bool isEmpty() const { return v_.vt == VT_EMPTY; }

    // Conversions; a value that does not convert throws AutomationError (DISP_E_TYPEMISMATCH or
    // DISP_E_OVERFLOW) naming `what`, the member it came from.
    qint32 toLong(const QString& what) const;
    bool toBool(const QString& what) const;  // any non-zero integer is true
    QString toString(const QString& what) const;
    QByteArray toBytes(const QString& what) const;             // an array of bytes
    std::vector<qint32> toIntegers(const QString& what) const; // an array of any integer type
    ComPtr<IDispatch> toDispatch(const QString& what) const;   // null for VT_EMPTY / a null object

private:
    VARIANT v_;
};

}  // namespace kestview
