// IRids and IRid: the probe of the known records, lookups and enumeration, and every encoding of a
// record's data (bytes, 16-bit integers, counted text, single words).
#include <functional>

#include "adapter_fixture.h"
#include "direzo/subobjects.h"
#include "direzo/vireo.h"
#include "records/record_layout.h"
#include "records/rid.h"
#include "records/rids.h"
#include "vireo/vireo.h"

namespace direzo::testing {
namespace {

constexpr WORD kTextRecord = 0xFC02;   // 17 data words: a count and up to 32 characters
constexpr WORD kWordRecord = 0xFC01;   // 3 data words
constexpr WORD kPairRecord = 0xFCE1;   // 2 data words

// Both array getters answer `status` with an array of their element type that holds nothing.
void expectEmptyArrays(IRid& r, HRESULT status = S_OK) {
    Var bytes, ints;
    EXPECT_EQ(r.get_RidAsByteArray(&bytes.v), status);
    EXPECT_TRUE(arrayOf(bytes.v, VT_UI1).empty());
    EXPECT_EQ(r.get_RidAsIntArray(&ints.v), status);
    EXPECT_TRUE(arrayOf(ints.v, VT_I2).empty());
}

class RidsTest : public ::testing::Test {
protected:
    void open(const AdapterOptions& options = {}) {
        adapter.reset();
        adapter = std::make_unique<OpenAdapter>(options);
        ASSERT_EQ(oleaut::createObject<Rids>(IRids::iid, rids.putVoid()), S_OK);
    }
    // A Rid for one record, as the collection makes it, holding the length word the adapter gave.
    ComPtr<IRid> rid(WORD no) {
        auto* r = new Rid();
        ComPtr<IRid> ref(r);
        r->describe(no, 0, adapter->apiHandle());
        Var bytes;
        r->get_RidAsByteArray(&bytes.v);  // caches the length word
        adapter->mark();
        return ref;
    }
    ComPtr<IRid> item(VARIANT index) {
        ComPtr<IRid> r;
        EXPECT_EQ(rids->get_Item(index, r.put()), S_OK);
        return r;
    }
    static std::u16string idOf(IRid* r) {
        Text id;
        if (r) r->get_Id(&id.b);
        return id.str();
    }
    std::unique_ptr<OpenAdapter> adapter;
    ComPtr<IRids> rids;
};

TEST_F(RidsTest, ProbesEveryKnownRecordOnceInAscendingOrder) {
    open(AdapterOptions().withoutRecord(0xFC33));
    ASSERT_EQ(rids->_SetApiObj(adapter->apiHandle()), S_OK);
    const auto reads = adapter->requests(OID_VIREO_RECORD);
    ASSERT_EQ(reads.size(), 87u);
    EXPECT_EQ(reads.front().in[1], 0xFC00);
    EXPECT_EQ(reads.back().in[1], 0xFFFF);
    for (std::size_t i = 1; i < reads.size(); ++i) EXPECT_LT(reads[i - 1].in[1], reads[i].in[1]);
    LONG count = 0;
    rids->get_Count(&count);
    EXPECT_EQ(count, 86);

    NDIS_STATUS missing = 0;
    for (const Request& r : reads)
        if (r.in[1] == 0xFC33) missing = r.status;
    ASSERT_NE(missing, 0u);
    char expected[64];
    std::snprintf(expected, sizeof expected, "IRids : GetRid FC33 returned %X ", unsigned(missing));
    EXPECT_EQ(takeErrorText(), std::u16string(expected, expected + std::strlen(expected)));

    adapter->mark();
    EXPECT_EQ(rids->_SetApiObj(adapter->apiHandle()), S_OK);
    EXPECT_TRUE(adapter->requests().empty());  // built once
    rids->get_Count(&count);
    EXPECT_EQ(count, 86);
}

TEST_F(RidsTest, ItemByPositionAndCaseInsensitiveKey) {
    open();
    rids->_SetApiObj(adapter->apiHandle());
    EXPECT_EQ(idOf(item(intIndex(1)).get()), u"FC00");
    Text key(u"fdc1");
    EXPECT_EQ(idOf(item(keyIndex(key)).get()), u"FDC1");
    VARIANT shortIndex;
    VariantInit(&shortIndex);
    shortIndex.vt = VT_I2;
    shortIndex.iVal = 2;
    EXPECT_EQ(idOf(item(shortIndex).get()), u"FC01");
}

TEST_F(RidsTest, ItemFailures) {
    open();
    rids->_SetApiObj(adapter->apiHandle());
    LONG count = 0;
    rids->get_Count(&count);
    Text unknown(u"fc99");
    VARIANT real;
    VariantInit(&real);
    real.vt = VT_R8;
    real.dblVal = 1;
    const std::string past = std::to_string(count + 1);
    const std::u16string pastEnd =
        u"IRids : Index " + std::u16string(past.begin(), past.end()) + u" not found or is an invalid index";
    const std::vector<std::pair<VARIANT, std::u16string>> cases{
        {intIndex(0), u"IRids : Index 0 not found or is an invalid index"},
        {intIndex(count + 1), pastEnd},
        {keyIndex(unknown), u"IRids : Key FC99 not found "},
        {real, u"IRids : Index VT_R8 argument type unknown"}};
    for (const auto& [index, text] : cases) {
        ComPtr<IRid> r;
        EXPECT_EQ(rids->get_Item(index, r.put()), E_INVALIDARG);
        EXPECT_FALSE(r);
        EXPECT_EQ(takeErrorText(), text);
    }
}

TEST_F(RidsTest, EnumerationRunsFromTheLargestId) {
    open();
    rids->_SetApiObj(adapter->apiHandle());
    IUnknown* e = nullptr;
    ASSERT_EQ(rids->get__NewEnum(&e), S_OK);
    const auto items = enumerate<IRid>(e);
    LONG count = 0;
    rids->get_Count(&count);
    ASSERT_EQ(items.size(), std::size_t(count));
    EXPECT_EQ(idOf(items.front().get()), u"FFFF");
    EXPECT_EQ(idOf(items.back().get()), u"FC00");
    for (std::size_t i = 1; i < items.size(); ++i) EXPECT_GT(idOf(items[i - 1].get()), idOf(items[i].get()));
}

TEST_F(RidsTest, TypeSplitsAtFD00) {
    open();
    auto* r = new Rid();
    ComPtr<IRid> ref(r);
    for (auto [no, type] : {std::pair{0xFCFF, 0}, {0xFD00, 1}, {0xFFFF, 1}, {0x0000, 0}}) {
        ASSERT_EQ(r->setNo(no), S_OK);
        LONG t = -1;
        r->get_type(&t);
        EXPECT_EQ(t, type) << std::hex << no;
    }
    // 16 bits, signed or unsigned; nothing beyond.
    EXPECT_EQ(r->setNo(-1), S_OK);
    LONG no = 0;
    r->get_No(&no);
    EXPECT_EQ(no, 0xFFFF);
    EXPECT_EQ(r->setNo(0x10000), S_FALSE);
    EXPECT_EQ(r->setNo(-32769), S_FALSE);
    EXPECT_EQ(r->setLength(65539), S_FALSE);
}

TEST_F(RidsTest, WordsAsBytesHighByteFirstAndAsIntegers) {
    open();
    ASSERT_TRUE(adapter->setRecord(kWordRecord, {0x1234, 0xFFFE, 0x0001}));
    ComPtr<IRid> r = rid(kWordRecord);
    Var bytes, ints;
    ASSERT_EQ(r->get_RidAsByteArray(&bytes.v), S_OK);
    EXPECT_EQ(arrayOf(bytes.v, VT_UI1), (std::vector<LONG>{0x12, 0x34, 0xFF, 0xFE, 0x00, 0x01}));
    ASSERT_EQ(r->get_RidAsIntArray(&ints.v), S_OK);
    EXPECT_EQ(arrayOf(ints.v, VT_I2), (std::vector<LONG>{0x1234, -2, 1}));
    LONG value = 0;
    EXPECT_EQ(r->GetAsInteger(2, &value), S_OK);
    EXPECT_EQ(value, 0xFFFE);  // widened without sign
    LONG length = 0;
    r->get_Length(&length);
    EXPECT_EQ(length, 4);
}

// Index counts the record's data words; outside them nothing is sent.
TEST_F(RidsTest, IntegerIndexOutsideTheDataWords) {
    open();
    ComPtr<IRid> r = rid(kWordRecord);
    LONG value = 0;
    for (LONG index : {0, -1, 4, 5}) {
        EXPECT_EQ(r->GetAsInteger(index, &value), S_FALSE) << index;
        EXPECT_EQ(r->SetAsInteger(index, 1), S_FALSE) << index;
    }
    EXPECT_TRUE(adapter->requests().empty());
}

TEST_F(RidsTest, SetAsIntegerWritesTheWholeRecordWithOneWordChanged) {
    open();
    ASSERT_TRUE(adapter->setRecord(kWordRecord, {0x1111, 0x2222, 0x3333}));
    ComPtr<IRid> r = rid(kWordRecord);
    EXPECT_EQ(r->SetAsInteger(2, -32768), S_OK);
    const auto writes = adapter->requests(OID_VIREO_RECORD);
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[1].type, NdisRequestSetInformation);
    EXPECT_EQ(std::vector<WORD>(writes[1].in.begin(), writes[1].in.begin() + 5),
              (std::vector<WORD>{4, kWordRecord, 0x1111, 0x8000, 0x3333}));
    LONG value = 0;
    EXPECT_EQ(r->GetAsInteger(2, &value), S_OK);
    EXPECT_EQ(value, 0x8000);
    // A value beyond 16 bits is refused, not stored as its low bits.
    adapter->mark();
    for (LONG outside : {0x10003, -32769}) EXPECT_EQ(r->SetAsInteger(2, outside), S_FALSE) << outside;
    EXPECT_TRUE(adapter->requests().empty());
}

TEST_F(RidsTest, RecordThatCannotBeReadOrWritten) {
    open();
    ComPtr<IRid> r = rid(kWordRecord);
    adapter.reset();
    adapter = std::make_unique<OpenAdapter>(AdapterOptions().refuse(OID_VIREO_RECORD));
    r->_SetApiObj(adapter->apiHandle());
    LONG value = 7;
    EXPECT_EQ(r->GetAsInteger(1, &value), HRESULT(NDIS_STATUS_INVALID_OID));
    EXPECT_EQ(takeErrorText(), u"IRID: -1073676265 NDIS REQUEST FAILURE ");
    EXPECT_EQ(r->SetAsInteger(1, 5), S_FALSE);  // a failed read is not a success
    expectEmptyArrays(*r);
    ArrayArg sixBytes(VT_UI1, {1, 2, 3, 4, 5, 6});
    EXPECT_EQ(r->put_RidAsByteArray(sixBytes.v), S_FALSE);
    // A text that was not stored is not handed back as the record's text.
    Text put(u"abc"), back;
    EXPECT_EQ(r->put_RidStringValue(put.b), S_FALSE);
    EXPECT_EQ(r->get_RidStringValue(&back.b), S_FALSE);
    EXPECT_EQ(back.str(), u"");
}

TEST_F(RidsTest, RecordWithoutDataWordsGivesEmptyArrays) {
    open();
    ASSERT_TRUE(adapter->setRecord(kWordRecord, {}));
    expectEmptyArrays(*rid(kWordRecord));
}

// A length word beyond the 504-byte buffer is never followed past the buffer: the setters refuse
// a cached length that cannot be carried, and the getters give nothing for one the adapter reports.
TEST_F(RidsTest, CachedLengthWordBeyondTheBuffer) {
    open();
    ComPtr<IRid> r = rid(kWordRecord);
    ASSERT_EQ(r->setLength(300), S_OK);
    ArrayArg ints(VT_I4, std::vector<LONG>(299, 1));
    EXPECT_EQ(r->put_RidAsIntArray(ints.v), S_FALSE);
    ArrayArg bytes(VT_UI1, std::vector<LONG>(598, 1));
    EXPECT_EQ(r->put_RidAsByteArray(bytes.v), S_FALSE);
    Text text(u"x");
    EXPECT_EQ(r->put_RidStringValue(text.b), S_FALSE);
    EXPECT_TRUE(adapter->requests().empty());
}

TEST_F(RidsTest, ReportedLengthWordBeyondTheBuffer) {
    open();
    ComPtr<IRid> r = rid(kWordRecord);
    ASSERT_TRUE(adapter->setRecord(kWordRecord, {1, 2, 3}, 300));
    adapter->mark();
    expectEmptyArrays(*r);
    EXPECT_EQ(r->SetAsInteger(1, 1), S_FALSE);
    for (const Request& q : adapter->requests(OID_VIREO_RECORD)) EXPECT_EQ(q.type, NdisRequestQueryInformation);
}

struct ArrayPutCase {
    const char* name;
    bool bytes;  // RidAsByteArray, else RidAsIntArray
    VARTYPE vt;
    std::vector<LONG> values;
    HRESULT status;
    std::vector<WORD> written;  // the record's data words as written; empty: nothing written
};
void PrintTo(const ArrayPutCase& c, std::ostream* os) { *os << c.name; }

class RidArrayPut : public RidsTest, public ::testing::WithParamInterface<ArrayPutCase> {};

TEST_P(RidArrayPut, ChecksKindAndCountThenWrites) {
    const ArrayPutCase& c = GetParam();
    open();
    ComPtr<IRid> r = rid(kPairRecord);
    ArrayArg arg(c.vt, c.values);
    EXPECT_EQ(c.bytes ? r->put_RidAsByteArray(arg.v) : r->put_RidAsIntArray(arg.v), c.status);
    const auto writes = adapter->requests(OID_VIREO_RECORD);
    if (c.written.empty()) {
        EXPECT_TRUE(writes.empty());
        return;
    }
    ASSERT_EQ(writes.size(), 1u);
    std::vector<WORD> expected{3, kPairRecord};
    expected.insert(expected.end(), c.written.begin(), c.written.end());
    EXPECT_EQ(std::vector<WORD>(writes[0].in.begin(), writes[0].in.begin() + 4), expected);
    Var back;
    r->get_RidAsIntArray(&back.v);
    EXPECT_EQ(arrayOf(back.v, VT_I2), (std::vector<LONG>{SHORT(c.written[0]), SHORT(c.written[1])}));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RidArrayPut,
    ::testing::Values(
        ArrayPutCase{"Bytes", true, VT_UI1, {0x12, 0x34, 0x56, 0x78}, S_OK, {0x1234, 0x5678}},
        ArrayPutCase{"SignedBytes", true, VT_I1, {-1, 0x01, 0x02, -128}, S_OK, {0xFF01, 0x0280}},
        ArrayPutCase{"VariantBytes", true, VT_VARIANT, {0xAB, 0xCD, 0, 1}, S_OK, {0xABCD, 0x0001}},
        ArrayPutCase{"VariantOutOfByteRange", true, VT_VARIANT, {0x100, 0, 0, 0}, E_INVALIDARG, {}},
        ArrayPutCase{"TooFewBytes", true, VT_UI1, {1, 2, 3}, S_FALSE, {}},
        ArrayPutCase{"TooManyBytes", true, VT_UI1, {1, 2, 3, 4, 5}, S_FALSE, {}},
        ArrayPutCase{"LongsHoldingBytes", true, VT_I4, {1, 2, 3, 0xFF}, S_OK, {0x0102, 0x03FF}},
        ArrayPutCase{"LongOutOfByteRange", true, VT_I4, {1, 2, 3, 0x100}, E_INVALIDARG, {}},
        ArrayPutCase{"RealsAsBytes", true, VT_R8, {1, 2, 3, 4}, E_INVALIDARG, {}},
        ArrayPutCase{"Shorts", false, VT_I2, {0x1234, -1}, S_OK, {0x1234, 0xFFFF}},
        ArrayPutCase{"LongsSignedAndUnsigned16", false, VT_I4, {-32768, 0xFFFF}, S_OK, {0x8000, 0xFFFF}},
        ArrayPutCase{"LongAbove16Bits", false, VT_I4, {0x12345, 7}, S_FALSE, {}},
        ArrayPutCase{"LongBelow16Bits", false, VT_I4, {1, -32769}, S_FALSE, {}},
        ArrayPutCase{"VariantInts", false, VT_VARIANT, {9, 10}, S_OK, {9, 10}},
        ArrayPutCase{"TooManyInts", false, VT_I4, {1, 2, 3}, S_FALSE, {}},
        ArrayPutCase{"BytesAsInts", false, VT_UI1, {1, 2}, E_INVALIDARG, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RidsTest, NonArrayArgumentsAreRefused) {
    open();
    ComPtr<IRid> r = rid(kWordRecord);
    Text text(u"1234");
    VARIANT notArray;
    VariantInit(&notArray);
    notArray.vt = VT_BSTR;
    notArray.bstrVal = text.b;
    EXPECT_EQ(r->put_RidAsByteArray(notArray), E_INVALIDARG);
    EXPECT_EQ(takeErrorText(), u"IRID: RidAsByteArray takes an array of byte values");
    EXPECT_EQ(r->put_RidAsIntArray(intIndex(3)), E_INVALIDARG);
    // A VARIANT whose type names 32-bit elements over an array of bytes is refused, not read past.
    ArrayArg mislabelled(VT_UI1, {1});
    mislabelled.v.vt = VT_ARRAY | VT_I4;
    EXPECT_EQ(r->put_RidAsIntArray(mislabelled.v), E_INVALIDARG);
    mislabelled.v.vt = VT_ARRAY | VT_UI1;
    EXPECT_TRUE(adapter->requests().empty());
}

// Counted text: word 0 the byte count, then two characters a word, the earlier in the low byte.
TEST_F(RidsTest, StringValueStoresWhatFitsAndReadsItBack) {
    open();
    ComPtr<IRid> r = rid(kTextRecord);  // room for 32 characters
    const std::u16string longText = u"ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    Text text(longText);
    EXPECT_EQ(r->put_RidStringValue(text.b), S_OK);
    const auto writes = adapter->requests(OID_VIREO_RECORD);
    ASSERT_EQ(writes.size(), 1u);
    std::vector<WORD> expected{18, kTextRecord, 32};
    for (std::size_t i = 0; i < 32; i += 2) expected.push_back(WORD(longText[i] | longText[i + 1] << 8));
    EXPECT_EQ(std::vector<WORD>(writes[0].in.begin(), writes[0].in.begin() + 19), expected);
    Text back;
    EXPECT_EQ(r->get_RidStringValue(&back.b), S_OK);
    EXPECT_EQ(back.str(), longText.substr(0, 32));

    Text shortText(u"xyz");
    EXPECT_EQ(r->put_RidStringValue(shortText.b), S_OK);
    const auto second = adapter->requests(OID_VIREO_RECORD);
    EXPECT_EQ(std::vector<WORD>(second.back().in.begin(), second.back().in.begin() + 6),
              (std::vector<WORD>{18, kTextRecord, 3, 'x' | 'y' << 8, 'z', 0}));
    Text back2;
    r->get_RidStringValue(&back2.b);
    EXPECT_EQ(back2.str(), u"xyz");
}

// A text with a NUL character cannot be stored as given: it is refused and the record is untouched.
TEST_F(RidsTest, StringValueWithANulIsRefusedWhole) {
    open();
    ComPtr<IRid> r = rid(kTextRecord);
    Text before(u"keep");
    ASSERT_EQ(r->put_RidStringValue(before.b), S_OK);
    const std::size_t requests = adapter->requests(OID_VIREO_RECORD).size();
    for (const std::u16string& text : {std::u16string(u"\0abc", 4), std::u16string(u"a\0bc", 4), std::u16string(u"abc\0", 4),
                                       std::u16string(40, u'x') + u'\0'}) {
        Text put(text);
        EXPECT_EQ(r->put_RidStringValue(put.b), S_FALSE) << text.size();
    }
    EXPECT_EQ(adapter->requests(OID_VIREO_RECORD).size(), requests);  // nothing written
    Text back;
    EXPECT_EQ(r->get_RidStringValue(&back.b), S_OK);
    EXPECT_EQ(back.str(), u"keep");
}

// Text is stored as UTF-8; what does not fit is cut between characters, never inside one.
TEST_F(RidsTest, StringValueKeepsCharactersBeyondLatin1) {
    open();
    ComPtr<IRid> r = rid(kTextRecord);  // room for 32 bytes
    const std::u16string euros = u"x" + std::u16string(11, u'\u20AC');  // 34 bytes in UTF-8
    for (const auto& [text, stored] : {std::pair{std::u16string(u"caf\u00E9 \u00B5A"), std::u16string(u"caf\u00E9 \u00B5A")},
                                       std::pair{euros, euros.substr(0, 11)}}) {
        Text put(text), back;
        ASSERT_EQ(r->put_RidStringValue(put.b), S_OK);
        EXPECT_EQ(r->get_RidStringValue(&back.b), S_OK);
        EXPECT_EQ(back.str(), stored);
    }
    auto writes = adapter->requests(OID_VIREO_RECORD);
    std::erase_if(writes, [](const Request& q) { return q.type != NdisRequestSetInformation; });
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes.back().in.at(2), 31u);  // "x" and ten 3-byte characters
}

struct DecodeCase {
    const char* name;
    std::vector<WORD> record;
    std::u16string text;
    HRESULT status = S_OK;
};
void PrintTo(const DecodeCase& c, std::ostream* os) { *os << c.name; }

// A text record's 17 data words.
std::vector<WORD> padded(std::vector<WORD> words) {
    words.resize(17, 0);
    return words;
}

class RidStringDecode : public RidsTest, public ::testing::WithParamInterface<DecodeCase> {};

// The text read before is "prev": what the record holds now replaces it, and a record without a
// usable count gives status 1 and no text.
TEST_P(RidStringDecode, DecodesWhatTheAdapterHolds) {
    const DecodeCase& c = GetParam();
    open();
    ASSERT_TRUE(adapter->setRecord(kTextRecord, padded({4, 'p' | 'r' << 8, 'e' | 'v' << 8})));
    ComPtr<IRid> r = rid(kTextRecord);
    Text prev;
    r->get_RidStringValue(&prev.b);
    ASSERT_EQ(prev.str(), u"prev");
    ASSERT_TRUE(adapter->setRecord(kTextRecord, padded(c.record)));
    Text text;
    EXPECT_EQ(r->get_RidStringValue(&text.b), c.status);
    EXPECT_EQ(text.str(), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RidStringDecode,
    ::testing::Values(DecodeCase{"OddCount", {3, 'A' | 'B' << 8, 'C' | 'X' << 8, 0}, u"ABC"},
                      DecodeCase{"ZeroLowByteEndsPair", {4, 'A' | 'B' << 8, 0 | 'Z' << 8, 0}, u"AB"},
                      DecodeCase{"ZeroHighByte", {4, 'A' | 0 << 8, 'C' | 'D' << 8, 0}, u"ACD"},
                      DecodeCase{"Latin1", {2, 0xE9 | 'e' << 8, 0, 0}, u"\u00E9e"},
                      DecodeCase{"Utf8", {3, 0xC3 | 0xA9 << 8, 'e', 0}, u"\u00E9e"},
                      DecodeCase{"CountZeroIsEmpty", {0, 'A' | 'B' << 8, 0, 0}, u""},
                      DecodeCase{"FirstWordZeroIsEmpty", {2, 0, 0, 0}, u""},
                      DecodeCase{"CountBeyondTheRecord", {33, 'A' | 'B' << 8, 0, 0}, u"", S_FALSE},
                      DecodeCase{"CountFillsRecord", {32, 'A' | 'B' << 8, 'C' | 'D' << 8, 'E' | 'F' << 8,
                                                      'G' | 'H' << 8, 'I' | 'J' << 8, 'K' | 'L' << 8, 'M' | 'N' << 8,
                                                      'O' | 'P' << 8, 'Q' | 'R' << 8, 'S' | 'T' << 8, 'U' | 'V' << 8,
                                                      'W' | 'X' << 8, 'Y' | 'Z' << 8, 'a' | 'b' << 8, 'c' | 'd' << 8,
                                                      'e' | 'f' << 8},
                                 u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdef"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RidsTest, CallsWithoutASessionAreRefused) {
    open();
    auto* bare = new Rid();
    ComPtr<IRid> r(bare);
    bare->describe(kWordRecord, 4, 0);
    LONG value = 0;
    Var bytes, ints;
    Text text, newText(u"abc");
    ArrayArg byteArg(VT_UI1, {1, 2, 3, 4, 5, 6});
    ArrayArg intArg(VT_I4, {1, 2, 3});
    const std::vector<std::pair<const char*, std::function<HRESULT()>>> calls{
        {"GetAsInteger", [&] { return r->GetAsInteger(1, &value); }},
        {"SetAsInteger", [&] { return r->SetAsInteger(1, 1); }},
        {"RidAsByteArray get", [&] { return r->get_RidAsByteArray(&bytes.v); }},
        {"RidAsIntArray get", [&] { return r->get_RidAsIntArray(&ints.v); }},
        {"RidAsByteArray put", [&] { return r->put_RidAsByteArray(byteArg.v); }},
        {"RidAsIntArray put", [&] { return r->put_RidAsIntArray(intArg.v); }},
        {"RidStringValue get", [&] { return r->get_RidStringValue(&text.b); }},
        {"RidStringValue put", [&] { return r->put_RidStringValue(newText.b); }}};
    for (const auto& [name, call] : calls) {
        EXPECT_EQ(call(), S_FALSE) << name;
        EXPECT_EQ(takeErrorText(), u"No Adapter Object Reference") << name;
    }
    EXPECT_TRUE(arrayOf(bytes.v, VT_UI1).empty());
    EXPECT_TRUE(arrayOf(ints.v, VT_I2).empty());
    ComPtr<IRids> lonely;
    oleaut::createObject<Rids>(IRids::iid, lonely.putVoid());
    EXPECT_EQ(lonely->_SetApiObj(0), S_FALSE);
    EXPECT_EQ(takeErrorText(), u"No Adapter Object Reference");
    LONG count = -1;
    lonely->get_Count(&count);
    EXPECT_EQ(count, 0);
    EXPECT_TRUE(adapter->requests().empty());
}

// Through the Vireo object: the adapter follows the channel command, and a written record sticks.
TEST_F(RidsTest, AdapterReactsThroughTheVireoObject) {
    open();
    ComPtr<IVireo> vireo;
    ASSERT_EQ(oleaut::createObject<Vireo>(IVireo::iid, vireo.putVoid()), S_OK);
    vireo->_SetApiObj(adapter->apiHandle());
    ComPtr<IDispatch> ridsDispatch;
    vireo->get_RIDs(ridsDispatch.put());
    rids = ridsDispatch.as<IRids>();
    ASSERT_TRUE(rids);
    ASSERT_EQ(vireo->SetChannel(6), S_OK);
    Text channelKey(u"FDC1");
    LONG channel = 0;
    EXPECT_EQ(item(keyIndex(channelKey))->GetAsInteger(1, &channel), S_OK);
    EXPECT_EQ(channel, 6);

    ComPtr<IRid> fc00 = item(intIndex(1));
    ASSERT_EQ(idOf(fc00.get()), u"FC00");
    for (LONG value : {3, 5}) {
        ArrayArg arg(VT_I4, {value});
        ASSERT_EQ(fc00->put_RidAsIntArray(arg.v), S_OK);
        LONG back = 0;
        EXPECT_EQ(fc00->GetAsInteger(1, &back), S_OK);
        EXPECT_EQ(back, value);
    }
}

// The 504-byte buffer carries a length word of at most 251: the record number and 250 data words.
TEST(RecordLayout, DataWordsWithinTheBuffer) {
    const std::vector<std::pair<WORD, std::optional<std::size_t>>> cases{
        {0, std::nullopt}, {1, 0}, {2, 1}, {251, 250}, {252, std::nullopt}, {0xFFFF, std::nullopt}};
    for (const auto& [length, words] : cases) EXPECT_EQ(dataWordCount(length), words) << length;
}

TEST(RidSurface, MembersInSlotOrder) {
    const std::vector<const char16_t*> names{u"_SetApiObj", u"type", u"Id", u"setId", u"Key", u"setKey", u"No", u"setNo",
                               u"Length", u"setLength", u"Name", u"RidAsByteArray", u"RidStringValue",
                               u"RidAsIntArray", u"GetAsInteger", u"SetAsInteger"};
    ComPtr<IRid> r;
    ASSERT_EQ(oleaut::createObject<Rid>(IRid::iid, r.putVoid()), S_OK);
    expectSlotOrder(r.get(), names);
}

}  // namespace
}  // namespace direzo::testing
