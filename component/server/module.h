// The component's module: its count of live objects and locks, its type library, and the base
// every automation class of the component derives from.
#pragma once

#include "direzo/classes.h"
#include "oleaut/com_object.h"

namespace direzo {

oleaut::ServerModule& module();
// The DIREZOLib type library, built once from the interfaces' tables (not counted as an object).
ITypeLib* typeLibrary();
const oleaut::TypeLibDesc& typeLibraryDesc();

// A dual interface's table, its members in slot order with their dispatch ids assigned.
oleaut::InterfaceDesc dualInterface(std::u16string name, const IID& iid, std::vector<oleaut::MemberDesc> members);
// An outgoing (event) interface: a dispatch interface implemented by the client's sinks.
oleaut::InterfaceDesc eventInterface(std::u16string name, const IID& iid, std::vector<oleaut::MemberDesc> members);

// Supplies what oleaut::DispatchObject asks of a class: the module, the type library and the
// error source (the class's version-dependent ProgID). Derived declares
//   static constexpr const ClassDescriptor& kClass = k...Class;
//   static const oleaut::InterfaceDesc& dispatchTable();
template <class Derived, class Itf, class Base = oleaut::DispatchObject<Derived, Itf>>
class ComponentObject : public Base {
public:
    static oleaut::ServerModule& module() { return direzo::module(); }
    static ITypeLib* typeLib() { return typeLibrary(); }
    static std::u16string_view errorSource() { return Derived::kClass.versionedProgId; }
};

template <class Derived, class Itf, class Source>
using ComponentObjectWithEvents =
    ComponentObject<Derived, Itf, oleaut::DispatchObjectWithEvents<Derived, Itf, Source>>;

}  // namespace direzo
