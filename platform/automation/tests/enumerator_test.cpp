#include <gtest/gtest.h>

#include <vector>

#include "test_object.h"
#include "test_support.h"

TEST(EnumVARIANT, WalksASnapshot) {
    std::vector<VARIANT> items(3);
    for (VARIANT& v : items) VariantInit(&v);
    items[0].vt = VT_I4;
    items[0].lVal = 10;
    items[1].vt = VT_BSTR;
    items[1].bstrVal = SysAllocString(u"FD43");
    items[2].vt = VT_I2;
    items[2].iVal = 30;
    ComPtr<IEnumVARIANT> e;
    ASSERT_EQ(oleaut::CreateEnumVARIANT(items, e.put()), S_OK);
    for (VARIANT& v : items) VariantClear(&v);  // the enumerator holds its own copies

    Var got[3];
    ULONG fetched = 0;
    ASSERT_EQ(e->Next(2, got, &fetched), S_OK);
    EXPECT_EQ(fetched, 2u);
    EXPECT_EQ(describe(got[0]), "I4:10");
    EXPECT_EQ(describe(got[1]), "BSTR:FD43");

    ComPtr<IEnumVARIANT> clone;
    ASSERT_EQ(e->Clone(clone.put()), S_OK);  // starts where the original stands
    Var rest[3];
    EXPECT_EQ(e->Next(3, rest, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 1u);
    EXPECT_EQ(describe(rest[0]), "I2:30");
    EXPECT_EQ(e->Next(1, rest + 1, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 0u);

    Var fromClone;
    EXPECT_EQ(clone->Next(1, &fromClone, nullptr), S_OK);
    EXPECT_EQ(describe(fromClone), "I2:30");

    ASSERT_EQ(e->Reset(), S_OK);
    EXPECT_EQ(e->Skip(2), S_OK);
    EXPECT_EQ(e->Skip(2), S_FALSE);
    ASSERT_EQ(e->Reset(), S_OK);
    Var again;
    EXPECT_EQ(e->Next(1, &again, nullptr), S_OK);
    EXPECT_EQ(describe(again), "I4:10");
}

namespace {

// A sink for the test object's events: an IDispatch that records what it is called with.
class Sink final : public IDispatch {
public:
    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        *ppv = nullptr;
        if (riid != IUnknown::iid && riid != IDispatch::iid) return E_NOINTERFACE;
        *ppv = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override { return --refs; }
    HRESULT GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* p, VARIANT*, EXCEPINFO*, UINT*) override {
        if (id == DISPID_Pinged && flags == DISPATCH_METHOD && p->cArgs == 1) received.push_back(p->rgvarg[0].lVal);
        return S_OK;
    }
    ULONG refs = 1;
    std::vector<LONG> received;
};

}  // namespace

TEST(ConnectionPoint, AdviseDeliverUnadvise) {
    Sink first, second;
    FakeObject notDispatch(false);
    {
        ComPtr<ITestObj> obj;
        ASSERT_EQ(oleaut::createObject<TestObj>(ITestObj::iid, obj.putVoid()), S_OK);
        ComPtr<IConnectionPointContainer> container = obj.as<IConnectionPointContainer>();
        ASSERT_TRUE(container);
        ComPtr<IConnectionPoint> cp;
        EXPECT_EQ(container->FindConnectionPoint(ITestObj::iid, cp.put()), CONNECT_E_NOCONNECTION);
        ASSERT_EQ(container->FindConnectionPoint(ITestEvents::iid, cp.put()), S_OK);
        IID iid{};
        cp->GetConnectionInterface(&iid);
        EXPECT_EQ(iid, ITestEvents::iid);
        ComPtr<IConnectionPointContainer> back;
        ASSERT_EQ(cp->GetConnectionPointContainer(back.put()), S_OK);
        EXPECT_EQ(back.get(), container.get());

        DWORD c1 = 0, c2 = 0, c3 = 0;
        ASSERT_EQ(cp->Advise(&first, &c1), S_OK);
        ASSERT_EQ(cp->Advise(&notDispatch, &c2), S_OK);  // any object may connect
        ASSERT_EQ(cp->Advise(&second, &c3), S_OK);
        EXPECT_EQ(c1, 1u);
        EXPECT_EQ(c2, 2u);
        EXPECT_EQ(c3, 3u);
        EXPECT_EQ(cp->Advise(nullptr, &c1), E_POINTER);

        obj->Ping(5);
        ASSERT_EQ(cp->Unadvise(1), S_OK);
        EXPECT_EQ(cp->Unadvise(1), CONNECT_E_NOCONNECTION);
        EXPECT_EQ(cp->Unadvise(0), CONNECT_E_NOCONNECTION);
        obj->Ping(6);
        EXPECT_EQ(first.received, (std::vector<LONG>{5}));
        EXPECT_EQ(second.received, (std::vector<LONG>{5, 6}));
        EXPECT_EQ(first.refs, 1u);  // released at Unadvise

        ComPtr<IEnumConnections> connections;
        ASSERT_EQ(cp->EnumConnections(connections.put()), S_OK);
        CONNECTDATA cd[3] = {};
        ULONG n = 0;
        EXPECT_EQ(connections->Next(3, cd, &n), S_FALSE);
        ASSERT_EQ(n, 2u);
        EXPECT_EQ(cd[0].dwCookie, 2u);
        EXPECT_EQ(cd[1].dwCookie, 3u);
        EXPECT_EQ(cd[1].pUnk, static_cast<IUnknown*>(&second));
        for (ULONG i = 0; i < n; ++i) cd[i].pUnk->Release();

        ComPtr<IEnumConnectionPoints> points;
        ASSERT_EQ(container->EnumConnectionPoints(points.put()), S_OK);
        IConnectionPoint* p[2] = {};
        EXPECT_EQ(points->Next(2, p, &n), S_FALSE);
        ASSERT_EQ(n, 1u);
        EXPECT_EQ(p[0], cp.get());
        p[0]->Release();
    }
    // The object's end releases the connections that were still open.
    EXPECT_EQ(second.refs, 1u);
    EXPECT_EQ(notDispatch.refs(), 1u);
}
