// The Adapter object: one network adapter of the host, its texts from the registry, and the
// AdapterSession it owns.
#pragma once

#include <memory>
#include <string>

#include "common/text.h"
#include "direzo/adapters.h"
#include "direzo/vireo.h"
#include "server/module.h"
#include "transport/adapter_session.h"

namespace direzo {

class Adapter final : public ComponentObject<Adapter, IAdapter> {
public:
    static constexpr const ClassDescriptor& kClass = kAdapterClass;
    static const oleaut::InterfaceDesc& dispatchTable();

    Adapter();
    ~Adapter() override;

    HRESULT get_SymbolicLink(BSTR* pVal) override { return copyText(symbolicLink_, pVal); }
    HRESULT get_ProductName(BSTR* pVal) override { return copyText(productName_, pVal); }
    HRESULT get_Description(BSTR* pVal) override { return copyText(description_, pVal); }
    HRESULT get_Title(BSTR* pVal) override { return copyText(title_, pVal); }
    HRESULT get_ServiceName(BSTR* pVal) override { return copyText(serviceName_, pVal); }
    HRESULT get_Label(BSTR* pVal) override { return copyText(label_, pVal); }
    HRESULT get_Enumerator(BSTR* pVal) override { return copyText(enumerator_, pVal); }
    HRESULT setSymbolicLink(BSTR newVal) override { return setText(symbolicLink_, newVal); }
    HRESULT setProductName(BSTR newVal) override { return setText(productName_, newVal); }
    HRESULT setDescription(BSTR newVal) override { return setText(description_, newVal); }
    HRESULT setTitle(BSTR newVal) override { return setText(title_, newVal); }
    HRESULT setServiceName(BSTR newVal) override { return setText(serviceName_, newVal); }
    HRESULT setLabel(BSTR newVal) override { return setText(label_, newVal); }
    HRESULT setEnumerator(BSTR newVal) override { return setText(enumerator_, newVal); }

    HRESULT get_IsOpen(LONG* pVal) override;
    HRESULT get_IsVela(LONG* pVal) override;
    HRESULT get_DriverVersion(LONG* pVal) override;
    HRESULT get_Vireo(IDispatch** pVal) override;
    HRESULT Open(LONG* result) override;
    HRESULT Close() override;
    HRESULT InitializeVireoObj() override;

private:
    static HRESULT setText(std::u16string& text, BSTR newVal);
    bool probeVela();

    bool isOpen_ = false;
    bool isVela_ = false;
    std::u16string enumerator_, title_, label_, serviceName_, description_, productName_, symbolicLink_;
    std::unique_ptr<AdapterSession> session_;
    ComPtr<IVireo> vireo_;
};

}  // namespace direzo
