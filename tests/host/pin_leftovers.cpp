// No PIN outlives its request: PIN-bearing requests go through the real
// host path (frames on a pipe, the input thread, the request parser, the
// dispatch table, the binder, the card engine on a scripted PC/SC, the reply
// writer) while every heap block given back is scanned for the PINs' digits
// in UTF-8 and UTF-16, and the stack the calls used is swept afterwards.
//
// This binary replaces operator new/delete (and, outside sanitizer builds,
// free and realloc) for itself only; it is not part of the other host tests.
#include <alloca.h>
#include <execinfo.h>
#include <malloc.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <thread>

#include "control/qorv_client_atm_ctrl.h"
#include "dialogs/user_interface.h"
#include "host/protocol.h"
#include "host/serve.h"
#include "host/stack_scrub.h"
#include "support/fake_pcsc.h"

#if defined(__SANITIZE_ADDRESS__)
#define QORV_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QORV_UNDER_ASAN 1
#endif
#endif

namespace {

// The PINs, as the scanner looks for them: UTF-8 and UTF-16LE.
constexpr char kOldPin[] = "739164";
constexpr char kNewPin[] = "582063";
constexpr std::size_t kPinDigits = 6;

struct Needle {
    unsigned char bytes[2 * kPinDigits];
    std::size_t size;
};
Needle g_needles[4];
std::size_t g_foundAt = 0;  // the last hit's distance from the end of the area

std::atomic<bool> g_scanning{false};
std::atomic<int> g_heapHits{0};
// The first hit, kept without allocating: where it was and who freed it.
std::size_t g_hitBlockSize = 0;
int g_hitNeedle = -1;
void* g_hitTrace[32];
int g_hitTraceDepth = 0;

void MakeNeedles() {
    const char* pins[] = {kOldPin, kNewPin};
    for (int p = 0; p < 2; ++p) {
        Needle& utf8 = g_needles[2 * p];
        Needle& utf16 = g_needles[2 * p + 1];
        utf8.size = kPinDigits;
        utf16.size = 2 * kPinDigits;
        for (std::size_t i = 0; i < kPinDigits; ++i) {
            utf8.bytes[i] = static_cast<unsigned char>(pins[p][i]);
            utf16.bytes[2 * i] = static_cast<unsigned char>(pins[p][i]);
            utf16.bytes[2 * i + 1] = 0;
        }
    }
}

// A plain loop (no calls), so a sweep of the dead stack does not write over
// what it reads; exempt from ASan, which would see reads below the stack
// pointer as errors.
__attribute__((no_sanitize_address)) __attribute__((noinline)) int FindNeedle(
    const unsigned char* data, std::size_t size) {
    for (int n = 0; n < 4; ++n) {
        const Needle& needle = g_needles[n];
        if (size < needle.size) continue;
        for (std::size_t at = 0; at + needle.size <= size; ++at) {
            std::size_t i = 0;
            while (i < needle.size && data[at + i] == needle.bytes[i]) ++i;
            if (i == needle.size) {
                g_foundAt = size - at;
                return n;
            }
        }
    }
    return -1;
}

void ScanFreed(void* block) {
    if (block == nullptr || !g_scanning.load(std::memory_order_relaxed)) return;
    const int found =
        FindNeedle(static_cast<const unsigned char*>(block), malloc_usable_size(block));
    if (found < 0) return;
    if (g_heapHits.fetch_add(1) == 0) {
        g_hitBlockSize = malloc_usable_size(block);
        g_hitNeedle = found;
        g_hitTraceDepth = backtrace(g_hitTrace, 32);
    }
}

void* Allocate(std::size_t size) {
    void* block = std::malloc(size == 0 ? 1 : size);
    if (block == nullptr) throw std::bad_alloc();
    return block;
}

void* AllocateAligned(std::size_t size, std::align_val_t align) {
    const auto alignment = static_cast<std::size_t>(align);
    const std::size_t rounded = (size + alignment - 1) / alignment * alignment;
    void* block = std::aligned_alloc(alignment, rounded == 0 ? alignment : rounded);
    if (block == nullptr) throw std::bad_alloc();
    return block;
}

}  // namespace

#ifndef QORV_UNDER_ASAN
extern "C" void __libc_free(void*);
#endif

