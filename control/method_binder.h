// Dispatch entries made from the control's member functions: the parameter
// count, the parameter and result types are read from the function's own
// signature, so a method is declared once (in the control's header) and
// bound here by DISPID, name and parameter names.
//
//   table.Add(Bind<&CQorvClientATMCtrl::ChangePIN>(25, "ChangePIN",
//                                                  {"pOldPwdStr", "pNewPwdStr"}));
//
// Parameters are `int32_t` (long) or `const ScriptText&` (text); results are
// `int32_t` or `ScriptText`. A parameter name list whose length differs from
// the function's arity does not compile. Handlers get references to the
// coerced arguments; the binder wipes every text argument once the handler
// has returned, so no handler keeps or wipes copies of its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <tuple>
#include <type_traits>
#include <utility>
#include <variant>

#include "base/script_value.h"
#include "base/secure_wipe.h"
#include "control/dispatch_table.h"
#include "control/qorv_client_atm_ctrl.h"

namespace qorv::control {
namespace binding {

// The scripting type of one parameter and the value the binder keeps for it.
template <typename Param>
struct ParamBinding;

template <>
struct ParamBinding<int32_t> {
    static constexpr ScriptType kType = ScriptType::Long;
    using Stored = int32_t;
    static void Take(ScriptValue& value, Stored& kept) { kept = std::get<int32_t>(value); }
    static void Wipe(Stored&) noexcept {}
};

template <>
struct ParamBinding<const ScriptText&> {
    static constexpr ScriptType kType = ScriptType::Text;
    using Stored = ScriptText;
    // Moves the coerced text straight into the kept value (a temporary in
    // between would leave a short text's units on the stack); the moved-from
    // value is wiped with the argument list.
    static void Take(ScriptValue& value, Stored& kept) {
        if (!IsNullText(value)) kept.emplace(std::move(std::get<std::u16string>(value)));
    }
    static void Wipe(Stored& text) noexcept {
        if (text) SecureWipe(*text);
    }
};

template <typename Result>
struct ResultBinding;

template <>
struct ResultBinding<int32_t> {
    static constexpr ScriptType kType = ScriptType::Long;
    static ScriptValue ToValue(int32_t value) { return value; }
};

template <>
struct ResultBinding<ScriptText> {
    static constexpr ScriptType kType = ScriptType::Text;
    // The null string stays null, everything else is a string.
    static ScriptValue ToValue(ScriptText text) {
        if (!text) return nullptr;
        return std::move(*text);
    }
};

template <typename Method>
struct Signature;

template <typename Result, typename... Params>
struct Signature<Result (CQorvClientATMCtrl::*)(Params...)> {
    using ResultType = Result;
    using ParamTuple = std::tuple<Params...>;
    static constexpr std::size_t kArity = sizeof...(Params);
};

template <typename Result, typename... Params>
struct Signature<Result (CQorvClientATMCtrl::*)(Params...) const>
    : Signature<Result (CQorvClientATMCtrl::*)(Params...)> {};

// Wipes the kept arguments on every exit of the call.
template <typename Tuple>
class KeptArguments {
  public:
    explicit KeptArguments(Tuple& kept) : kept_(kept) {}
    KeptArguments(const KeptArguments&) = delete;
    KeptArguments& operator=(const KeptArguments&) = delete;
    ~KeptArguments() { Wipe(std::make_index_sequence<std::tuple_size_v<Tuple>>{}); }

  private:
    template <std::size_t... I>
    void Wipe(std::index_sequence<I...>) noexcept {
        (WipeOne(std::get<I>(kept_)), ...);
    }
    static void WipeOne(int32_t&) noexcept {}
    static void WipeOne(ScriptText& text) noexcept { ParamBinding<const ScriptText&>::Wipe(text); }

    Tuple& kept_;
};

template <auto Method, typename... Params, std::size_t... I>
ScriptValue CallWith(CQorvClientATMCtrl& control, [[maybe_unused]] std::span<ScriptValue> values,
                     std::index_sequence<I...>) {
    using Result = typename Signature<decltype(Method)>::ResultType;
    std::tuple<typename ParamBinding<Params>::Stored...> kept{};
    KeptArguments guard(kept);
    (ParamBinding<Params>::Take(values[I], std::get<I>(kept)), ...);
    return ResultBinding<Result>::ToValue((control.*Method)(std::get<I>(kept)...));
}

template <auto Method, typename ParamTuple>
struct Invoker;

template <auto Method, typename... Params>
struct Invoker<Method, std::tuple<Params...>> {
    static ScriptValue Call(CQorvClientATMCtrl& control, std::span<ScriptValue> values) {
        return CallWith<Method, Params...>(control, values, std::index_sequence_for<Params...>{});
    }
    static std::vector<ParamSpec> Specs(std::span<const char* const> names) {
        constexpr ScriptType types[] = {ParamBinding<Params>::kType..., ScriptType::Long};
        std::vector<ParamSpec> specs;
        for (std::size_t i = 0; i < names.size(); ++i) specs.push_back({names[i], types[i]});
        return specs;
    }
};

}  // namespace binding

// The entry of a method with parameters: one name per parameter.
template <auto Method, std::size_t N>
MethodEntry Bind(int32_t dispid, const char* name, const char* const (&paramNames)[N]) {
    using Sig = binding::Signature<decltype(Method)>;
    static_assert(N == Sig::kArity, "one parameter name per parameter of the method");
    using Call = binding::Invoker<Method, typename Sig::ParamTuple>;
    return {dispid, name, Call::Specs(paramNames),
            binding::ResultBinding<typename Sig::ResultType>::kType, &Call::Call};
}

// The entry of a method without parameters.
template <auto Method>
MethodEntry Bind(int32_t dispid, const char* name) {
    using Sig = binding::Signature<decltype(Method)>;
    static_assert(Sig::kArity == 0, "a method with parameters needs their names");
    using Call = binding::Invoker<Method, typename Sig::ParamTuple>;
    return {dispid, name, {}, binding::ResultBinding<typename Sig::ResultType>::kType, &Call::Call};
}

}  // namespace qorv::control
