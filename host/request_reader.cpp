#include "host/request_reader.h"

#include <limits>

#include "base/secure_wipe.h"
#include "base/utf16.h"

namespace qorv::host {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Where a decoded string goes: nowhere (validation only), UTF-16 or UTF-8.
// Both outputs are reserved to the raw length first, which no decoding
// exceeds, so they never reallocate and leave no copy behind.
struct Discard {
    void Reserve(std::size_t) {}
    void Append(char32_t) {}
    void AppendAscii(std::string_view) {}
};
struct ToUtf16 {
    std::u16string& out;
    void Reserve(std::size_t size) { out.reserve(size); }
    void Append(char32_t cp) { AppendUtf16(out, cp); }
    // Unit by unit: append(first, last) over chars would build the run in a
    // temporary string first and free it unwiped.
    void AppendAscii(std::string_view run) {
        for (const char c : run) out.push_back(static_cast<char16_t>(c));
    }
};
struct ToUtf8 {
    std::string& out;
    void Reserve(std::size_t size) { out.reserve(size); }
    void Append(char32_t cp) { AppendUtf8(out, cp); }
    void AppendAscii(std::string_view run) { out.append(run); }
};

// A character of a JSON string that stands for itself.
bool IsPlainAscii(uint8_t c) {
    return c >= 0x20 && c < 0x80 && c != '\\' && c != '"';
}

class Parser {
  public:
    explicit Parser(std::string_view text) : text_(text) {}

    bool tooDeep() const { return tooDeep_; }

