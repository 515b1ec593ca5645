// Every numeric result a page can see from a method, one name each. Status
// words of the card (0x6xxx, 0x9xxx) and PC/SC errors (0x801000xx) pass
// through unchanged and are not listed; codes internal to one engine (DER,
// RSA, DES) stay with that engine.
#pragma once

#include <cstdint>

namespace qorv::result {

inline constexpr int32_t kOk = 0;
// The operation failed without a more precise code: the PC/SC library or an
// entry point is missing, the card refused a transaction write, DES or MAC met
// bad hexadecimal, or VerifySessionKeyHash found a different digest.
inline constexpr int32_t kFailed = -1;
// The card refused a PIN verification with a status other than 6608 or 6620;
// CheckCardInsert: the card was removed.
inline constexpr int32_t kVerifyRefused = 1;
// No reader session: ConnectReader has not run or the session was released.
inline constexpr int32_t kNoSession = 7;
// ConnectCard or ReConnectCard without a reader name.
inline constexpr int32_t kReaderNameMissing = 4099;
// An argument outside its range: a PIN with a non-digit, a data length, a
// DES operation flag or key length not offered.
inline constexpr int32_t kOutOfRange = 8193;
// An argument of the wrong length.
inline constexpr int32_t kBadLength = 8194;
// A required argument is the null string.
inline constexpr int32_t kArgumentMissing = 8195;
// The stated length of RN1 differs from the text handed in.
inline constexpr int32_t kRn1LengthMismatch = 8450;
// The stated length of the server's signature differs from the text handed in.
inline constexpr int32_t kSignatureLengthMismatch = 8451;
// A text that must be hexadecimal is not.
inline constexpr int32_t kHexDecodeFailed = 8452;
// Selecting the application or a file of the card failed.
inline constexpr int32_t kSelectFailed = 20481;
// Reading an account record failed.
inline constexpr int32_t kAccountReadFailed = 20482;
// PIN verification answered 6608 (PIN blocked on this card).
inline constexpr int32_t kVerify6608 = 20484;
// PIN verification answered 6620 (wrong PIN).
inline constexpr int32_t kVerify6620 = 20485;
// The transaction write answered 6610; also: a PIN-pad reader is required,
// or the entry dialog's PIN check failed.
inline constexpr int32_t kWrite6610 = 20486;
// The client private key could not decrypt (or the session key it gave has a
// length that is 0 or not a multiple of 8).
inline constexpr int32_t kPrivateKeyFailed = 20741;
// RN2 could not be enciphered for the server.
inline constexpr int32_t kEncryptRn2Failed = 20742;
// RN2 could not be signed.
inline constexpr int32_t kSignRn2Failed = 20743;
// The session cipher failed on the data.
inline constexpr int32_t kCipherFailed = 20752;
// The session key does not match its digest.
inline constexpr int32_t kSessionKeyMismatch = 20753;
// The transaction write answered 69F0; also: a dialog was cancelled or timed out.
inline constexpr int32_t kWrite69F0 = 20756;
// The account is not in the summary the person confirmed, or it does not
// match the card's account.
inline constexpr int32_t kAccountMismatch = 20757;
// The amount or the transfer-in account is not in the summary the person confirmed.
inline constexpr int32_t kSummaryMismatch = 20758;
// The transfer configuration document holds fewer than three AtmNode elements.
inline constexpr int32_t kTransferConfigIncomplete = 20998;

}  // namespace qorv::result
