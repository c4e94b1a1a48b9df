#include "adapters/adapter.h"

#include "common/text.h"
#include "vireo/vireo.h"

namespace direzo {

const oleaut::InterfaceDesc& Adapter::dispatchTable() {
    static const oleaut::InterfaceDesc desc = [] {
        using oleaut::method;
        using oleaut::propget;
        return dualInterface(u"IAdapter", IAdapter::iid, {
            propget<&IAdapter::get_SymbolicLink>(u"SymbolicLink"),
            propget<&IAdapter::get_ProductName>(u"ProductName"),
            propget<&IAdapter::get_Description>(u"Description"),
            propget<&IAdapter::get_Title>(u"Title"),
            propget<&IAdapter::get_ServiceName>(u"ServiceName"),
            propget<&IAdapter::get_Label>(u"Label"),
            propget<&IAdapter::get_Enumerator>(u"Enumerator"),
            method<&IAdapter::setSymbolicLink>(u"setSymbolicLink", {u"newVal"}),
            method<&IAdapter::setProductName>(u"setProductName", {u"newVal"}),
            method<&IAdapter::setDescription>(u"setDescription", {u"newVal"}),
            method<&IAdapter::setTitle>(u"setTitle", {u"newVal"}),
            method<&IAdapter::setServiceName>(u"setServiceName", {u"newVal"}),
            method<&IAdapter::setLabel>(u"setLabel", {u"newVal"}),
            method<&IAdapter::setEnumerator>(u"setEnumerator", {u"newVal"}),
            propget<&IAdapter::get_IsOpen>(u"IsOpen"),
            propget<&IAdapter::get_IsVela>(u"IsVela"),
            propget<&IAdapter::get_DriverVersion>(u"DriverVersion"),
            propget<&IAdapter::get_Vireo>(u"Vireo"),
            method<&IAdapter::Open>(u"Open", {u"result"}),
            method<&IAdapter::Close>(u"Close"),
            method<&IAdapter::InitializeVireoObj>(u"InitializeVireoObj"),
        });
    }();
    return desc;
}

Adapter::Adapter() : session_(std::make_unique<AdapterSession>()) {}

// Releasing the adapter closes its session and releases the Vireo object (and with it every
// sub-object) before the session goes.
Adapter::~Adapter() {
    session_->Close();
    vireo_.reset();
}

HRESULT Adapter::setText(std::u16string& text, BSTR newVal) {
    text = fromBstr(newVal);
    return S_OK;
}

HRESULT Adapter::get_IsOpen(LONG* pVal) {
    if (!pVal) return E_POINTER;
    *pVal = isOpen_ ? 1 : 0;
    return S_OK;
}

// The probe reopens the session; an adapter that was closed is closed again afterwards.
bool Adapter::probeVela() {
    const bool wasOpen = isOpen_;
    const bool reopened = session_->Open(serviceName_, enumerator_);
    isVela_ = reopened && session_->QueryVela();
    if (!wasOpen) {
        session_->Close();
    } else if (!reopened) {
        // The old handle is gone and no new one was had: the adapter is no longer open.
        isOpen_ = false;
        vireo_.reset();
    }
    return isVela_;
}

HRESULT Adapter::get_IsVela(LONG* pVal) {
    if (!pVal) return E_POINTER;
    *pVal = probeVela() ? 1 : 0;
    return S_OK;
}

HRESULT Adapter::get_DriverVersion(LONG* pVal) {
    if (!pVal) return E_POINTER;
    DWORD version = 0;
    NdisRequestRecord record{};
    record.RequestType = NdisRequestQueryInformation;
    record.Oid = OID_GEN_VENDOR_DRIVER_VERSION;
    record.InformationBuffer = &version;
    record.InformationBufferLength = sizeof version;
    if (session_->RawRequest(record) != NDIS_STATUS_SUCCESS) return error(S_FALSE, u"NDIS Status Failure !");
    *pVal = LONG(version);
    return S_OK;
}

HRESULT Adapter::get_Vireo(IDispatch** pVal) {
    if (!pVal) return E_POINTER;
    *pVal = nullptr;
    if (vireo_) vireo_->QueryInterface(IDispatch::iid, reinterpret_cast<void**>(pVal));
    return S_OK;
}

HRESULT Adapter::Open(LONG* result) {
    if (!isOpen_) {
        isOpen_ = session_->Open(serviceName_, enumerator_);
        if (isOpen_) {
            InitializeVireoObj();
            if (vireo_ && isOpen_) vireo_->_SetApiObj(session_->apiHandle());
        }
    }
    if (result) *result = isOpen_ ? 1 : 0;
    return S_OK;
}

HRESULT Adapter::Close() {
    session_->Close();
    vireo_.reset();
    isVela_ = false;
    isOpen_ = false;
    return S_OK;
}

HRESULT Adapter::InitializeVireoObj() {
    if (probeVela() && !vireo_) {
        auto* created = new (std::nothrow) Vireo();
        if (!created) return S_OK;
        created->AddRef();
        if (created->complete()) vireo_ = ComPtr<IVireo>(created);
        created->Release();
    }
    return S_OK;
}

}  // namespace direzo