namespace {

void Release(void* block) noexcept {
#ifdef QORV_UNDER_ASAN
    ScanFreed(block);
    std::free(block);
#else
    std::free(block);  // replaced below: it scans
#endif
}

}  // namespace

void* operator new(std::size_t size) {
    return Allocate(size);
}
void* operator new[](std::size_t size) {
    return Allocate(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return std::malloc(size == 0 ? 1 : size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return std::malloc(size == 0 ? 1 : size);
}
void* operator new(std::size_t size, std::align_val_t align) {
    return AllocateAligned(size, align);
}
void* operator new[](std::size_t size, std::align_val_t align) {
    return AllocateAligned(size, align);
}
void operator delete(void* block) noexcept {
    Release(block);
}
void operator delete[](void* block) noexcept {
    Release(block);
}
void operator delete(void* block, std::size_t) noexcept {
    Release(block);
}
void operator delete[](void* block, std::size_t) noexcept {
    Release(block);
}
void operator delete(void* block, std::align_val_t) noexcept {
    Release(block);
}
void operator delete[](void* block, std::align_val_t) noexcept {
    Release(block);
}
void operator delete(void* block, std::size_t, std::align_val_t) noexcept {
    Release(block);
}
void operator delete[](void* block, std::size_t, std::align_val_t) noexcept {
    Release(block);
}

#ifndef QORV_UNDER_ASAN
// Blocks C code gives back (stdio buffers, strdup, ...) are scanned too.
extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_realloc(void*, std::size_t);

void free(void* block) {
    ScanFreed(block);
    __libc_free(block);
}

void* realloc(void* block, std::size_t size) {
    if (block == nullptr || !g_scanning.load(std::memory_order_relaxed)) {
        return __libc_realloc(block, size);
    }
    void* moved = __libc_malloc(size == 0 ? 1 : size);
    if (moved == nullptr) return nullptr;
    const std::size_t old = malloc_usable_size(block);
    std::memcpy(moved, block, old < size ? old : size);
    free(block);
    return moved;
}
}
#endif

namespace qorv::host {
namespace {

constexpr std::size_t kStackSweepBytes = 512 * 1024;

// Zeroes the stack below the caller, so the sweep afterwards sees only what
// the calls left there (and the pages are mapped).
__attribute__((noinline)) void ClearStackBelow() {
    volatile unsigned char area[kStackSweepBytes];
    for (std::size_t i = 0; i < sizeof area; ++i) area[i] = 0;
}

__attribute__((no_sanitize_address)) __attribute__((noinline)) int SweepStackBelow() {
    // Everything below this frame is the dead stack of the calls just made.
    const auto top = reinterpret_cast<uintptr_t>(__builtin_frame_address(0)) - 512;
    const std::size_t size = kStackSweepBytes - 4096;
    return FindNeedle(reinterpret_cast<const unsigned char*>(top - size), size);
}

__attribute__((noinline)) void LeaveNewPinOnTheStack() {
    volatile char16_t copy[8] = {u'5', u'8', u'2', u'0', u'6', u'3', 0, 0};
    (void)copy[0];
}

// Below the sweep's own frame, as the calls of a request are.
__attribute__((noinline)) void LeaveNewPinDeeper() {
    volatile unsigned char frame[4096];
    frame[0] = 0;
    LeaveNewPinOnTheStack();
    (void)frame[0];
}

// At least `depth` bytes below the caller's frame.
__attribute__((noinline)) void LeaveNewPinAtDepth(std::size_t depth) {
    auto* frame = static_cast<volatile unsigned char*>(alloca(depth));
    frame[0] = 0;
    LeaveNewPinOnTheStack();
    (void)frame[0];
}

// Appends in place: a temporary would leave the test's own copy of a PIN
// in freed memory, where a block allocated later would still show it.
void AppendFrame(std::string& frames, std::string_view body) {
    const auto length = static_cast<uint32_t>(body.size());
    frames.append(reinterpret_cast<const char*>(&length), sizeof length);
    frames.append(body);
}

class PinLeftovers : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        MakeNeedles();
        void* warm[4];
        backtrace(warm, 4);  // loads what backtrace needs before any scan
    }

    void Connect() {
        pcsc.AddReader("Virtual PCD 00 00");
        ASSERT_EQ(ctrl.ConnectCard(u"Virtual PCD 00 00"), 0);
    }

    // Serves `frames` through the host's loop, scanning every freed block,
    // then sweeps the stack. Returns the replies as they came out.
    std::string Serve(std::string& frames) {
        int in[2];
        int out[2];
        EXPECT_EQ(pipe(in), 0);
        EXPECT_EQ(pipe(out), 0);
        EXPECT_EQ(write(in[1], frames.data(), frames.size()), static_cast<ssize_t>(frames.size()));
        close(in[1]);
        g_heapHits = 0;
        ClearStackBelow();
        g_scanning = true;
        const int rc = ServeNativeMessaging(ctrl, ui, in[0], out[1]);
        g_scanning = false;
        stackHit = SweepStackBelow();
        EXPECT_EQ(rc, 0);
        close(in[0]);
        close(out[1]);
        std::string replies;
        char buffer[4096];
        for (ssize_t got; (got = read(out[0], buffer, sizeof buffer)) > 0;) {
            replies.append(buffer, static_cast<std::size_t>(got));
        }
        close(out[0]);
        // The requests themselves are the test's: wiped before they are freed.
        SecureWipe(frames);
        return replies;
    }

    void ExpectNoLeftovers() {
        EXPECT_EQ(g_heapHits.load(), 0)
            << "a freed block of " << g_hitBlockSize << " bytes held needle " << g_hitNeedle
            << " (even: UTF-8, odd: UTF-16; 0-1 old PIN, 2-3 new PIN); freed at:";
        if (g_heapHits.load() != 0) backtrace_symbols_fd(g_hitTrace, g_hitTraceDepth, 2);
        EXPECT_EQ(stackHit, -1) << "the dead stack held needle " << stackHit << ", "
                                << g_foundAt + 512 << " bytes below the sweep's frame";
    }

    int stackHit = -1;
    testing::FakePcsc pcsc;
    testing::RecordingPauser pauser;
    dialogs::HeadlessUserInterface ui;
    reader::ReaderSession session{pcsc, pauser};
    control::CQorvClientATMCtrl ctrl{session, ui};
};

TEST_F(PinLeftovers, VerifyAndChangeLeaveNoDigitsInFreedMemoryOrOnTheStack) {
    Connect();
    // The commands are spelt with blanks, so the hexadecimal text of the PIN
    // blocks holds no run of the PIN's digits.
    const std::string select = "00A4040008A000000172950001";
    const std::string verifyOld = "0020001008 73 91 64 FFFFFFFFFF";
    pcsc.Expect(select, "9000");
    pcsc.Expect(verifyOld, "9000");  // VerifyPIN by name
    pcsc.Expect(select, "9000");
    pcsc.Expect(verifyOld, "9000");  // by DISPID, the PIN as a number
    pcsc.Expect(select, "9000");
    pcsc.Expect(verifyOld, "9000");  // ChangePIN
    pcsc.Expect("00A402000200C2", "9000");
    pcsc.Expect("00D2010408 58 20 63 FFFFFFFFFF", "9000");
    pcsc.Expect(select, "9000");
    pcsc.Expect(verifyOld, "63C2");  // a refused PIN
    std::string frames;
    frames.reserve(4096);
    AppendFrame(frames, R"({"id":1,"method":"VerifyPIN","params":["739164"]})");
    AppendFrame(frames, R"({"id":2,"dispid":21,"params":[739164]})");
    AppendFrame(frames, R"({"id":3,"method":"ChangePIN","params":["739164","582063"]})");
    AppendFrame(frames, R"({"id":4,"method":"VerifyPIN","params":["\u0037\u0033\u0039164"]})");
    // Requests that fail after their PINs were read, or while reading them.
    AppendFrame(frames, R"({"id":5,"method":"ChangePIN","params":["739164","582063",1.5]})");
    AppendFrame(frames, R"({"id":6,"method":"ChangePIN","params":["739164",2147483648]})");
    AppendFrame(frames, R"({"id":7,"method":"VerifyPIN","params":["739164"],"params":[]})");
    AppendFrame(frames, R"({"id":8,"method":"VerifyPIN","params":["739164",]})");
    AppendFrame(frames, R"({"id":9,"method":"VerifyPIN","params":["739164","582063"]})");
    AppendFrame(frames, R"({"id":10,"method":"VerifyPIN","params":[{"pin":"739164"}]})");
    AppendFrame(frames, R"({"id":11,"method":"GetReaderName","params":["739164"]})");
    // A long text: its buffer is on the heap, not inside the argument.
    AppendFrame(frames, R"({"id":12,"method":"ChangePIN","params":["739164739164739164",)"
                        R"("582063582063582063582063"]})");

    const std::string replies = Serve(frames);
    ExpectNoLeftovers();
    EXPECT_NE(replies.find(R"({"id":1,"result":0})"), std::string::npos) << replies;
    EXPECT_NE(replies.find(R"({"id":2,"result":0})"), std::string::npos) << replies;
    EXPECT_NE(replies.find(R"({"id":3,"result":0})"), std::string::npos) << replies;
    EXPECT_NE(replies.find(R"({"id":4,"result":1})"), std::string::npos) << replies;
    EXPECT_NE(replies.find(R"({"id":12,"result":8194})"), std::string::npos) << replies;
    EXPECT_TRUE(pcsc.ScriptDone());
}

TEST_F(PinLeftovers, RequestHandlingItselfLeavesNoDigitsOnTheStack) {
    // Without the serving loop's scrub: the parser, the binder and the card
    // engine must not leave a PIN on the stack either. A first round binds
    // every library function the calls use (the dynamic linker's first call
    // spills vector registers on the stack, which only the scrub removes).
    Connect();
    std::string verify;
    std::string change;
    verify.reserve(128);
    change.reserve(128);
    verify.append(R"({"id":1,"method":"VerifyPIN","params":["739164"]})");
    change.append(R"({"id":2,"method":"ChangePIN","params":["739164",582063]})");
    for (int round = 0; round < 2; ++round) {
        pcsc.Expect("00A4040008A000000172950001", "9000");
        pcsc.Expect("0020001008 73 91 64 FFFFFFFFFF", "9000");
        pcsc.Expect("00A4040008A000000172950001", "9000");
        pcsc.Expect("0020001008 73 91 64 FFFFFFFFFF", "9000");
        pcsc.Expect("00A402000200C2", "9000");
        pcsc.Expect("00D2010408 58 20 63 FFFFFFFFFF", "6982");
        g_heapHits = 0;
        ClearStackBelow();
        g_scanning = true;
        std::string first = HandleRequest(ctrl, verify);
        std::string second = HandleRequest(ctrl, change);
        g_scanning = false;
        stackHit = round == 0 ? -1 : SweepStackBelow();
        ExpectNoLeftovers();
        EXPECT_EQ(first, R"({"id":1,"result":0})");
        EXPECT_EQ(second, R"({"id":2,"result":27010})");
    }
    SecureWipe(verify);
    SecureWipe(change);
    EXPECT_TRUE(pcsc.ScriptDone());
}

TEST_F(PinLeftovers, TheScrubReachesAPinAnywhereInTheWatchedStack) {
    // Near the top (zeroed every time) and deep below it (only where touched).
    for (const std::size_t depth :
         {std::size_t{512}, kAlwaysZeroedStackBytes - 1024, kAlwaysZeroedStackBytes + 8192,
          std::size_t{300} * 1024, std::size_t{480} * 1024}) {
        ClearStackBelow();
        LeaveNewPinAtDepth(depth);
        ScrubDeadStack();
        EXPECT_EQ(SweepStackBelow(), -1) << "a PIN " << depth << " bytes deep was left";
        // A second request, with the pages given back by the first scrub.
        LeaveNewPinAtDepth(depth);
        ScrubDeadStack();
        EXPECT_EQ(SweepStackBelow(), -1) << "a PIN " << depth << " bytes deep was left again";
    }
}

TEST_F(PinLeftovers, TheScannerFindsAnUnwipedCopy) {
    // The check itself: a PIN left in a freed block and on the stack is seen.
    g_heapHits = 0;
    g_scanning = true;
    void* block = ::operator new(64);
    std::memcpy(block, "PIN 739164 left behind, unwiped", 32);
    ::operator delete(block);
    g_scanning = false;
    EXPECT_EQ(g_heapHits.load(), 1);
    g_heapHits = 0;
    ClearStackBelow();
    LeaveNewPinDeeper();
    EXPECT_EQ(SweepStackBelow(), 3);
    ClearStackBelow();
}

}  // namespace
}  // namespace qorv::host
