// The dispatch interface of the control: (DISPID, name, parameter names and
// types, result type) per served method, looked up by name the way
// automation does (ASCII case ignored) or by DISPID.
#pragma once

#include <cstdint>
#include <functional>
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

// Arguments already coerced to the declared parameter types.
class CallArgs {
  public:
    explicit CallArgs(std::span<const ScriptValue> values) : values_(values) {}
    int32_t Long(std::size_t i) const { return std::get<int32_t>(values_[i]); }
    ScriptText Text(std::size_t i) const {
        if (IsNullText(values_[i])) return std::nullopt;
        return std::get<std::u16string>(values_[i]);
    }
    std::size_t size() const { return values_.size(); }

  private:
    std::span<const ScriptValue> values_;
};

using MethodHandler = std::function<ScriptValue(CQorvClientATMCtrl&, const CallArgs&)>;

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
void AddCryptoMethods(DispatchTable& table);
void AddModuleMethods(DispatchTable& table);

}  // namespace qorv::control
