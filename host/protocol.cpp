#include "host/protocol.h"

#include <charconv>
#include <limits>

#include "base/secure_wipe.h"
#include "base/utf16.h"
#include "control/hresult.h"
#include "control/invoke.h"
#include "host/native_messaging.h"
#include "host/request_reader.h"

namespace qorv::host {
namespace {

// Replies are written by hand: a text result may be deciphered data, so the
// reply is sized first and filled once, never reallocated (a reallocation
// would leave a copy behind), and the caller wipes it after writing it.

// The escaped UTF-8 of one UTF-16 unit sequence, as a JSON string body.
// Unpaired surrogates become U+FFFD (UTF-8 cannot carry them).
template <typename Emit>
void EscapeUtf16(std::u16string_view text, Emit&& emit) {
    static constexpr char kHex[] = "0123456789abcdef";
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        switch (cp) {
            case '"':
                emit('\\'), emit('"');
                continue;
            case '\\':
                emit('\\'), emit('\\');
                continue;
            case '\n':
                emit('\\'), emit('n');
                continue;
            case '\r':
                emit('\\'), emit('r');
                continue;
            case '\t':
                emit('\\'), emit('t');
                continue;
            case '\b':
                emit('\\'), emit('b');
                continue;
            case '\f':
                emit('\\'), emit('f');
                continue;
            default:
                break;
        }
        if (cp < 0x20) {
            emit('\\'), emit('u'), emit('0'), emit('0');
            emit(kHex[cp >> 4]), emit(kHex[cp & 0xF]);
        } else if (cp < 0x80) {
            emit(static_cast<char>(cp));
        } else if (cp < 0x800) {
            emit(static_cast<char>(0xC0 | (cp >> 6)));
            emit(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            emit(static_cast<char>(0xE0 | (cp >> 12)));
            emit(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            emit(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            emit(static_cast<char>(0xF0 | (cp >> 18)));
            emit(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            emit(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            emit(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
}

std::size_t QuotedLength(std::u16string_view text) {
    std::size_t length = 2;
    EscapeUtf16(text, [&](char) { ++length; });
    return length;
}

void AppendQuoted(std::string& out, std::u16string_view text) {
    out.push_back('"');
    EscapeUtf16(text, [&](char c) { out.push_back(c); });
    out.push_back('"');
}

// The request's id as the reply echoes it: a JSON integer, or null.
struct ReplyId {
    bool known = false;
    JsonInteger value;

    std::string Text() const {
        if (!known) return "null";
        char digits[24];
        char* end = std::to_chars(digits, digits + sizeof digits, value.magnitude).ptr;
        return (value.negative ? "-" : "") + std::string(digits, end);
    }
};

std::string ErrorReplyFor(const ReplyId& id, int32_t code, const std::string& message) {
    // Messages are never secret, but they may carry bytes that are no UTF-8.
    const std::u16string text = Utf8ToUtf16(message);
    std::string reply = "{\"id\":" + id.Text() + ",\"error\":{\"code\":" + std::to_string(code) +
                        ",\"name\":\"" + control::HresultName(code) + "\",\"message\":";
    reply.reserve(reply.size() + QuotedLength(text) + 2);
    AppendQuoted(reply, text);
    reply += "}}";
    return reply;
}

std::string ResultReply(const ReplyId& id, const ScriptValue& value) {
    const std::string head = "{\"id\":" + id.Text() + ",\"result\":";
    std::string reply;
    if (const auto* text = std::get_if<std::u16string>(&value)) {
        reply.reserve(head.size() + QuotedLength(*text) + 1);
        reply += head;
        AppendQuoted(reply, *text);
    } else {
        reply = head;
        if (const auto* number = std::get_if<int32_t>(&value)) {
            reply += std::to_string(*number);
        } else {
            reply += "null";
        }
    }
    reply += '}';
    return reply;
}

int32_t DispidOf(const JsonInteger& value) {
    // Beyond 32 bits no method has that DISPID.
    if (!value.fits) return -1;
    if (value.negative) {
        return value.magnitude > uint64_t{1} << 31
                   ? -1
                   : static_cast<int32_t>(-static_cast<int64_t>(value.magnitude));
    }
    return value.magnitude > static_cast<uint64_t>(std::numeric_limits<int32_t>::max())
               ? -1
               : static_cast<int32_t>(value.magnitude);
}

// Wipes the call's result on every exit: it may be deciphered data.
class ResultSecrets {
  public:
    explicit ResultSecrets(control::InvokeResult& result) : result_(result) {}
    ResultSecrets(const ResultSecrets&) = delete;
    ResultSecrets& operator=(const ResultSecrets&) = delete;
    ~ResultSecrets() {
        if (auto* text = std::get_if<std::u16string>(&result_.value)) SecureWipe(*text);
    }

  private:
    control::InvokeResult& result_;
};

}  // namespace

std::string ErrorReply(int32_t code, const std::string& message) {
    return ErrorReplyFor(ReplyId{}, code, message);
}

std::string FrameTooLargeReply(std::size_t size) {
    return ErrorReply(control::kInvalidArg,
                      "message of " + std::to_string(size) + " bytes exceeds the 1 MiB limit");
}

std::string HandleRequest(control::CQorvClientATMCtrl& control, std::string_view request) {
    ParsedRequest parsed;  // wipes the parameters it decoded on every exit
    ParseRequest(request, parsed);
    switch (parsed.syntax) {
        case ParsedRequest::Syntax::Ok:
            break;
        case ParsedRequest::Syntax::TooDeep:
            return ErrorReply(control::kInvalidArg, "JSON nested deeper than " +
                                                        std::to_string(kMaxJsonDepth) + " levels");
        case ParsedRequest::Syntax::NotAnObject:
            return ErrorReply(control::kInvalidArg, "a request must be a JSON object");
        case ParsedRequest::Syntax::Malformed:
            return ErrorReply(control::kInvalidArg, "malformed JSON");
    }
    if (!parsed.hasId || !parsed.idIsInteger) {
        return ErrorReply(control::kInvalidArg, "a request needs an integer \"id\"");
    }
    const ReplyId id{true, parsed.id};
    auto fail = [&](const std::string& message) {
        return ErrorReplyFor(id, control::kInvalidArg, message);
    };
    if (!parsed.repeatedMember.empty()) {
        return fail("a request names \"" + parsed.repeatedMember + "\" only once");
    }
    if (parsed.hasMethod == parsed.hasDispid) {
        return fail("a request names either \"method\" or \"dispid\"");
    }
    if (parsed.hasMethod && !parsed.methodIsString) return fail("\"method\" must be a string");
    if (parsed.hasDispid && !parsed.dispidIsInteger) return fail("\"dispid\" must be an integer");
    if (parsed.hasParams && !parsed.paramsIsArray) return fail("\"params\" must be an array");
    if (!parsed.paramsError.empty()) return fail(parsed.paramsError);

    control::InvokeResult result;
    const ResultSecrets secrets(result);
    result = parsed.hasMethod
                 ? control::InvokeByName(control, parsed.method, parsed.params)
                 : control::InvokeByDispid(control, DispidOf(parsed.dispid), parsed.params);
    if (result.hresult != control::kOk) return ErrorReplyFor(id, result.hresult, result.message);
    std::string reply = ResultReply(id, result.value);
    if (reply.size() > kMaxFrameBytes) {
        // The browser would drop a host that sends more: the page learns why.
        const std::size_t size = reply.size();
        SecureWipe(reply);
        return ErrorReplyFor(
            id, control::kInvalidArg,
            "the result of " + std::to_string(size) + " bytes exceeds the 1 MiB limit of a reply");
    }
    return reply;
}

}  // namespace qorv::host
