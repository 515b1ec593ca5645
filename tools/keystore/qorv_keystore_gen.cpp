// qorv_keystore_gen --key-dir DIR --output FILE
//
// Builds the module's enciphered key store from a deployment key folder:
//   client-private.pem|der  the client key pair (1024-bit RSA, PKCS#1 or PKCS#8)
//   client-public.pem|der   optional; must match the private key when present
//   server-public.pem|der   the bank server's public key
//   constant.txt            the 8-byte key-store constant, 16 hex digits
// and writes a C++ source defining kKeyStoreConstant and kStoredKeyRecords
// (crypto/key_store_data.h). Each record is 4 bytes of big-endian length and
// two-key triple-DES CBC cipher text (PKCS#5 padding, zero IV) under the key
// K1 = constant rotated right by one bit, K2 = rotated left by one bit.
#include <openssl/evp.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "key_files.h"

namespace qorv::keystore {
namespace {

// Buffer sizes of the four records in the module (crypto/key_store.h); each
// keeps one byte for the terminating zero written after the plain text.
constexpr std::array<std::size_t, 4> kBufferSizes = {256, 1280, 256, 256};
constexpr int kClientKeyBits = 1024;   // the protocol's cipher texts are 128 bytes
constexpr int kMaxModulusBits = 1136;  // the module's number capacity

Bytes StoreKey(const Bytes& constant) {
    uint64_t c = 0;
    for (const uint8_t b : constant) c = (c << 8) | b;
    const uint64_t halves[2] = {(c >> 1) | (c << 63), (c << 1) | (c >> 63)};
    Bytes key;
    for (const uint64_t half : halves) {
        for (int i = 7; i >= 0; --i) key.push_back(static_cast<uint8_t>(half >> (8 * i)));
    }
    return key;
}

bool EncipherRecord(const Bytes& key, const Bytes& plain, Bytes& record) {
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    const unsigned char iv[8] = {};
    Bytes cipher(plain.size() + 16);
    int length = 0;
    int finalLength = 0;
    const bool ok = EVP_EncryptInit_ex(ctx, EVP_des_ede_cbc(), nullptr, key.data(), iv) == 1 &&
                    EVP_EncryptUpdate(ctx, cipher.data(), &length, plain.data(),
                                      static_cast<int>(plain.size())) == 1 &&
                    EVP_EncryptFinal_ex(ctx, cipher.data() + length, &finalLength) == 1;
    EVP_CIPHER_CTX_free(ctx);
    if (!ok) return false;
    cipher.resize(static_cast<std::size_t>(length + finalLength));
    record = {static_cast<uint8_t>(cipher.size() >> 24), static_cast<uint8_t>(cipher.size() >> 16),
              static_cast<uint8_t>(cipher.size() >> 8), static_cast<uint8_t>(cipher.size())};
    record.insert(record.end(), cipher.begin(), cipher.end());
    return true;
}

void WriteArray(std::ostream& out, const std::string& name, const Bytes& bytes) {
    out << "constexpr uint8_t " << name << "[] = {";
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i % 12 == 0) out << "\n    ";
        char hex[8];
        std::snprintf(hex, sizeof hex, "0x%02x,", bytes[i]);
        out << hex << (i % 12 == 11 ? "" : " ");
    }
    out << "\n};\n";
}

int Fail(const std::string& message) {
    std::cerr << "qorv_keystore_gen: " << message << "\n";
    return 1;
}

int Run(const std::filesystem::path& folder, const std::filesystem::path& output) {
    std::string error;
    const auto constant = ReadConstant(folder / "constant.txt", error);
    if (!constant) return Fail(error);

    const auto clientPrivateFile = FindKeyFile(folder, "client-private");
    const auto serverPublicFile = FindKeyFile(folder, "server-public");
    if (!clientPrivateFile || !serverPublicFile) {
        return Fail(folder.string() + " needs client-private.pem|der and server-public.pem|der");
    }
    const auto clientPrivate = ReadRsaKey(*clientPrivateFile, true, error);
    if (!clientPrivate) return Fail(error);
    const auto clientPublic = ReadRsaKey(*clientPrivateFile, false, error);
    if (!clientPublic) return Fail(error);
    if (const auto givenPublic = FindKeyFile(folder, "client-public")) {
        const auto given = ReadRsaKey(*givenPublic, false, error);
        if (!given) return Fail(error);
        if (given->modulus != clientPublic->modulus) {
            return Fail(givenPublic->string() + " does not belong to " +
                        clientPrivateFile->string());
        }
    }
    const auto serverPublic = ReadRsaKey(*serverPublicFile, false, error);
    if (!serverPublic) return Fail(error);
    if (clientPrivate->modulusBits != kClientKeyBits) {
        return Fail("the client key must be a 1024-bit RSA key");
    }
    if (serverPublic->modulusBits > kMaxModulusBits) {
        return Fail("the server key is larger than 1136 bits");
    }

    // Record 1 and 4 are reserved: they carry public keys that nothing reads.
    const std::array<const Bytes*, 4> plains = {&clientPublic->der, &clientPrivate->der,
                                                &serverPublic->der, &serverPublic->der};
    const Bytes key = StoreKey(*constant);
    std::ostringstream source;
    source << "// Generated by qorv_keystore_gen from " << folder.filename().string()
           << ": do not edit, do not commit.\n"
           << "#include \"crypto/key_store_data.h\"\n\nnamespace qorv::crypto {\nnamespace {\n\n";
    for (std::size_t i = 0; i < plains.size(); ++i) {
        const std::size_t padded = (plains[i]->size() / 8 + 1) * 8;
        if (padded + 1 > kBufferSizes[i]) {
            return Fail("record " + std::to_string(i + 1) + " does not fit its buffer");
        }
        Bytes record;
        if (!EncipherRecord(key, *plains[i], record)) return Fail("triple DES is not available");
        WriteArray(source, "kRecord" + std::to_string(i + 1), record);
        source << "\n";
    }
    source << "}  // namespace\n\n"
           << "const std::array<uint8_t, kKeyStoreConstantSize> kKeyStoreConstant = {";
    for (std::size_t i = 0; i < constant->size(); ++i) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "0x%02x", (*constant)[i]);
        source << (i ? ", " : "") << hex;
    }
    source << "};\n\n"
           << "const std::array<StoredKeyRecord, kKeyStoreRecordCount> kStoredKeyRecords = {{\n"
           << "    {kRecord1, sizeof kRecord1},\n    {kRecord2, sizeof kRecord2},\n"
           << "    {kRecord3, sizeof kRecord3},\n    {kRecord4, sizeof kRecord4},\n}};\n\n"
           << "}  // namespace qorv::crypto\n";

    // Write only when the content changed, so an unchanged key folder does
    // not rebuild the library.
    const std::string text = source.str();
    {
        std::ifstream existing(output, std::ios::binary);
        std::stringstream current;
        current << existing.rdbuf();
        if (existing && current.str() == text) return 0;
    }
    std::ofstream out(output, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out) return Fail("cannot write " + output.string());
    return 0;
}

}  // namespace
}  // namespace qorv::keystore

int main(int argc, char** argv) {
    std::filesystem::path folder;
    std::filesystem::path output;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--key-dir") {
            folder = argv[i + 1];
        } else if (option == "--output") {
            output = argv[i + 1];
        }
    }
    if (folder.empty() || output.empty()) {
        std::cerr << "usage: qorv_keystore_gen --key-dir DIR --output FILE\n";
        return 2;
    }
    return qorv::keystore::Run(folder, output);
}
