// Writes the seed corpus of the farlink fuzz target into a folder: what a client sends on an
// authenticated connection, one conversation per file. Each opens with the bootstrap (question 0,
// the exporter), creates component classes and calls the objects they answer, pipelined on the
// promised answers, as a client that does not wait for replies would.
#include <capnp/message.h>
#include <capnp/rpc.capnp.h>
#include <capnp/serialize.h>
#include <kj/io.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>

#include "direzo/classes.h"
#include "direzo/firmware.h"
#include "farlink.capnp.h"
#include "oleaut/oaidl.h"
#include "oleaut/ocidl.h"
#include "wire_values.h"

namespace {

using namespace farlink;
using Path = std::initializer_list<std::uint16_t>;

// Pointer fields from a promised answer to the capability it holds.
constexpr Path kCreated = {0, 0};        // createInstance: object.cap
constexpr Path kInvokeResult = {0, 0, 0};  // invoke: result.object.cap
constexpr Path kPoint = {0, 0};           // findConnectionPoint: point.cap; clone: object.cap

class Conversation {
public:
    Conversation() {
        capnp::MallocMessageBuilder m;
        m.initRoot<capnp::rpc::Message>().initBootstrap().setQuestionId(0);
        capnp::writeMessage(out_, m);
    }

    template <class Params>
    std::uint32_t call(std::uint32_t on, Path path, std::uint64_t interfaceId, std::uint16_t method,
                       const std::function<void(typename Params::Builder)>& fill) {
        capnp::MallocMessageBuilder m;
        auto c = m.initRoot<capnp::rpc::Message>().initCall();
        const std::uint32_t question = next_++;
        c.setQuestionId(question);
        auto promised = c.initTarget().initPromisedAnswer();
        promised.setQuestionId(on);
        auto ops = promised.initTransform(unsigned(path.size()));
        unsigned i = 0;
        for (auto field : path) ops[i++].setGetPointerField(field);
        c.setInterfaceId(interfaceId);
        c.setMethodId(method);
        fill(c.initParams().getContent().initAs<Params>());
        capnp::writeMessage(out_, m);
        return question;
    }

    std::uint32_t create(const GUID& clsid, std::initializer_list<GUID> iids) {
        return call<wire::Exporter::CreateInstanceParams>(0, {}, capnp::typeId<wire::Exporter>(), 0, [&](auto p) {
            p.setClsid(guidBytes(clsid));
            auto list = p.initIids(unsigned(iids.size()));
            unsigned i = 0;
            for (const auto& iid : iids) list.set(i++, guidBytes(iid));
        });
    }

    template <class Params>
    std::uint32_t on(std::uint32_t question, Path path, std::uint16_t method,
                     const std::function<void(typename Params::Builder)>& fill = [](typename Params::Builder) {}) {
        return call<Params>(question, path, capnp::typeId<wire::Object>(), method, fill);
    }

    std::uint32_t invoke(std::uint32_t question, Path path, std::int32_t dispid, std::uint16_t flags,
                         const std::function<void(capnp::List<wire::Variant>::Builder)>& args, unsigned count) {
        return on<wire::Object::InvokeParams>(question, path, 4, [&](auto p) {
            p.setDispid(dispid);
            p.setFlags(flags);
            p.setLcid(1033);
            if (count) args(p.initArgs(count));
            p.setWantResult(true);
            p.setWantException(true);
        });
    }

    void finish(std::uint32_t question) {
        capnp::MallocMessageBuilder m;
        m.initRoot<capnp::rpc::Message>().initFinish().setQuestionId(question);
        capnp::writeMessage(out_, m);
    }

    void save(const std::filesystem::path& file) {
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(out_.getArray().begin()), std::streamsize(out_.getArray().size()));
    }

private:
    kj::VectorOutputStream out_;
    std::uint32_t next_ = 1;
};

void integer(wire::Variant::Builder v, VARTYPE vt, std::int64_t value) {
    v.setVt(vt);
    v.setInteger(value);
}

