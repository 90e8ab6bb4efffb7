#include "exchange/IntegrityDigest.h"

#include <openssl/evp.h>

#include <algorithm>
#include <stdexcept>

namespace ravelong {

struct IntegrityDigest::Md5 {
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    ~Md5() { EVP_MD_CTX_free(context); }
};

IntegrityDigest::IntegrityDigest(std::uint64_t byteLimit)
    : md5_(std::make_unique<Md5>()), limit_(byteLimit) {
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
    if (bytes_ < limit_) {
        const std::uint64_t take = std::min<std::uint64_t>(length, limit_ - bytes_);
        EVP_DigestUpdate(md5_->context, bytes, static_cast<std::size_t>(take));
    }
    bytes_ += length;
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
    IntegrityDigest count;
    count.write(text.data(), text.size());
    IntegrityDigest digest(count.byteLimit());
    digest.write(text.data(), text.size());
    return digest.hex();
}

}  // namespace ravelong
