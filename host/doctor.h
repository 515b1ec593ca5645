// qorvclientatm-host --doctor: the self-check for customers and support.
#pragma once

#include <cstdio>
#include <vector>

#include "host/doctor_checks.h"

namespace qorv::host {

enum class Language { TraditionalChinese, English };

// Chinese for a Chinese locale (LC_ALL, then LC_MESSAGES, then LANG),
// English otherwise.
Language LanguageOf(const Machine& machine);

// Prints the findings, each problem with what to do; 0 when a bank page
// could work (no finding is a Problem), 1 otherwise.
int PrintDoctorReport(const std::vector<Finding>& findings, Language language, std::FILE* out);

// Checks the machine and prints the report; the exit code as above.
int RunDoctor(const Machine& machine, std::FILE* out);

}  // namespace qorv::host