    void SkipBlanks() {
        while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t' ||
                                       text_[pos_] == '\n' || text_[pos_] == '\r')) {
            ++pos_;
        }
    }
    bool AtEnd() const { return pos_ == text_.size(); }
    char Peek() const { return pos_ < text_.size() ? text_[pos_] : '\0'; }
    bool Take(char c) {
        if (Peek() != c) return false;
        ++pos_;
        return true;
    }
    std::size_t position() const { return pos_; }
    void Rewind(std::size_t pos) { pos_ = pos; }

    // Any JSON value, checked and skipped; `depth` counts the containers
    // around it.
    bool SkipValue(int depth) {
        SkipBlanks();
        switch (Peek()) {
            case '{':
                return SkipObject(depth + 1);
            case '[':
                return SkipArray(depth + 1);
            case '"': {
                Discard sink;
                return String(sink);
            }
            case 't':
                return Literal("true");
            case 'f':
                return Literal("false");
            case 'n':
                return Literal("null");
            default: {
                bool integer = false;
                JsonInteger value;
                return Number(integer, value);
            }
        }
    }

    bool Literal(std::string_view word) {
        if (text_.substr(pos_, word.size()) != word) return false;
        pos_ += word.size();
        return true;
    }

    // -?(0|[1-9][0-9]*)(.[0-9]+)?([eE][+-]?[0-9]+)?; `integer` when neither
    // fraction nor exponent is written.
    bool Number(bool& integer, JsonInteger& value) {
        value = {};
        value.negative = Take('-');
        const std::size_t digitsStart = pos_;
        if (Take('0')) {
        } else if (Peek() >= '1' && Peek() <= '9') {
            while (Peek() >= '0' && Peek() <= '9') ++pos_;
        } else {
            return false;
        }
        value.fits = true;
        for (std::size_t i = digitsStart; i < pos_; ++i) {
            const auto digit = static_cast<uint64_t>(text_[i] - '0');
            if (value.magnitude > (std::numeric_limits<uint64_t>::max() - digit) / 10) {
                value.fits = false;
                break;
            }
            value.magnitude = value.magnitude * 10 + digit;
        }
        if (value.negative && value.magnitude > uint64_t{1} << 63) value.fits = false;
        if (value.magnitude == 0) value.negative = false;  // -0 is 0
        integer = true;
        if (Take('.')) {
            integer = false;
            if (!Digits()) return false;
        }
        if (Take('e') || Take('E')) {
            integer = false;
            if (!Take('+')) Take('-');
            if (!Digits()) return false;
        }
        return true;
    }

    // A string at the current position, decoded into `sink`.
    template <typename Sink>
    bool String(Sink& sink) {
        if (!Take('"')) return false;
        // The raw length bounds the decoded length in either encoding.
        std::size_t end = pos_;
        while (end < text_.size() && text_[end] != '"') end += text_[end] == '\\' ? 2 : 1;
        if (end >= text_.size()) return false;
        sink.Reserve(end - pos_);
        while (pos_ < end) {
            // Names, numbers and most texts are plain ASCII: taken a run at a time.
            std::size_t run = pos_;
            while (run < end && IsPlainAscii(static_cast<uint8_t>(text_[run]))) ++run;
            if (run > pos_) {
                sink.AppendAscii(text_.substr(pos_, run - pos_));
                pos_ = run;
                continue;
            }
            const auto c = static_cast<uint8_t>(text_[pos_]);
            if (c < 0x20) return false;
            if (c == '\\') {
                if (!Escape(sink)) return false;
            } else {
                char32_t cp = 0;
                const std::size_t length = DecodeUtf8(text_.substr(pos_, end - pos_), cp);
                if (length == 0) return false;
                pos_ += length;
                sink.Append(cp);
            }
        }
        ++pos_;  // the closing quote
        return true;
    }

    bool EnterContainer(int depth) {
        if (depth > kMaxJsonDepth) {
            tooDeep_ = true;
            return false;
        }
        return true;
    }

  private:
    bool Digits() {
        const std::size_t start = pos_;
        while (Peek() >= '0' && Peek() <= '9') ++pos_;
        return pos_ > start;
    }

    bool SkipObject(int depth) {
        if (!EnterContainer(depth)) return false;
        ++pos_;
        SkipBlanks();
        if (Take('}')) return true;
        for (;;) {
            SkipBlanks();
            Discard key;
            if (!String(key)) return false;
            SkipBlanks();
            if (!Take(':')) return false;
            if (!SkipValue(depth)) return false;
            SkipBlanks();
            if (Take('}')) return true;
            if (!Take(',')) return false;
        }
    }

    bool SkipArray(int depth) {
        if (!EnterContainer(depth)) return false;
        ++pos_;
        SkipBlanks();
        if (Take(']')) return true;
        for (;;) {
            if (!SkipValue(depth)) return false;
            SkipBlanks();
            if (Take(']')) return true;
            if (!Take(',')) return false;
        }
    }

    bool Hex4(char32_t& unit) {
        if (pos_ + 4 > text_.size()) return false;
        unit = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = text_[pos_++];
            unit <<= 4;
            if (c >= '0' && c <= '9') {
                unit |= static_cast<char32_t>(c - '0');
            } else if (c >= 'a' && c <= 'f') {
                unit |= static_cast<char32_t>(c - 'a' + 10);
            } else if (c >= 'A' && c <= 'F') {
                unit |= static_cast<char32_t>(c - 'A' + 10);
            } else {
                return false;
            }
        }
        return true;
    }

    template <typename Sink>
    bool Escape(Sink& sink) {
        ++pos_;  // the backslash
        const char c = Peek();
        ++pos_;
        switch (c) {
            case '"':
            case '\\':
            case '/':
                sink.Append(static_cast<char32_t>(c));
                return true;
            case 'b':
                sink.Append(0x08);
                return true;
            case 'f':
                sink.Append(0x0C);
                return true;
            case 'n':
                sink.Append(0x0A);
                return true;
            case 'r':
                sink.Append(0x0D);
                return true;
            case 't':
                sink.Append(0x09);
                return true;
            case 'u':
                break;
            default:
                return false;
        }
        char32_t unit = 0;
        if (!Hex4(unit)) return false;
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            // A high surrogate counts only with the low one right after it.
            const std::size_t mark = pos_;
            char32_t low = 0;
            if (Take('\\') && Take('u') && Hex4(low) && low >= 0xDC00 && low <= 0xDFFF) {
                sink.Append(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                return true;
            }
            pos_ = mark;
            sink.Append(kReplacement);
            return true;
        }
        sink.Append(unit >= 0xDC00 && unit <= 0xDFFF ? kReplacement : unit);
        return true;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    bool tooDeep_ = false;
};

bool Int32Param(const JsonInteger& value, ScriptValue& out) {
    if (!value.fits) return false;
    if (value.negative) {
        if (value.magnitude > uint64_t{1} << 31) return false;
        out = static_cast<int32_t>(-static_cast<int64_t>(value.magnitude));
    } else {
        if (value.magnitude > static_cast<uint64_t>(std::numeric_limits<int32_t>::max()))
            return false;
        out = static_cast<int32_t>(value.magnitude);
    }
    return true;
}

