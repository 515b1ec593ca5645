// The dispatch interface of the control: (DISPID, name, parameter names and
// types, result type) per served method, looked up by name the way
// automation does (ASCII case ignored) or by DISPID.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/script_value.h"

namespace qorv::control {

class CQorvClientATMCtrl;

struct ParamSpec {
    std::string name;
    ScriptType type;
};

// Calls the method with the arguments already coerced to the declared
// parameter types; the handler may move texts out of them (the caller wipes
// the list afterwards).
using MethodHandler = ScriptValue (*)(CQorvClientATMCtrl&, std::span<ScriptValue>);

struct MethodEntry {
    int32_t dispid;
    std::string name;
    std::vector<ParamSpec> params;
    ScriptType result;
    MethodHandler handler;
};

class DispatchTable {
  public:
    void Add(MethodEntry entry);
    const MethodEntry* FindByName(std::string_view name) const;
    const MethodEntry* FindByDispid(int32_t dispid) const;
    const std::vector<MethodEntry>& methods() const { return methods_; }

  private:
    std::vector<MethodEntry> methods_;
};

// The table of the control, built once from every subsystem's methods.
const DispatchTable& ControlDispatchTable();

// Methods that the type library declares (DISPIDs 68 to 110) and the control
// never serves: a name lookup fails with unknown-name, a DISPID call with
// member-not-found.
struct DeclaredMethod {
    int32_t dispid;
    const char* name;
};
std::span<const DeclaredMethod> TypeLibraryOnlyMethods();

// Registration of each subsystem's entries.
void AddReaderMethods(DispatchTable& table);
void AddCachedResultGetters(DispatchTable& table);
void AddCardMethods(DispatchTable& table);
void AddConfirmedMethods(DispatchTable& table);
void AddCryptoMethods(DispatchTable& table);
void AddModuleMethods(DispatchTable& table);

}  // namespace qorv::control
