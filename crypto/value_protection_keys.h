// Deployment constants of the value protection: the display key table, the
// four wrapping key tables and the two initial-vector words. They are
// printable ASCII so that they read like any other string of the module.
// Changing them only changes the protected forms that live inside one
// dialog, never anything that leaves the process.
#pragma once

#include <cstddef>

namespace qorv::crypto::protection_keys {

// Display keys are 16 bytes at offsets 0..31 of the first 48 characters.
inline constexpr char kDisplayKeyTable[] =
    ">bkc'0K'yEDnt]AQ'YCVr+T.cXyA&2La-0.I<]%l{mYc$[;|@Pyq332pL,I2k|i?8b3";
// Its first 8 characters are the display initial vector.
inline constexpr char kDisplayIvWord[] = "wh7WXXtRD";

// Wrapping keys are 16 bytes at offsets 0..31 of the first 64 characters.
inline constexpr const char* kWrappingKeyTables[4] = {
    "Y+[mW>>-|U7Oaio?QeWl8?*<67dv|x1O5QP$vhr6y4dT?,>gOR~#o~OJo<pmY3!H+KP}2_Ad^",
    "U^%_&G?df1[EAVsx'szmOQrO@4K:1XIMYJf!$<TvtIZSSc_<olxKTP{JF}4]oEiuC?r&#O&aM",
    "OLz@)QURIu&.fF}yCRl%_p2tD*;q-q#Q+DDDt>syjVhLa[.Po!i56a=cRW~BcvygP=i(N>wbF",
    "]^0p(0_Os+h=Ti]50>b{j[jU,{<>vQ5x.UZ4,LHg1=&0mQ_Xu3=ep!e9RJ-_r03N:f9YSzFJd"};
inline constexpr std::size_t kWrappingKeyTableLength = 73;
// Its first 8 characters are the wrapping initial vector.
inline constexpr char kWrappingIvWord[] = "C,SuAjH<6Zw";

static_assert(sizeof kDisplayKeyTable - 1 == 67);
static_assert(sizeof kDisplayIvWord - 1 == 9);
static_assert(sizeof kWrappingIvWord - 1 == 11);

}  // namespace qorv::crypto::protection_keys