// "params": counted first, so the list is reserved once; then each string
// is decoded into its own slot of the list.
bool ReadParams(Parser& parser, ParsedRequest& out) {
    const std::size_t start = parser.position();
    if (!parser.SkipValue(1)) return false;
    const std::size_t end = parser.position();
    parser.Rewind(start);
    parser.SkipBlanks();
    if (parser.Peek() != '[') {
        out.paramsIsArray = false;
        parser.Rewind(end);
        return true;
    }
    out.paramsIsArray = true;
    WipeValues(out.params);
    out.paramsError.clear();
    // The array is valid: count its values at depth one.
    std::size_t count = 0;
    parser.Take('[');
    parser.SkipBlanks();
    if (!parser.Take(']')) {
        for (;;) {
            parser.SkipValue(2);
            ++count;
            parser.SkipBlanks();
            if (parser.Take(']')) break;
            parser.Take(',');
        }
    }
    out.params.reserve(count);
    parser.Rewind(start);
    parser.SkipBlanks();
    parser.Take('[');
    for (std::size_t i = 0; i < count; ++i) {
        parser.SkipBlanks();
        const char c = parser.Peek();
        if (c == '"') {
            auto& text = out.params.emplace_back(std::in_place_type<std::u16string>);
            ToUtf16 sink{std::get<std::u16string>(text)};
            parser.String(sink);
        } else if (c == 'n') {
            parser.Literal("null");
            out.params.emplace_back(nullptr);
        } else if (c == '-' || (c >= '0' && c <= '9')) {
            bool integer = false;
            JsonInteger value;
            parser.Number(integer, value);
            ScriptValue param = nullptr;
            if (integer && value.fits) {
                if (!Int32Param(value, param) && out.paramsError.empty())
                    out.paramsError = "integer parameter outside the 32-bit signed range";
            } else if (out.paramsError.empty()) {
                out.paramsError = "a parameter must be a string, null or an integer";
            }
            out.params.push_back(param);
        } else {
            parser.SkipValue(2);
            if (out.paramsError.empty())
                out.paramsError = "a parameter must be a string, null or an integer";
            out.params.emplace_back(nullptr);
        }
        parser.SkipBlanks();
        parser.Take(',');
    }
    parser.Rewind(end);
    return true;
}

bool ReadMember(Parser& parser, const std::string& key, ParsedRequest& out) {
    auto once = [&](bool& seen) {
        if (seen && out.repeatedMember.empty()) out.repeatedMember = key;
        seen = true;
    };
    if (key == "params") {
        once(out.hasParams);
        return ReadParams(parser, out);
    }
    parser.SkipBlanks();
    const std::size_t start = parser.position();
    if (key == "method") {
        once(out.hasMethod);
        out.methodIsString = parser.Peek() == '"';
        if (out.methodIsString) {
            out.method.clear();
            out.method.shrink_to_fit();
            ToUtf8 sink{out.method};
            return parser.String(sink);
        }
    } else if (key == "id" || key == "dispid") {
        const bool isId = key == "id";
        once(isId ? out.hasId : out.hasDispid);
        bool integer = false;
        JsonInteger value;
        const char c = parser.Peek();
        if (c == '-' || (c >= '0' && c <= '9')) {
            if (!parser.Number(integer, value)) return false;
            (isId ? out.idIsInteger : out.dispidIsInteger) = integer && value.fits;
            (isId ? out.id : out.dispid) = value;
            return true;
        }
        (isId ? out.idIsInteger : out.dispidIsInteger) = false;
    }
    parser.Rewind(start);
    return parser.SkipValue(1);
}

bool ReadRequestObject(Parser& parser, ParsedRequest& out) {
    if (!parser.EnterContainer(1)) return false;
    parser.Take('{');
    parser.SkipBlanks();
    if (parser.Take('}')) return true;
    std::string key;
    for (;;) {
        parser.SkipBlanks();
        SecureWipe(key);
        ToUtf8 sink{key};
        if (!parser.String(sink)) return false;
        parser.SkipBlanks();
        if (!parser.Take(':')) return false;
        if (!ReadMember(parser, key, out)) return false;
        parser.SkipBlanks();
        if (parser.Take('}')) break;
        if (!parser.Take(',')) return false;
    }
    SecureWipe(key);
    return true;
}

}  // namespace

void ParseRequest(std::string_view text, ParsedRequest& out) {
    Parser parser(text);
    parser.SkipBlanks();
    bool valid = false;
    const bool object = parser.Peek() == '{';
    if (object) {
        valid = ReadRequestObject(parser, out);
    } else {
        valid = parser.SkipValue(0);
    }
    parser.SkipBlanks();
    if (valid && !parser.AtEnd()) valid = false;
    if (!valid) {
        WipeValues(out.params);
        out.syntax =
            parser.tooDeep() ? ParsedRequest::Syntax::TooDeep : ParsedRequest::Syntax::Malformed;
        return;
    }
    out.syntax = object ? ParsedRequest::Syntax::Ok : ParsedRequest::Syntax::NotAnObject;
}

}  // namespace qorv::host
