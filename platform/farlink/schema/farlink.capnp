# The wire of the remote provider: automation objects as Cap'n Proto capabilities.
#
# A connection's bootstrap capability is the host's Exporter; it is reachable only after the TLS
# handshake has authenticated the client's certificate. Every object that crosses (an IDispatch,
# an enumerator, a connection point, an event sink) is an Object capability; dropping the last
# reference to it releases the object on the side that owns it. Texts that are BSTRs travel as
# UTF-16 code units, so every BSTR arrives exactly as it was sent.
@0xb46f79d5f57978e4;

$import "/capnp/c++.capnp".namespace("farlink::wire");

interface Exporter {
  createInstance @0 (clsid :Data, iids :List(Data)) -> (hr :Int32, object :ObjectRef, answers :List(Int32));
  # Creates a class of the host's registry by its class id in the connection's apartment, and
  # answers which of the interfaces `iids` the object has (one status each).
}

struct ObjectRef {
  # One object: `id` names its identity within the connection (the same object always comes with
  # the same id), `cap` is null for a null reference. `home`: the object is one the receiver
  # exported itself (then `id` is the receiver's own id for it).
  id @0 :UInt64;
  cap @1 :Object;
  home @2 :Bool;
}

interface Object {
  queryInterface @0 (iid :Data) -> (hr :Int32);

  # IDispatch
  getTypeInfoCount @1 () -> (hr :Int32, count :UInt32);
  getTypeInfo @2 (index :UInt32, knownLibraries :List(Data)) -> (hr :Int32, iid :Data, libid :Data, library :TypeLibrary);
  # `library` is left out when its id is among `knownLibraries`.
  getIDsOfNames @3 (names :List(Data)) -> (hr :Int32, dispids :List(Int32));
  invoke @4 (dispid :Int32, flags :UInt16, lcid :UInt32, args :List(Variant), named :List(Int32),
          wantResult :Bool, wantException :Bool)
      -> (hr :Int32, result :Variant, byRef :List(Variant), argErr :UInt32, exception :ExcepInfo, error :ErrorInfo);
  # `args` in the caller's order (last argument first); `byRef` holds, for each argument, its value
  # after the call when it was passed by reference.
  supportsErrorInfo @5 (iid :Data) -> (hr :Int32);

  # IEnumVARIANT
  next @6 (count :UInt32) -> (hr :Int32, items :List(Variant));
  skip @7 (count :UInt32) -> (hr :Int32);
  reset @8 () -> (hr :Int32);
  clone @9 () -> (hr :Int32, object :ObjectRef);

  # IConnectionPointContainer
  findConnectionPoint @10 (iid :Data) -> (hr :Int32, point :ObjectRef);
  enumConnectionPoints @11 () -> (hr :Int32, points :List(ObjectRef));

  # IConnectionPoint
  getConnectionInterface @12 () -> (hr :Int32, iid :Data);
  advise @13 (sink :ObjectRef) -> (hr :Int32, cookie :UInt32);
  unadvise @14 (cookie :UInt32) -> (hr :Int32);
}

struct Variant {
  vt @0 :UInt16;       # the VARTYPE without VT_BYREF
  byRef @1 :Bool;      # passed by reference: the callee's value comes back
  union {
    none @2 :Void;     # VT_EMPTY, VT_NULL
    integer @3 :Int64; # the integer types, VT_BOOL, VT_ERROR, VT_CY
    real @4 :Float64;  # VT_R4, VT_R8, VT_DATE
    text @5 :Data;     # VT_BSTR: UTF-16 code units, little-endian; null for a null BSTR
    object @6 :ObjectRef;  # VT_DISPATCH, VT_UNKNOWN
    array @7 :SafeArray;   # with VT_ARRAY in vt
    variant @8 :Variant;   # VT_VARIANT by reference
  }
}

struct SafeArray {
  # One dimension; vt of the enclosing Variant names the element type.
  lowerBound @0 :Int32;
  union {
    bytes @1 :Data;
    integers @2 :List(Int64);
    reals @3 :List(Float64);
    texts @4 :List(Data);
    variants @5 :List(Variant);
    objects @6 :List(ObjectRef);
  }
}

struct ErrorInfo {
  # The thread's error object after a call (`present` false: there was none).
  present @0 :Bool;
  guid @1 :Data;
  source @2 :Data;
  description @3 :Data;
  helpFile @4 :Data;
  helpContext @5 :UInt32;
}

struct ExcepInfo {
  present @0 :Bool;
  code @1 :UInt16;
  source @2 :Data;
  description @3 :Data;
  helpFile @4 :Data;
  helpContext @5 :UInt32;
  scode @6 :Int32;
}

struct TypeLibrary {
  # What a late-bound client learns of the object's type library: its dispatch interfaces (with
  # every member's name, dispatch id, invoke kind and parameters) and its classes.
  name @0 :Data;
  libid @1 :Data;
  majorVersion @2 :UInt16;
  minorVersion @3 :UInt16;
  lcid @4 :UInt32;
  doc @5 :Data;
  interfaces @6 :List(Interface);
  coclasses @7 :List(CoClass);

  struct Interface {
    name @0 :Data;
    iid @1 :Data;
    doc @2 :Data;
    typeFlags @3 :UInt16;
    members @4 :List(Member);
  }
  struct Member {
    name @0 :Data;
    dispid @1 :Int32;
    kind @2 :UInt8;
    params @3 :List(Param);
    hidden @4 :Bool;
    doc @5 :Data;
  }
  struct Param {
    name @0 :Data;
    vt @1 :UInt16;
    flags @2 :UInt16;
  }
  struct CoClass {
    name @0 :Data;
    clsid @1 :Data;
    doc @2 :Data;
    defaultInterface @3 :Data;  # an iid, or empty
    sourceInterface @4 :Data;
  }
}
