#include "errors.h"

#include <pybind11/eval.h>

#include <cstdio>

#include "oleaut/comptr.h"
#include "oleaut/oleauto.h"
#include "text.h"

namespace pyoleaut {

namespace {

thread_local HRESULT lastStatus_ = S_OK;
// Owned reference, or null; left to leak if a thread ends with one pending, as releasing it
// would need the interpreter at thread exit.
thread_local PyObject* pendingInterrupt_ = nullptr;

struct StatusText {
    HRESULT hr;
    const char16_t* text;
};
constexpr StatusText statusTexts[] = {
    {E_NOTIMPL, u"not implemented"},
    {E_NOINTERFACE, u"the object does not support the interface"},
    {E_POINTER, u"invalid pointer"},
    {E_ABORT, u"operation aborted"},
    {E_FAIL, u"unspecified failure"},
    {E_UNEXPECTED, u"unexpected failure"},
    {E_ACCESSDENIED, u"access denied"},
    {E_OUTOFMEMORY, u"out of memory"},
    {E_INVALIDARG, u"invalid argument"},
    {CLASS_E_NOAGGREGATION, u"the class does not support aggregation"},
    {CLASS_E_CLASSNOTAVAILABLE, u"the server does not provide the class"},
    {REGDB_E_READREGDB, u"the registry cannot be read"},
    {REGDB_E_WRITEREGDB, u"the registry cannot be written"},
    {REGDB_E_KEYMISSING, u"a registry key is missing"},
    {REGDB_E_CLASSNOTREG, u"class not registered"},
    {CO_E_CLASSSTRING, u"no class is registered under this ProgID"},
    {CO_E_NOTINITIALIZED, u"the thread has not initialised the object runtime"},
    {CO_E_DLLNOTFOUND, u"the server library cannot be loaded"},
    {CO_E_ERRORINDLL, u"the server library is faulty"},
    {RPC_E_CHANGED_MODE, u"the thread's apartment was initialised in another mode"},
    {RPC_E_WRONG_THREAD, u"the object belongs to another thread: call it on the thread that created it"},
    {RPC_S_SERVER_UNAVAILABLE, u"no server answered on the remote host"},
    {RPC_S_SERVER_TOO_BUSY, u"the remote host is busy: it serves as many clients as it takes"},
    {TYPE_E_ELEMENTNOTFOUND, u"element not found in the type library"},
    {TYPE_E_LIBNOTREGISTERED, u"type library not registered"},
    {CONNECT_E_NOCONNECTION, u"no such connection"},
    {CONNECT_E_ADVISELIMIT, u"the connection point accepts no more connections"},
    {CONNECT_E_CANNOTCONNECT, u"the sink cannot be connected"},
    {DISP_E_UNKNOWNINTERFACE, u"unknown interface"},
    {DISP_E_MEMBERNOTFOUND, u"member not found"},
    {DISP_E_PARAMNOTFOUND, u"parameter not found"},
    {DISP_E_TYPEMISMATCH, u"type mismatch"},
    {DISP_E_UNKNOWNNAME, u"unknown name"},
    {DISP_E_NONAMEDARGS, u"named arguments are not accepted"},
    {DISP_E_BADVARTYPE, u"bad variant type"},
    {DISP_E_EXCEPTION, u"the member raised an exception"},
    {DISP_E_OVERFLOW, u"value out of range"},
    {DISP_E_BADINDEX, u"invalid index"},
    {DISP_E_UNKNOWNLCID, u"unknown locale"},
    {DISP_E_ARRAYISLOCKED, u"the array is locked"},
    {DISP_E_BADPARAMCOUNT, u"wrong number of arguments"},
    {DISP_E_PARAMNOTOPTIONAL, u"a required argument is missing"},
};

const char* errorClassSource = R"(
class Error(Exception):
    """A failure status of an automation call.

    hresult      the status as an unsigned 32-bit code (for example 0x80070057)
    description  the error object's description, or an explanation of the status
    source       the error object's source (the class's ProgID), or '' when it set none
    """

    def __init__(self, hresult, description='', source=''):
        super().__init__(hresult, description, source)
        self.hresult = hresult
        self.description = description
        self.source = source

    def __str__(self):
        where = f'{self.source}: ' if self.source else ''
        return f'{where}{self.description} (0x{self.hresult:08X})'
)";

}  // namespace

std::u16string describeStatus(HRESULT hr) {
    for (const auto& s : statusTexts)
        if (s.hr == hr) return s.text;
    char buf[48];
    std::snprintf(buf, sizeof buf, "failure status 0x%08X", unsigned(hr));
    return asciiText(buf);
}

void clearErrorObject() { SetErrorInfo(0, nullptr); }

[[noreturn]] void throwStatus(HRESULT hr, std::u16string_view context) {
    setLastStatus(hr);
    AutomationError e{hr, {}, {}};
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, info.put()) == S_OK && info) {
        BStr description, source;
        info->GetDescription(description.put());
        info->GetSource(source.put());
        e.description = description.view();
        e.source = source.view();
    }
    if (e.description.empty()) {
        e.description = describeStatus(hr);
        if (!context.empty()) e.description = std::u16string(context) + u": " + e.description;
    }
    throw e;
}

void keepPendingInterrupt(py::error_already_set& e) {
    if (pendingInterrupt_) return;  // the first one counts
    pendingInterrupt_ = e.value().inc_ref().ptr();
}

bool interruptPending() { return pendingInterrupt_ != nullptr; }

void raisePendingInterrupt() {
    if (!pendingInterrupt_) return;
    py::object value = py::reinterpret_steal<py::object>(std::exchange(pendingInterrupt_, nullptr));
    PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(value.ptr())), value.ptr());
    throw py::error_already_set();
}

HRESULT lastStatus() { return lastStatus_; }
void setLastStatus(HRESULT hr) { lastStatus_ = hr; }

void registerErrors(py::module_& m) {
    py::dict scope;
    scope["__builtins__"] = py::module_::import("builtins");
    scope["__name__"] = "oleaut";
    py::exec(errorClassSource, scope);
    py::object errorClass = scope["Error"];
    errorClass.attr("__module__") = "oleaut";
    m.attr("Error") = errorClass;

    static py::handle errorType = errorClass.release();  // lives as long as the module
    py::register_exception_translator([](std::exception_ptr p) {
        try {
            if (p) std::rethrow_exception(p);
        } catch (const AutomationError& e) {
            py::object err = errorType(statusToPython(e.hr), toPython(e.description), toPython(e.source));
            PyErr_SetObject(errorType.ptr(), err.ptr());
        }
    });
}

}  // namespace pyoleaut
