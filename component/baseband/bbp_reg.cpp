#include "baseband/bbp_reg.h"

#include "common/text.h"
#include "common/word_argument.h"

namespace direzo {

namespace {

constexpr std::u16string_view kReadFail = u"IBBPREG: BBP Read fail";
constexpr std::u16string_view kWriteFail = u"IBBPREG: BBP Write fail";

}  // namespace

const oleaut::InterfaceDesc& BBPReg::dispatchTable() {
    static const oleaut::InterfaceDesc desc = [] {
        using namespace oleaut;
        return dualInterface(u"IBBPReg", IBBPReg::iid, {
            hiddenMethod<&IBBPReg::_SetApiObj>(u"_SetApiObj", {u"_pApiObj"}),
            propput<&IBBPReg::put_BBPType>(u"BBPType"),
            propget<&IBBPReg::get_Id>(u"Id"),
            propget<&IBBPReg::get_Key>(u"Key"),
            propget<&IBBPReg::get_No>(u"No"),
            propget<&IBBPReg::get_type>(u"type"),
            propget<&IBBPReg::get_Value>(u"Value"),
            propput<&IBBPReg::put_Value>(u"Value", {u"newValue"}),
            method<&IBBPReg::setType>(u"setType", {u"newVal"}),
            method<&IBBPReg::setId>(u"setId", {u"newVal"}),
            method<&IBBPReg::setKey>(u"setKey", {u"newVal"}),
            method<&IBBPReg::setNo>(u"setNo", {u"newVal"}),
        });
    }();
    return desc;
}

void BBPReg::describe(const RegisterInfo& info, LONG bbpType, LONG apiObj) {
    id_ = upperCase(info.name);
    key_ = info.name;
    no_ = info.no;
    type_ = info.readOnly ? 0 : 1;
    bbpType_ = bbpType;
    session_.set(apiObj);
}

HRESULT BBPReg::put_BBPType(LONG newVal) {
    bbpType_ = newVal;
    return S_OK;
}

HRESULT BBPReg::get_Id(BSTR* pVal) {
    return copyText(id_, pVal);
}

HRESULT BBPReg::get_Key(BSTR* pVal) {
    return copyText(key_, pVal);
}

HRESULT BBPReg::get_No(LONG* pVal) {
    if (!pVal) return E_POINTER;
    *pVal = no_;
    return S_OK;
}

HRESULT BBPReg::get_type(LONG* pVal) {
    if (!pVal) return E_POINTER;
    *pVal = type_;
    return S_OK;
}

HRESULT BBPReg::setType(LONG newVal) {
    type_ = newVal;
    return S_OK;
}

HRESULT BBPReg::setId(BSTR newVal) {
    id_ = upperCase(fromBstr(newVal));
    return S_OK;
}

HRESULT BBPReg::setKey(BSTR newVal) {
    key_ = fromBstr(newVal);
    return S_OK;
}

HRESULT BBPReg::setNo(LONG newVal) {
    no_ = newVal;
    return S_OK;
}

bool BBPReg::isShadow() const {
    return familyOf(bbpType_) == BasebandFamily::Birch && id_.find(u"SR") != std::u16string::npos;
}

std::optional<WORD> BBPReg::address() const {
    LONG address = -1;
    switch (familyOf(bbpType_)) {
    case BasebandFamily::Alder:
        address = no_ >= 0 && no_ <= 0xFFFF / 4 ? no_ * 4 : -1;
        break;
    case BasebandFamily::Birch:
        if (isShadow())
            address = no_ >= 0 && no_ <= 0xFFFF - kShadowIndexBase ? no_ + kShadowIndexBase : -1;
        else
            address = no_ >= 0 && no_ <= 0xFFFF / 2 ? no_ * 2 : -1;
        break;
    case BasebandFamily::None:
        break;
    }
    if (address < 0) return std::nullopt;
    return WORD(address);
}

std::optional<WORD> BBPReg::read(AdapterSession& session) const {
    const std::optional<WORD> at = address();
    if (!at) return std::nullopt;
    if (!isShadow()) return readRegisterAt(session, *at);
    if (!writeRegisterAt(session, kShadowIndexAddress, *at)) return std::nullopt;
    return readRegisterAt(session, kShadowDataAddress);
}

// A shadow register's data is written only once its index is set: with a failed index write the
// data register would point at whichever shadow register was selected before.
bool BBPReg::write(AdapterSession& session, WORD value) const {
    const std::optional<WORD> at = address();
    if (!at) return false;
    if (!isShadow()) return writeRegisterAt(session, *at, value);
    return writeRegisterAt(session, kShadowIndexAddress, *at) && writeRegisterAt(session, kShadowDataAddress, value);
}

HRESULT BBPReg::get_Value(LONG* pVal) {
    if (!pVal) return E_POINTER;
    *pVal = -1;
    AdapterSession* session = session_.get();
    if (!session) return noSession(E_FAIL);
    const std::optional<WORD> value = read(*session);
    if (!value) return error(E_FAIL, kReadFail);
    *pVal = *value;
    return S_OK;
}

// Registers hold 16 bits; a value outside them is out of range (status 1) rather than cut.
HRESULT BBPReg::put_Value(LONG newVal) {
    AdapterSession* session = session_.get();
    if (!session) return noSession(E_FAIL);
    const std::optional<WORD> value = wordArgument(newVal);
    if (!value) return S_FALSE;
    if (!write(*session, *value)) return error(E_FAIL, kWriteFail);
    return S_OK;
}

}  // namespace direzo
