// The self-check's findings: what the product needs on a customer's machine
// and what this machine has. Each check reads only the Machine it is given.
#pragma once

#include <string>
#include <vector>

#include "host/doctor_machine.h"

namespace qorv::host {

enum class Severity {
    Ok,
    // Worth knowing and fixing, but a bank page can still work.
    Warning,
    // A bank page cannot work until it is fixed.
    Problem,
};

// One text in the two languages the self-check speaks.
struct Said {
    std::string zh;  // Traditional Chinese
    std::string en;
};

struct Finding {
    std::string topic;  // "pcscd", "reader", "browser:firefox", "display", ...
    Severity severity = Severity::Ok;
    Said found;   // what was found
    Said action;  // the one thing to do; empty when nothing is to be done
};

std::vector<Finding> CheckSmartCards(const Machine& machine);
std::vector<Finding> CheckBrowsers(const Machine& machine);
std::vector<Finding> CheckDisplay(const Machine& machine);
std::vector<Finding> CheckFont(const Machine& machine);

// Every check, in the order they are printed.
std::vector<Finding> CheckEverything(const Machine& machine);

}  // namespace qorv::host