void text(wire::Variant::Builder v, std::u16string_view s) {
    v.setVt(VT_BSTR);
    v.setText(textBytes(s));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const std::filesystem::path folder(argv[1]);
    std::filesystem::create_directories(folder);
    const GUID& adapters = direzo::kAdaptersClass.clsid;

    Conversation().save(folder / "bootstrap");

    {  // every class, each asked for IDispatch and an interface it lacks
        Conversation c;
        for (const auto* cls : direzo::kAllClasses) c.finish(c.create(cls->clsid, {IID_IDispatch, IID_IEnumVARIANT}));
        c.create(GUID{}, {IID_IUnknown});
        c.save(folder / "create-every-class");
    }
    {  // names, members, the default member with a bad and a good index, and an unknown member
        Conversation c;
        const auto q = c.create(adapters, {IID_IDispatch});
        c.on<wire::Object::GetIDsOfNamesParams>(q, kCreated, 3, [](auto p) {
            auto names = p.initNames(2);
            names.set(0, textBytes(u"Item"));
            names.set(1, textBytes(u"Count"));
        });
        c.invoke(q, kCreated, 1, DISPATCH_PROPERTYGET, {}, 0);
        c.invoke(q, kCreated, 0, DISPATCH_METHOD | DISPATCH_PROPERTYGET, [](auto a) { integer(a[0], VT_I4, 0); }, 1);
        c.invoke(q, kCreated, 0, DISPATCH_PROPERTYGET, [](auto a) { text(a[0], u"0001"); }, 1);
        c.invoke(q, kCreated, 77, DISPATCH_METHOD, {}, 0);
        c.save(folder / "adapters-members");
    }
    {  // every kind of argument value
        Conversation c;
        const auto q = c.create(direzo::kTalliesClass.clsid, {IID_IDispatch});
        c.invoke(q, kCreated, 1, DISPATCH_METHOD, [](auto a) {
            integer(a[0], VT_I4, -5);
            integer(a[1], VT_BOOL, -1);
            a[2].setVt(VT_R8);
            a[2].setReal(2.5);
            text(a[3], u"FC02");
            a[4].setVt(VT_ARRAY | VT_UI1);
            a[4].initArray().setBytes(kj::heapArray<capnp::byte>({1, 2, 3}));
            a[5].setVt(VT_ARRAY | VT_I4);
            auto ints = a[5].initArray().initIntegers(2);
            ints.set(0, 7);
            ints.set(1, -7);
            a[6].setVt(VT_ARRAY | VT_VARIANT);
            auto items = a[6].initArray().initVariants(2);
            integer(items[0], VT_I2, 3);
            text(items[1], u"x");
            integer(a[7], VT_I4, 9);
            a[7].setByRef(true);
            a[8].setVt(VT_VARIANT);
            a[8].setByRef(true);
            integer(a[8].initVariant(), VT_I4, 1);
            a[9].setVt(VT_DISPATCH);
            a[9].initObject();
            a[10].setVt(VT_NULL);
        }, 11);
        c.save(folder / "argument-kinds");
    }
    {  // a session handle that is not this apartment's, then a call that needs it
        Conversation c;
        const auto q = c.create(direzo::kTalliesClass.clsid, {IID_IDispatch});
        c.on<wire::Object::GetIDsOfNamesParams>(q, kCreated, 3, [](auto p) { p.initNames(1).set(0, textBytes(u"_SetApiObj")); });
        c.invoke(q, kCreated, 1, DISPATCH_METHOD, [](auto a) { integer(a[0], VT_I4, 0x12345678); }, 1);
        c.invoke(q, kCreated, 2, DISPATCH_METHOD, {}, 0);
        c.save(folder / "foreign-session-handle");
    }
    {  // type information
        Conversation c;
        const auto q = c.create(adapters, {IID_IDispatch});
        c.on<wire::Object::GetTypeInfoCountParams>(q, kCreated, 1);
        c.on<wire::Object::GetTypeInfoParams>(q, kCreated, 2);
        c.on<wire::Object::GetTypeInfoParams>(q, kCreated, 2, [](auto p) {
            p.setIndex(0);
            p.initKnownLibraries(1).set(0, guidBytes(direzo::LIBID_DIREZOLib));
        });
        c.on<wire::Object::SupportsErrorInfoParams>(q, kCreated, 5, [](auto p) { p.setIid(guidBytes(IID_IDispatch)); });
        c.save(folder / "type-information");
    }
    {  // the collection's enumerator
        Conversation c;
        const auto q = c.create(adapters, {IID_IDispatch});
        const auto e = c.invoke(q, kCreated, DISPID_NEWENUM, DISPATCH_PROPERTYGET, {}, 0);
        c.on<wire::Object::NextParams>(e, kInvokeResult, 6, [](auto p) { p.setCount(4); });
        c.on<wire::Object::SkipParams>(e, kInvokeResult, 7, [](auto p) { p.setCount(1); });
        c.on<wire::Object::ResetParams>(e, kInvokeResult, 8);
        const auto clone = c.on<wire::Object::CloneParams>(e, kInvokeResult, 9);
        c.on<wire::Object::NextParams>(clone, kPoint, 6, [](auto p) { p.setCount(1); });
        c.save(folder / "enumerator");
    }
    {  // connection points
        Conversation c;
        const auto q = c.create(direzo::kFirmwareClass.clsid, {IID_IDispatch, IID_IConnectionPointContainer});
        c.on<wire::Object::QueryInterfaceParams>(q, kCreated, 0, [](auto p) { p.setIid(guidBytes(IID_IConnectionPointContainer)); });
        c.on<wire::Object::EnumConnectionPointsParams>(q, kCreated, 11);
        const auto point = c.on<wire::Object::FindConnectionPointParams>(
            q, kCreated, 10, [](auto p) { p.setIid(guidBytes(_IFirmwareEvents::iid)); });
        c.on<wire::Object::GetConnectionInterfaceParams>(point, kPoint, 12);
        c.on<wire::Object::AdviseParams>(point, kPoint, 13, [](auto p) { p.initSink(); });
        c.on<wire::Object::UnadviseParams>(point, kPoint, 14, [](auto p) { p.setCookie(1); });
        c.save(folder / "connection-points");
    }
    return 0;
}
