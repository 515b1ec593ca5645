// The served method table as JSON, for tools and the test that compares it
// with the page library: an array in DISPID order of
//   {"dispid": 6, "name": "ConnectCard",
//    "params": [{"name": "pReaderName", "type": "text"}], "result": "long"}
#pragma once

#include <string>

namespace qorv::host {

std::string MethodTableJson();

}  // namespace qorv::host
