#include "host/doctor.h"

#include <algorithm>

namespace qorv::host {

Language LanguageOf(const Machine& machine) {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const std::string value = machine.Env(name);
        if (value.empty()) continue;
        return value.rfind("zh", 0) == 0 ? Language::TraditionalChinese : Language::English;
    }
    return Language::English;
}

int PrintDoctorReport(const std::vector<Finding>& findings, Language language, std::FILE* out) {
    const bool zh = language == Language::TraditionalChinese;
    const auto pick = [zh](const Said& said) { return zh ? said.zh : said.en; };
    std::fputs(zh ? "QorvClientATM 自我檢查\n" : "QorvClientATM self-check\n", out);
    for (const Finding& finding : findings) {
        const char* mark = finding.severity == Severity::Ok        ? "ok  "
                           : finding.severity == Severity::Warning ? "!   "
                                                                   : "FAIL";
        std::fprintf(out, "%s %s\n", mark, pick(finding.found).c_str());
        if (!pick(finding.action).empty()) {
            std::fprintf(out, "     %s %s\n", zh ? "→" : "->", pick(finding.action).c_str());
        }
    }
    const bool works = std::none_of(findings.begin(), findings.end(), [](const Finding& f) {
        return f.severity == Severity::Problem;
    });
    if (works) {
        std::fputs(
            zh ? "結果：銀行網頁可以使用晶片卡\n" : "result: a bank page can use the chip card\n",
            out);
    } else {
        std::fputs(
            zh ? "結果：請先處理標示 FAIL 的項目\n" : "result: fix the items marked FAIL first\n",
            out);
    }
    return works ? 0 : 1;
}

int RunDoctor(const Machine& machine, std::FILE* out) {
    return PrintDoctorReport(CheckEverything(machine), LanguageOf(machine), out);
}

}  // namespace qorv::host
