// Reading a request frame: a JSON parser of our own, so that the texts a
// request carries (PINs among them) are decoded once, straight into the
// argument list that the call uses and that is wiped after it, with no
// parser buffer holding a copy. It also bounds the nesting depth before
// anything is built, and reads a lone surrogate escape (\udXXX, which
// Firefox passes on) as U+FFFD, the way Chromium delivers it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/script_value.h"

namespace qorv::host {

// Arrays and objects nested deeper than this are refused unread.
inline constexpr int kMaxJsonDepth = 16;

// A JSON integer as written; `fits` is false beyond 64 bits (JSON readers
// then take it as a floating-point number).
struct JsonInteger {
    bool negative = false;
    uint64_t magnitude = 0;
    bool fits = false;
};

struct ParsedRequest {
    enum class Syntax { Ok, Malformed, TooDeep, NotAnObject };
    Syntax syntax = Syntax::Malformed;

    // Each member: present, of the right JSON type, its value.
    bool hasId = false;
    bool idIsInteger = false;
    JsonInteger id;
    bool hasMethod = false;
    bool methodIsString = false;
    std::string method;  // UTF-8
    bool hasDispid = false;
    bool dispidIsInteger = false;
    JsonInteger dispid;
    bool hasParams = false;
    bool paramsIsArray = false;
    // The first parameter that is no string, null or 32-bit integer, and why.
    std::string paramsError;
    std::vector<ScriptValue> params;
    // A member named twice ("id", "method", "dispid" or "params"), else empty.
    std::string repeatedMember;

    ParsedRequest() = default;
    ParsedRequest(const ParsedRequest&) = delete;
    ParsedRequest& operator=(const ParsedRequest&) = delete;
    ~ParsedRequest() { WipeValues(params); }
};

// Never throws except std::bad_alloc.
void ParseRequest(std::string_view text, ParsedRequest& out);

}  // namespace qorv::host
