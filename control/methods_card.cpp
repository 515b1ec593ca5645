// Dispatch entries of the card data, PIN and transaction methods.
#include "base/secure_wipe.h"
#include "control/method_builders.h"

namespace qorv::control {
namespace {

using Ctrl = CQorvClientATMCtrl;
using Args = CallArgs;

// The argument list hands out copies; a PIN's copy is wiped once the card has it.
void WipePin(ScriptText& pin) {
    if (pin) SecureWipe(*pin);
}

void AddCardDataMethods(DispatchTable& table) {
    table.Add({12, "ListEF1001Accounts", {}, ScriptType::Long, [](Ctrl& c, const Args&) {
                   return Result(c.ListEF1001Accounts());
               }});
    table.Add({13, "GetEF1001TotalAccounts", {}, ScriptType::Long, [](Ctrl& c, const Args&) {
                   return Result(c.GetEF1001TotalAccounts());
               }});
    table.Add({14,
               "GetEF1001Account",
               {LongParam("AccountNo")},
               ScriptType::Text,
               [](Ctrl& c, const Args& a) { return Result(c.GetEF1001Account(a.Long(0))); }});
    table.Add({15, "ListEF1002Accounts", {}, ScriptType::Long, [](Ctrl& c, const Args&) {
                   return Result(c.ListEF1002Accounts());
               }});
    table.Add({16, "GetEF1002TotalAccounts", {}, ScriptType::Long, [](Ctrl& c, const Args&) {
                   return Result(c.GetEF1002TotalAccounts());
               }});
    table.Add({17,
               "GetEF1002Account",
               {LongParam("AccountNo")},
               ScriptType::Text,
               [](Ctrl& c, const Args& a) { return Result(c.GetEF1002Account(a.Long(0))); }});
    table.Add({18, "GetIssuerBank", {}, ScriptType::Text, [](Ctrl& c, const Args&) {
                   return Result(c.GetIssuerBank());
               }});
    table.Add({19, "GetICCRemark", {}, ScriptType::Text, [](Ctrl& c, const Args&) {
                   return Result(c.GetICCRemark());
               }});
    table.Add({20, "ReadCardSN", {}, ScriptType::Text, [](Ctrl& c, const Args&) {
                   return Result(c.ReadCardSN());
               }});
}

void AddPinMethods(DispatchTable& table) {
    table.Add(
        {21, "VerifyPIN", {TextParam("pPwdStr")}, ScriptType::Long, [](Ctrl& c, const Args& a) {
             ScriptText pin = a.Text(0);
             const int32_t rc = c.VerifyPIN(pin);
             WipePin(pin);
             return Result(rc);
         }});
    table.Add({25,
               "ChangePIN",
               {TextParam("pOldPwdStr"), TextParam("pNewPwdStr")},
               ScriptType::Long,
               [](Ctrl& c, const Args& a) {
                   ScriptText oldPin = a.Text(0);
                   ScriptText newPin = a.Text(1);
                   const int32_t rc = c.ChangePIN(oldPin, newPin);
                   WipePin(oldPin);
                   WipePin(newPin);
                   return Result(rc);
               }});
}

void AddTransactionMethods(DispatchTable& table) {
    table.Add({29,
               "AccountInquiry",
               {TextParam("pPCode"), TextParam("pFdChkCode"), TextParam("pAccountNumber")},
               ScriptType::Long,
               [](Ctrl& c, const Args& a) {
                   return Result(c.AccountInquiry(a.Text(0), a.Text(1), a.Text(2)));
               }});
    table.Add({33,
               "AccountTransfer",
               {TextParam("pPCode"), TextParam("pFdid"), TextParam("pFdChkCode"),
                TextParam("pMoney"), TextParam("pImprtAccnt"), TextParam("pAccount")},
               ScriptType::Long,
               [](Ctrl& c, const Args& a) {
                   return Result(c.AccountTransfer(a.Text(0), a.Text(1), a.Text(2), a.Text(3),
                                                   a.Text(4), a.Text(5)));
               }});
    table.Add(
        {37,
         "AccountPayment",
         {TextParam("pPCode"), TextParam("pFdid"), TextParam("pFdChkCode"), TextParam("pMoney"),
          TextParam("pPaymentType"), TextParam("pCancelNo"), TextParam("pAccount")},
         ScriptType::Long,
         [](Ctrl& c, const Args& a) {
             return Result(c.AccountPayment(a.Text(0), a.Text(1), a.Text(2), a.Text(3), a.Text(4),
                                            a.Text(5), a.Text(6)));
         }});
    table.Add({41,
               "AccountPayTax",
               {TextParam("pPCode"), TextParam("pFdid"), TextParam("pFdChkCode"),
                TextParam("pMoney"), TextParam("pAccount")},
               ScriptType::Long,
               [](Ctrl& c, const Args& a) {
                   return Result(
                       c.AccountPayTax(a.Text(0), a.Text(1), a.Text(2), a.Text(3), a.Text(4)));
               }});
    table.Add({45,
               "AccountWithdraw",
               {TextParam("pPCode"), TextParam("pFdid"), TextParam("pFdChkCode"),
                TextParam("pMoney"), TextParam("pAccount")},
               ScriptType::Long,
               [](Ctrl& c, const Args& a) {
                   return Result(
                       c.AccountWithdraw(a.Text(0), a.Text(1), a.Text(2), a.Text(3), a.Text(4)));
               }});
}

}  // namespace

void AddCardMethods(DispatchTable& table) {
    AddCardDataMethods(table);
    AddPinMethods(table);
    AddTransactionMethods(table);
}

}  // namespace qorv::control
