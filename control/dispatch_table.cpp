#include "control/dispatch_table.h"

#include <algorithm>
#include <array>

#include "control/hresult.h"

namespace qorv::control {
namespace {

char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameNameIgnoringAsciiCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return AsciiLower(x) == AsciiLower(y);
           });
}

constexpr std::array<DeclaredMethod, 43> kTypeLibraryOnly{{
    {68, "FISC_Transmit"},
    {69, "FISC_CreateFile"},
    {70, "FISC_SelectParentDF"},
    {71, "FISC_SelectParentDFWithHeader"},
    {72, "FISC_SelectDF"},
    {73, "FISC_SelectDFWithHeader"},
    {74, "FISC_SelectEF"},
    {75, "FISC_SelectEFWithHeader"},
    {76, "FISC_LockDF"},
    {77, "FISC_UnlockDF"},
    {78, "FISC_ReadRecord"},
    {79, "FISC_ReadAllRecordS"},
    {80, "FISC_ReadRecordE"},
    {81, "FISC_WriteRecord"},
    {82, "FISC_WriteRecordWithTAC"},
    {83, "FISC_UpdateRecord"},
    {84, "FISC_EraseEF"},
    {85, "FISC_BinaryAdd"},
    {86, "FISC_VerifyPIN"},
    {87, "FISC_GenerateRandomNumber"},
    {88, "FISC_TerminalAuthentication"},
    {89, "FISC_UnlockKey"},
    {90, "FISC_UnlockPIN"},
    {91, "FISC_CardAuthentication"},
    {92, "FISC_ReadBinary"},
    {93, "FISC_SetSessionKey"},
    {94, "FISC_UpdateRecordCiphered"},
    {95, "FISC_WriteRecordWithSNUMTAC"},
    {96, "FISC_ReadData"},
    {97, "FISC_UpdateData"},
    {98, "FISC_ListFile"},
    {99, "FISC_SelectAppletID"},
    {100, "FISC_SVCCreatePurseFile"},
    {101, "FISC_SVCGetInfoWithRn"},
    {102, "FISC_SVCLoading"},
    {103, "FISC_SVCDeduct"},
    {104, "FISC_SVCReserval"},
    {105, "FISC_SVCUpdateKey"},
    {106, "FISC_SVCReadBalance"},
    {107, "FISC_SVCReadLoadingLog"},
    {108, "FISC_SVCReadDeductLog"},
    {109, "GetSW12"},
    {110, "GetSCardError"},
}};

}  // namespace

void DispatchTable::Add(MethodEntry entry) {
    const auto at = std::upper_bound(
        methods_.begin(), methods_.end(), entry.dispid,
        [](int32_t dispid, const MethodEntry& method) { return dispid < method.dispid; });
    methods_.insert(at, std::move(entry));
}

const MethodEntry* DispatchTable::FindByName(std::string_view name) const {
    for (const auto& method : methods_) {
        if (SameNameIgnoringAsciiCase(method.name, name)) return &method;
    }
    return nullptr;
}

const MethodEntry* DispatchTable::FindByDispid(int32_t dispid) const {
    for (const auto& method : methods_) {
        if (method.dispid == dispid) return &method;
    }
    return nullptr;
}

std::span<const DeclaredMethod> TypeLibraryOnlyMethods() {
    return kTypeLibraryOnly;
}

const DispatchTable& ControlDispatchTable() {
    static const DispatchTable table = [] {
        DispatchTable t;
        AddReaderMethods(t);
        AddCachedResultGetters(t);
        AddCardMethods(t);
        AddConfirmedMethods(t);
        AddCryptoMethods(t);
        AddModuleMethods(t);
        return t;
    }();
    return table;
}

const char* HresultName(int32_t hresult) {
    switch (hresult) {
        case kOk:
            return "S_OK";
        case kDispUnknownName:
            return "DISP_E_UNKNOWNNAME";
        case kDispMemberNotFound:
            return "DISP_E_MEMBERNOTFOUND";
        case kDispBadParamCount:
            return "DISP_E_BADPARAMCOUNT";
        case kDispTypeMismatch:
            return "DISP_E_TYPEMISMATCH";
        case kInvalidArg:
            return "E_INVALIDARG";
        default:
            return "E_FAIL";
    }
}

}  // namespace qorv::control
