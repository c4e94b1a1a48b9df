// The error a failed automation call leaves the console: the error object's source and description
// and the call's status. Every wrapper call that fails throws it; the console's error paths show it.
#pragma once

#include <QString>
#include <exception>
#include <string>

#include "oleaut/wtypes.h"

namespace kestview {

class AutomationError : public std::exception {
public:
    AutomationError(HRESULT number, QString source, QString description);

    HRESULT number() const { return number_; }
    const QString& source() const { return source_; }
    const QString& description() const { return description_; }
    // "<source> <description> HRESULT: <number in hexadecimal>", the text of the error exits.
    QString text() const;
    const char* what() const noexcept override { return what_.c_str(); }

private:
    HRESULT number_;
    QString source_;
    QString description_;
    std::string what_;
};

// The console's own run-time errors (a value a control cannot take), numbered as the
// console's language numbers them.
inline constexpr HRESULT kInvalidPropertyValue = 380;
inline constexpr HRESULT kNoSuchControlElement = 340;
inline constexpr const char16_t* kConsoleSource = u"kestview";
[[noreturn]] void raiseConsoleError(HRESULT number, const QString& description);

}  // namespace kestview
