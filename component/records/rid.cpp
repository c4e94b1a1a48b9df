#include "records/rid.h"

#include <algorithm>
#include <vector>

#include "common/safe_arrays.h"
#include "common/text.h"
#include "common/word_argument.h"
#include "oleaut/utf.h"
#include "records/record_layout.h"

namespace direzo {

namespace {

// Records from this number on are information records (type 1); below it configuration (type 0).
constexpr WORD kFirstInformationRecord = 0xFD00;

// Record numbers and length words are 16-bit; other values are refused, not cut.
HRESULT storeWord(LONG value, WORD& field) {
    const std::optional<WORD> word = wordArgument(value);
    if (!word) return S_FALSE;
    field = *word;
    return S_OK;
}

// A counted text's byte capacity: the data words after the count word, two bytes each.
std::size_t textCapacity(std::size_t dataWords) { return dataWords >= 1 ? 2 * (dataWords - 1) : 0; }

// A record's text bytes as UTF-8; bytes that are not UTF-8 (texts stored one byte per character
// by older tools) are taken one character per byte, so nothing turns into replacement marks.
std::u16string decodeRecordText(const std::string& bytes) {
    const std::u16string text = oleaut::toUtf16(bytes);
    if (oleaut::toUtf8(text) == bytes) return text;
    std::u16string bytewise;
    for (char c : bytes) bytewise += char16_t(BYTE(c));
    return bytewise;
}

}  // namespace

const oleaut::InterfaceDesc& Rid::dispatchTable() {
    static const oleaut::InterfaceDesc desc = [] {
        using namespace oleaut;
        return dualInterface(u"IRid", IRid::iid, {
            hiddenMethod<&IRid::_SetApiObj>(u"_SetApiObj", {u"_pApiObj"}),
            propget<&IRid::get_type>(u"type"),
            propget<&IRid::get_Id>(u"Id"),
            method<&IRid::setId>(u"setId", {u"newVal"}),
            propget<&IRid::get_Key>(u"Key"),
            method<&IRid::setKey>(u"setKey", {u"newVal"}),
            propget<&IRid::get_No>(u"No"),
            method<&IRid::setNo>(u"setNo", {u"newVal"}),
            propget<&IRid::get_Length>(u"Length"),
            method<&IRid::setLength>(u"setLength", {u"newVal"}),
            propget<&IRid::get_Name>(u"Name"),
            propput<&IRid::put_Name>(u"Name"),
            propget<&IRid::get_RidAsByteArray>(u"RidAsByteArray"),
            propput<&IRid::put_RidAsByteArray>(u"RidAsByteArray"),
            propget<&IRid::get_RidStringValue>(u"RidStringValue"),
            propput<&IRid::put_RidStringValue>(u"RidStringValue"),
            propget<&IRid::get_RidAsIntArray>(u"RidAsIntArray"),
            propput<&IRid::put_RidAsIntArray>(u"RidAsIntArray"),
            method<&IRid::GetAsInteger>(u"GetAsInteger", {u"Index", u"pVal"}),
            method<&IRid::SetAsInteger>(u"SetAsInteger", {u"Index", u"newVal"}),
        });
    }();
    return desc;
}

void Rid::describe(WORD no, WORD length, LONG apiObj) {
    id_ = key_ = name_ = format("%X", unsigned(no));
    no_ = no;
    length_ = length;
    session_.set(apiObj);
}

HRESULT Rid::get_type(LONG* pVal) {
    if (!pVal) return E_POINTER;
    *pVal = no_ >= kFirstInformationRecord ? 1 : 0;
    return S_OK;
}

HRESULT Rid::get_Id(BSTR* pVal) { return copyText(id_, pVal); }
HRESULT Rid::get_Key(BSTR* pVal) { return copyText(key_, pVal); }
HRESULT Rid::get_Name(BSTR* pVal) { return copyText(name_, pVal); }

HRESULT Rid::setId(BSTR newVal) {
    id_ = fromBstr(newVal);
    return S_OK;
}

HRESULT Rid::setKey(BSTR newVal) {
    key_ = fromBstr(newVal);
    return S_OK;
}

HRESULT Rid::put_Name(BSTR newVal) {
    name_ = fromBstr(newVal);
    return S_OK;
}

HRESULT Rid::get_No(LONG* pVal) {
    if (!pVal) return E_POINTER;
    *pVal = LONG(no_);
    return S_OK;
}

HRESULT Rid::setNo(LONG newVal) { return storeWord(newVal, no_); }

HRESULT Rid::get_Length(LONG* pVal) {
    if (!pVal) return E_POINTER;
    *pVal = LONG(length_);
    return S_OK;
}

HRESULT Rid::setLength(LONG newVal) { return storeWord(newVal, length_); }

NDIS_STATUS Rid::read(AdapterSession& session, RecordBuffer& buffer) {
    const NDIS_STATUS status = session.ReadRecord(buffer, no_);
    if (status == NDIS_STATUS_SUCCESS) length_ = buffer.length;
    return status;
}

std::span<const WORD> Rid::readData(AdapterSession& session, RecordBuffer& buffer) {
    if (read(session, buffer) != NDIS_STATUS_SUCCESS) return {};
    const std::optional<std::size_t> words = dataWordCount(length_);
    return words ? std::span<const WORD>(buffer.data, *words) : std::span<const WORD>();
}

HRESULT Rid::writeData(AdapterSession& session, std::span<const WORD> data) {
    RecordBuffer buffer;
    buffer.length = length_;
    buffer.recordNo = no_;
    std::copy(data.begin(), data.end(), buffer.data);
    return session.WriteRecord(buffer) ? S_OK : S_FALSE;
}

// Each data word high byte first, then low byte.
HRESULT Rid::get_RidAsByteArray(VARIANT* pVal) {
    if (!pVal) return E_POINTER;
    AdapterSession* session = session_.get();
    if (!session) {
        byteArrayVariant({}, pVal);
        return noSession(S_FALSE);
    }
    RecordBuffer buffer;
    std::vector<BYTE> bytes;
    for (WORD word : readData(*session, buffer)) {
        bytes.push_back(BYTE(word >> 8));
        bytes.push_back(BYTE(word & 0xFF));
    }
    return byteArrayVariant(bytes, pVal);
}

HRESULT Rid::get_RidAsIntArray(VARIANT* pVal) {
    if (!pVal) return E_POINTER;
    AdapterSession* session = session_.get();
    if (!session) {
        shortArrayVariant({}, pVal);
        return noSession(S_FALSE);
    }
    RecordBuffer buffer;
    std::vector<SHORT> words;
    for (WORD word : readData(*session, buffer)) words.push_back(SHORT(word));
    return shortArrayVariant(words, pVal);
}

// An array of bytes, or of integers or variants holding byte values (-128 to 255): data word i :=
// byte 2i << 8 | byte 2i+1.
HRESULT Rid::put_RidAsByteArray(VARIANT newVal) {
    AdapterSession* session = session_.get();
    if (!session) return noSession(S_FALSE);
    const auto bytes = integerElements(
        newVal, {VT_UI1, VT_I1, VT_I2, VT_UI2, VT_I4, VT_UI4, VT_INT, VT_UINT, VT_VARIANT}, VT_I4);
    const auto isByte = [](LONG b) { return b >= -128 && b <= 255; };
    if (!bytes || !std::all_of(bytes->begin(), bytes->end(), isByte))
        return error(E_INVALIDARG, u"IRID: RidAsByteArray takes an array of byte values");
    const std::optional<std::size_t> words = dataWordCount(length_);
    if (!words || bytes->size() != 2 * *words) return S_FALSE;
    std::vector<WORD> data(*words);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = WORD((BYTE((*bytes)[2 * i]) << 8) | BYTE((*bytes)[2 * i + 1]));
    return writeData(*session, data);
}

// 16-bit or 32-bit integer arrays (or arrays of variants holding integers): data word i := element
// i as 16 bits; an element outside them is out of range and nothing is written.
HRESULT Rid::put_RidAsIntArray(VARIANT newVal) {
    AdapterSession* session = session_.get();
    if (!session) return noSession(S_FALSE);
    const auto values =
        integerElements(newVal, {VT_I2, VT_UI2, VT_I4, VT_UI4, VT_INT, VT_UINT, VT_VARIANT}, VT_I4);
    if (!values) return error(E_INVALIDARG, u"IRID: RidAsIntArray takes an array of 16-bit or 32-bit integers");
    const std::optional<std::size_t> words = dataWordCount(length_);
    if (!words || values->size() != *words) return S_FALSE;
    std::vector<WORD> data;
    data.reserve(values->size());
    for (LONG value : *values) {
        const std::optional<WORD> word = wordArgument(value);
        if (!word) return S_FALSE;
        data.push_back(*word);
    }
    return writeData(*session, data);
}

// Data word 0 counts the text's bytes; the bytes follow two to a word, the earlier one in the low
// byte, and hold the text in UTF-8. The text returned is what the adapter holds: a failed read, or
// a count that does not fit the record, gives status 1 and the empty text.
HRESULT Rid::get_RidStringValue(BSTR* pVal) {
    if (!pVal) return E_POINTER;
    *pVal = toBstr(u"");
    AdapterSession* session = session_.get();
    if (!session) return noSession(S_FALSE);
    RecordBuffer buffer;
    const std::span<const WORD> data = readData(*session, buffer);
    if (data.empty()) return S_FALSE;
    const std::size_t count = data[0];
    if (count > textCapacity(data.size())) return S_FALSE;
    std::string bytes;
    for (std::size_t i = 0; i < count; i += 2) {
        const WORD word = data[1 + i / 2];
        const char first = char(word & 0xFF), second = char(word >> 8);
        if (first == 0) continue;  // a zero byte ends its pair
        bytes += first;
        if (i + 1 < count && second != 0) bytes += second;
    }
    SysFreeString(*pVal);
    *pVal = toBstr(decodeRecordText(bytes));
    return S_OK;
}

// Stores as much of the text as the record holds, in UTF-8, cut only between characters. A text
// with a NUL character is refused whole: in the record a zero byte ends its pair, so such a text
// could not be read back as it was given.
HRESULT Rid::put_RidStringValue(BSTR newVal) {
    AdapterSession* session = session_.get();
    if (!session) return noSession(S_FALSE);
    const std::optional<std::size_t> words = dataWordCount(length_);
    if (!words || *words < 1) return S_FALSE;
    const std::u16string text = fromBstr(newVal);
    if (text.find(u'\0') != std::u16string::npos) return S_FALSE;
    const std::string bytes = oleaut::toUtf8(text);
    std::size_t count = std::min(bytes.size(), textCapacity(*words));
    // UTF-8 continuation bytes (10xxxxxx) never begin a character.
    while (count < bytes.size() && count > 0 && (BYTE(bytes[count]) & 0xC0) == 0x80) --count;
    std::vector<WORD> data(*words, 0);
    data[0] = WORD(count);
    for (std::size_t i = 0; i < count; ++i) {
        const WORD byte = BYTE(bytes[i]);
        data[1 + i / 2] |= i % 2 == 0 ? byte : WORD(byte << 8);
    }
    return writeData(*session, data);
}

// Index counts the data words from 1; only the record's own words are read or written.
HRESULT Rid::GetAsInteger(LONG Index, LONG* pVal) {
    if (!pVal) return E_POINTER;
    *pVal = 0;
    AdapterSession* session = session_.get();
    if (!session) return noSession(S_FALSE);
    if (Index < 1 || Index >= LONG(length_)) return S_FALSE;
    RecordBuffer buffer;
    const NDIS_STATUS status = read(*session, buffer);
    if (status != NDIS_STATUS_SUCCESS)
        return error(HRESULT(status), format("IRID: %ld NDIS REQUEST FAILURE ", long(LONG(status))));
    const std::optional<std::size_t> words = dataWordCount(length_);
    if (!words || std::size_t(Index) > *words) return S_FALSE;
    *pVal = LONG(buffer.data[Index - 1]);
    return S_OK;
}

HRESULT Rid::SetAsInteger(LONG Index, LONG newVal) {
    AdapterSession* session = session_.get();
    if (!session) return noSession(S_FALSE);
    const std::optional<WORD> value = wordArgument(newVal);
    if (!value || Index < 1 || Index >= LONG(length_)) return S_FALSE;
    RecordBuffer buffer;
    if (read(*session, buffer) != NDIS_STATUS_SUCCESS) return S_FALSE;
    const std::optional<std::size_t> words = dataWordCount(length_);
    if (!words || std::size_t(Index) > *words) return S_FALSE;
    buffer.data[Index - 1] = *value;
    return session->WriteRecord(buffer) ? S_OK : S_FALSE;
}

}  // namespace direzo
