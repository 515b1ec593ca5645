// Requests and replies of the host, as JSON:
//   {"id": 7, "method": "GetReaderName", "params": [0]}   (or "dispid": 4)
//   {"id": 7, "result": "Virtual PCD 00 00"}
//   {"id": 7, "error": {"code": -2147352570, "name": "DISP_E_UNKNOWNNAME", "message": "..."}}
// A parameter is a string (text), null (the null string) or an integer (long).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qorv::control {
class CQorvClientATMCtrl;
}

namespace qorv::host {

// Never throws: every bad input becomes an error reply.
std::string HandleRequest(control::CQorvClientATMCtrl& control, std::string_view request);

// The reply to a frame that was too large to read.
std::string FrameTooLargeReply(std::size_t size);

// An error reply without an id (the request could not be read far enough).
std::string ErrorReply(int32_t code, const std::string& message);

}  // namespace qorv::host
