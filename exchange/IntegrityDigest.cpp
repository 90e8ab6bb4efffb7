#include "exchange/IntegrityDigest.h"

#include <openssl/evp.h>

#include <algorithm>
#include <stdexcept>

namespace ravelong {

struct IntegrityDigest::Md5 {
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    ~Md5() { EVP_MD_CTX_free(context); }
};

IntegrityDigest::IntegrityDigest() : md5_(std::make_unique<Md5>()) {
    if (!md5_->context || EVP_DigestInit_ex(md5_->context, EVP_md5(), nullptr) != 1)
        throw std::runtime_error("MD5 is not available");
}

IntegrityDigest::~IntegrityDigest() = default;

void IntegrityDigest::write(const char* bytes, std::size_t length) {
    // UTF-16 units: one per character, two for characters beyond the basic plane. Counted on the
    // UTF-8 bytes: every byte that does not continue a character starts one, and a four-byte
    // lead byte (11110xxx) starts a character of two units.
    for (std::size_t i = 0; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if ((byte & 0xC0) != 0x80)
            ++units_;
        if ((byte & 0xF8) == 0xF0)
            ++units_;
    }
    const std::uint64_t start = bytes_;  // position of bytes[0]
    bytes_ += length;
    // The cut lies at the final number of units (or at the end of the bytes, should a damaged
    // text count more units than bytes), never before the same figure so far: everything before
    // `safe` is in. The figure so far may lie past these bytes, when a four-byte character is
    // split between two pieces.
    const std::uint64_t safe = std::min(units_, bytes_);
    if (pending_.size() == pendingStart_) {
        // Nothing waits (digested_ == start): digest straight from the caller's bytes, keep the
        // rest.
        const auto take = static_cast<std::size_t>(safe - start);
        EVP_DigestUpdate(md5_->context, bytes, take);
        digested_ = safe;
        pending_.assign(bytes + take, length - take);
        pendingStart_ = 0;
        return;
    }
    pending_.append(bytes, length);
    if (safe > digested_) {
        const auto take = static_cast<std::size_t>(safe - digested_);
        EVP_DigestUpdate(md5_->context, pending_.data() + pendingStart_, take);
        pendingStart_ += take;
        digested_ = safe;
    }
    if (pendingStart_ > 0 && pendingStart_ * 2 >= pending_.size()) {
        pending_.erase(0, pendingStart_);
        pendingStart_ = 0;
    }
}

std::string IntegrityDigest::hex() {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(md5_->context, digest, &length);
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    for (unsigned int i = 0; i < length; ++i) {
        text += kDigits[digest[i] >> 4];
        text += kDigits[digest[i] & 0x0F];
    }
    return text;
}

std::string IntegrityDigest::ofText(const std::string& text) {
    IntegrityDigest digest;
    digest.write(text.data(), text.size());
    return digest.hex();
}

}  // namespace ravelong
