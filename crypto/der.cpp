#include "crypto/der.h"

#include <cstddef>

namespace qorv::crypto {
namespace {

constexpr uint8_t kTagSequence = 0x30;
constexpr uint8_t kTagInteger = 0x02;

// A forward-only view of the record; every read is bounded by its end.
class DerCursor {
  public:
    explicit DerCursor(std::span<const uint8_t> data) : data_(data) {}

    // Reads a length field and checks that that many bytes remain.
    int32_t ReadLength(std::size_t& length) {
        if (pos_ >= data_.size()) return kDerBadLength;
        const uint8_t first = data_[pos_++];
        if (first < 0x80) {
            length = first;
        } else {
            const std::size_t count = first & 0x7F;
            if (count < 1 || count > 4 || data_.size() - pos_ < count) return kDerBadLength;
            length = 0;
            for (std::size_t i = 0; i < count; ++i) length = (length << 8) | data_[pos_++];
        }
        if (length > data_.size() - pos_) return kDerBadLength;
        return kDerOk;
    }

    int32_t ReadSequenceHeader() {
        if (pos_ >= data_.size()) return kDerBadLength;
        if (data_[pos_] != kTagSequence) return kDerBadTag;
        ++pos_;
        std::size_t length = 0;
        const int32_t rc = ReadLength(length);
        if (rc != kDerOk) return rc;
        data_ = data_.first(pos_ + length);  // the components must lie inside the SEQUENCE
        return kDerOk;
    }

    // Reads one INTEGER and returns its value bytes without leading zeros.
    int32_t ReadInteger(std::span<const uint8_t>& value) {
        if (pos_ >= data_.size()) return kDerBadLength;
        if (data_[pos_] != kTagInteger) return kDerNotInteger;
        ++pos_;
        std::size_t length = 0;
        const int32_t rc = ReadLength(length);
        if (rc != kDerOk) return rc;
        value = data_.subspan(pos_, length);
        pos_ += length;
        while (!value.empty() && value.front() == 0) value = value.subspan(1);
        return kDerOk;
    }

  private:
    std::span<const uint8_t> data_;
    std::size_t pos_ = 0;
};

// Reads the components in order: the modulus fixes the byte limit of all.
class ComponentReader {
  public:
    explicit ComponentReader(DerCursor& cursor) : cursor_(cursor) {}

    int32_t ReadModulus(BigNum& modulus) {
        std::span<const uint8_t> value;
        const int32_t rc = cursor_.ReadInteger(value);
        if (rc != kDerOk) return rc;
        const std::size_t digits = value.size() / 2 + 1;
        if (digits > BigNum::kCapacityDigits16) return kDerComponentTooLarge;
        limitBytes_ = 2 * digits;
        return modulus.SetBytes(value) ? kDerOk : kDerComponentTooLarge;
    }

    int32_t Read(BigNum& number) {
        std::span<const uint8_t> value;
        const int32_t rc = cursor_.ReadInteger(value);
        if (rc != kDerOk) return rc;
        if (value.size() > limitBytes_) return kDerComponentTooLarge;
        return number.SetBytes(value) ? kDerOk : kDerComponentTooLarge;
    }

  private:
    DerCursor& cursor_;
    std::size_t limitBytes_ = 0;
};

}  // namespace

int32_t ReadRsaPublicKey(std::span<const uint8_t> der, RsaPublicKey& key) {
    if (der.empty()) return kDerMissing;
    DerCursor cursor(der);
    ComponentReader reader(cursor);
    int32_t rc = cursor.ReadSequenceHeader();
    if (rc == kDerOk) rc = reader.ReadModulus(key.modulus);
    if (rc == kDerOk) rc = reader.Read(key.publicExponent);
    if (rc != kDerOk) {
        key.modulus.Wipe();
        key.publicExponent.Wipe();
    }
    return rc;
}

int32_t ReadRsaPrivateKey(std::span<const uint8_t> der, RsaPrivateKey& key) {
    if (der.empty()) return kDerMissing;
    DerCursor cursor(der);
    ComponentReader reader(cursor);
    int32_t rc = cursor.ReadSequenceHeader();
    std::span<const uint8_t> version;
    if (rc == kDerOk) rc = cursor.ReadInteger(version);
    BigNum* const later[] = {&key.publicExponent, &key.privateExponent, &key.prime1,
                             &key.prime2,         &key.exponent1,       &key.exponent2,
                             &key.coefficient};
    if (rc == kDerOk) rc = reader.ReadModulus(key.modulus);
    for (BigNum* number : later) {
        if (rc == kDerOk) rc = reader.Read(*number);
    }
    if (rc != kDerOk) {
        key.modulus.Wipe();
        for (BigNum* number : later) number->Wipe();
    }
    return rc;
}

}  // namespace qorv::crypto
