#include "sync/dropbox/DBContentHash.h"

#include <openssl/evp.h>

#include <fstream>
#include <vector>

#include "sync/SECloudFileSystem.h"

namespace ravelong::dropbox_content_hash {

namespace {

constexpr std::size_t kBlockSize = 4u << 20;

// Folds block digests into the overall hash as blocks arrive, so a file is never held whole.
class Hasher {
public:
    void addBlock(std::string_view block) {
        unsigned char digest[EVP_MAX_MD_SIZE];
        unsigned int length = 0;
        EVP_Digest(block.data(), block.size(), digest, &length, EVP_sha256(), nullptr);
        digests_.append(reinterpret_cast<const char*>(digest), length);
    }
    std::string finish() const {
        unsigned char digest[EVP_MAX_MD_SIZE];
        unsigned int length = 0;
        EVP_Digest(digests_.data(), digests_.size(), digest, &length, EVP_sha256(), nullptr);
        static const char* hex = "0123456789abcdef";
        std::string out;
        for (unsigned int i = 0; i < length; ++i) {
            out.push_back(hex[digest[i] >> 4]);
            out.push_back(hex[digest[i] & 15]);
        }
        return out;
    }

private:
    std::string digests_;
};

}  // namespace

std::string ofBytes(std::string_view bytes) {
    Hasher hasher;
    for (std::size_t at = 0; at < bytes.size(); at += kBlockSize)
        hasher.addBlock(bytes.substr(at, kBlockSize));
    return hasher.finish();
}

Result<std::string> ofFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return makeSEError(kSEErrorUnknown, "Cannot read " + file.string() + ".");
    Hasher hasher;
    std::vector<char> block(kBlockSize);
    while (in) {
        in.read(block.data(), static_cast<std::streamsize>(block.size()));
        auto got = static_cast<std::size_t>(in.gcount());
        if (got > 0)
            hasher.addBlock(std::string_view(block.data(), got));
    }
    if (in.bad())
        return makeSEError(kSEErrorUnknown, "Cannot read " + file.string() + ".");
    return hasher.finish();
}

}  // namespace ravelong::dropbox_content_hash
