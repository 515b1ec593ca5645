// The host's command-line mode for people and scripts:
//   qorvclientatm-host --call ListReaders --call GetReaderName 0 --call ConnectCard "Virtual PCD 00
//   00"
// Every call runs on one control; each result is printed on a line of its
// own, with the null string shown as null and texts quoted.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace qorv::control {
class CQorvClientATMCtrl;
}

namespace qorv::host {

struct CliCall {
    std::string method;  // empty when called by DISPID
    int dispid = 0;
    std::vector<std::string> args;  // "@null" is the null string
};

// Parses "--call NAME ARGS..." and "--dispid N ARGS..." groups; false and a
// message on a malformed command line.
bool ParseCliCalls(const std::vector<std::string>& argv, std::vector<CliCall>& calls,
                   std::string& error);

// Runs the calls and prints the results; returns the process exit code
// (0, or 1 when a call failed in the automation layer).
int RunCliCalls(control::CQorvClientATMCtrl& control, const std::vector<CliCall>& calls,
                std::FILE* out);

}  // namespace qorv::host
