// The enumerators the runtime hands out: VARIANTs and connection points.
#include "connection_enum.h"
#include "oleaut/com_object.h"
#include "snapshot_enum.h"
#include "variant_values.h"

using namespace oleaut::detail;

namespace {

struct VariantTraits {
    static HRESULT copy(const VARIANT& src, VARIANT& dest) { return copyVariant(src, dest); }
    static void clear(VARIANT& v) { VariantClear(&v); }
};

struct ConnectionTraits {
    static HRESULT copy(const CONNECTDATA& src, CONNECTDATA& dest) {
        dest = src;
        if (dest.pUnk) dest.pUnk->AddRef();
        return S_OK;
    }
    static void clear(CONNECTDATA& c) {
        if (IUnknown* p = std::exchange(c.pUnk, nullptr)) p->Release();
    }
};

struct PointTraits {
    static HRESULT copy(IConnectionPoint* const& src, IConnectionPoint*& dest) {
        dest = src;
        if (dest) dest->AddRef();
        return S_OK;
    }
    static void clear(IConnectionPoint*& p) {
        if (IConnectionPoint* q = std::exchange(p, nullptr)) q->Release();
    }
};

}  // namespace

namespace oleaut {

HRESULT CreateEnumVARIANT(const std::vector<VARIANT>& items, IEnumVARIANT** out) {
    return SnapshotEnum<IEnumVARIANT, VARIANT, VariantTraits>::create(items, out);
}

HRESULT CreateEnumConnectionPoints(const std::vector<IConnectionPoint*>& points, IEnumConnectionPoints** out) {
    return SnapshotEnum<IEnumConnectionPoints, IConnectionPoint*, PointTraits>::create(points, out);
}

namespace detail {
HRESULT createEnumConnections(const std::vector<CONNECTDATA>& connections, IEnumConnections** out) {
    return SnapshotEnum<IEnumConnections, CONNECTDATA, ConnectionTraits>::create(connections, out);
}
}  // namespace detail

}  // namespace oleaut
