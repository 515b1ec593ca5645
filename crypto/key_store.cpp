#include "crypto/key_store.h"

#include <algorithm>

#include "base/secure_wipe.h"
#include "crypto/des.h"
#include "crypto/key_store_data.h"

namespace qorv::crypto {
namespace {

constexpr std::size_t kClientPrivateRecord = 1;
constexpr std::size_t kServerPublicRecord = 2;
constexpr std::size_t kRecordLengthBytes = 4;
static_assert(static_cast<unsigned>(KeyStoreRecords::kClientPrivateKey) ==
              1u << kClientPrivateRecord);
static_assert(static_cast<unsigned>(KeyStoreRecords::kServerPublicKey) ==
              1u << kServerPublicRecord);

struct RecordBuffer {
    uint8_t* data;
    std::size_t capacity;
    std::size_t length;
    // How far from the start the buffer may hold anything but zeros: a wipe
    // clears this much, which leaves the whole buffer zero, rather than
    // going over all 2 KiB of buffers twice per operation.
    std::size_t written;
};

uint8_t g_record1[kKeyStoreBufferSizes[0]];
uint8_t g_record2[kKeyStoreBufferSizes[1]];
uint8_t g_record3[kKeyStoreBufferSizes[2]];
uint8_t g_record4[kKeyStoreBufferSizes[3]];
std::array<RecordBuffer, 4> g_buffers = {{{g_record1, sizeof g_record1, 0, 0},
                                          {g_record2, sizeof g_record2, 0, 0},
                                          {g_record3, sizeof g_record3, 0, 0},
                                          {g_record4, sizeof g_record4, 0, 0}}};

KeyStoreRecords g_lastLoaded{};  // test hook only

void DecipherRecord(const StoredKeyRecord& stored, const uint8_t* keyArea, RecordBuffer& buffer) {
    if (stored.data == nullptr || stored.size < kRecordLengthBytes) return;
    std::size_t length = 0;
    for (std::size_t i = 0; i < kRecordLengthBytes; ++i) length = (length << 8) | stored.data[i];
    // The plain text and its terminating zero must fit the buffer.
    if (length == 0 || length % kDesBlockSize != 0 || length > stored.size - kRecordLengthBytes ||
        length + 1 > buffer.capacity) {
        return;
    }
    static constexpr uint8_t kZeroIv[kDesBlockSize] = {};
    // The plain text (at most `length` bytes) and its terminating zero.
    buffer.written = length + 1;
    int32_t plainLength = static_cast<int32_t>(length);
    const int32_t rc = DesModeDecrypt(keyArea, &plainLength, stored.data + kRecordLengthBytes,
                                      buffer.data, kCipherTwoKeyTripleDes, kModeCbcPadded, kZeroIv);
    if (rc != kDesOk || plainLength < 0) {
        SecureWipe(buffer.data, buffer.capacity);
        buffer.written = 0;
        return;
    }
    buffer.length = static_cast<std::size_t>(plainLength);
    buffer.data[buffer.length] = 0;
}

}  // namespace

void WipeKeyStore() {
    for (RecordBuffer& buffer : g_buffers) {
        SecureWipe(buffer.data, buffer.written);
        buffer.written = 0;
        buffer.length = 0;
    }
}

void LoadKeyStore(KeyStoreRecords records) {
    WipeKeyStore();
    g_lastLoaded = records;
    SecretBytes<kDesKeyAreaSize> keyArea;
    DeriveKeyStoreKey(kKeyStoreConstant.data(), keyArea.data());
    for (std::size_t i = 0; i < kKeyStoreRecordCount; ++i) {
        if ((static_cast<unsigned>(records) & (1u << i)) == 0) continue;
        DecipherRecord(kStoredKeyRecords[i], keyArea.data(), g_buffers[i]);
    }
}

KeyStoreSession::KeyStoreSession() : KeyStoreSession(KeyStoreRecords::kAll) {}

KeyStoreSession::KeyStoreSession(KeyStoreRecords records) {
    LoadKeyStore(records);
}
KeyStoreSession::~KeyStoreSession() {
    WipeKeyStore();
}

std::span<const uint8_t> KeyStoreSession::ClientPrivateKey() const {
    const RecordBuffer& b = g_buffers[kClientPrivateRecord];
    return {b.data, b.length};
}

std::span<const uint8_t> KeyStoreSession::ServerPublicKey() const {
    const RecordBuffer& b = g_buffers[kServerPublicRecord];
    return {b.data, b.length};
}

namespace test_hooks {
std::array<std::span<const uint8_t>, 4> KeyStoreBuffers() {
    std::array<std::span<const uint8_t>, 4> views;
    for (std::size_t i = 0; i < views.size(); ++i)
        views[i] = {g_buffers[i].data, g_buffers[i].capacity};
    return views;
}
KeyStoreRecords LastLoadedRecords() {
    return g_lastLoaded;
}
}  // namespace test_hooks

}  // namespace qorv::crypto
