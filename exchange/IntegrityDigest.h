#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace ravelong {

// The integrity value of a backup: the MD5 digest, as 32 lower-case hexadecimal digits, of the
// root element's compact text (without the "id" attribute), taken over the text's UTF-8 bytes cut
// to as many bytes as the text has UTF-16 code units. Files written since the first version of
// the format carry that value, so the odd length rule stays:
//
//   "<a>x</a>"   8 bytes, 8 units  -> MD5 of all 8 bytes
//   "<a>é</a>"   9 bytes, 8 units  -> MD5 of the first 8 bytes ("<a>é</a" cut inside "é</a>")
//
// The text arrives in pieces (write) and is digested in one run. The cut is only known at the
// end, but it never lies before the number of units counted so far: bytes up to that count are
// digested as they come, and only the bytes beyond it (as many as the multi-byte characters so
// far have extra bytes) wait in a buffer. For text that is mostly ASCII that buffer stays tiny.
class IntegrityDigest {
public:
    IntegrityDigest();
    ~IntegrityDigest();
    IntegrityDigest(const IntegrityDigest&) = delete;
    IntegrityDigest& operator=(const IntegrityDigest&) = delete;

    void write(const char* bytes, std::size_t length);

    std::uint64_t bytes() const { return bytes_; }
    std::uint64_t utf16Units() const { return units_; }
    // The hexadecimal digest of the bytes written, cut to as many bytes as they have UTF-16
    // units. Call once, at the end.
    std::string hex();

    // The digest of a whole text in one go, with the length rule applied.
    static std::string ofText(const std::string& text);

private:
    struct Md5;
    std::unique_ptr<Md5> md5_;
    std::uint64_t bytes_ = 0;
    std::uint64_t units_ = 0;
    std::uint64_t digested_ = 0;  // bytes given to MD5
    // The bytes written but not digested yet, from pendingStart_ on (positions digested_ on).
    std::string pending_;
    std::size_t pendingStart_ = 0;
};

}  // namespace ravelong
