#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/Base64.h"

namespace ravelong {
namespace {

std::vector<std::uint8_t> bytesOf(const std::string& text) {
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

TEST(Base64, EncodesTheStandardTestVectors) {
    EXPECT_EQ(base64::encode(bytesOf("")), "");
    EXPECT_EQ(base64::encode(bytesOf("f")), "Zg==");
    EXPECT_EQ(base64::encode(bytesOf("fo")), "Zm8=");
    EXPECT_EQ(base64::encode(bytesOf("foo")), "Zm9v");
    EXPECT_EQ(base64::encode(bytesOf("foob")), "Zm9vYg==");
    EXPECT_EQ(base64::encode(bytesOf("fooba")), "Zm9vYmE=");
    EXPECT_EQ(base64::encode(bytesOf("foobar")), "Zm9vYmFy");
    EXPECT_EQ(base64::encode(std::vector<std::uint8_t>{0xFB, 0xFF}), "+/8=");
}

TEST(Base64, EveryByteValueRoundTrips) {
    for (std::size_t length = 0; length < 260; ++length) {
        std::vector<std::uint8_t> bytes(length);
        for (std::size_t i = 0; i < length; ++i) {
            bytes[i] = static_cast<std::uint8_t>((i * 37 + length) & 0xFF);
        }
        const auto decoded = base64::decode(base64::encode(bytes));
        ASSERT_TRUE(decoded.has_value()) << length;
        EXPECT_EQ(*decoded, bytes) << length;
    }
}

TEST(Base64, MalformedTextIsRejected) {
    for (const char* bad : {"Zg=", "Zg", "Z===", "Zg=a", "Zm9v Yg==", "Zm9v\nYg==", "Zm9-", "Zm9_",
                            "Zh==", "Zm9=", "=Zg=", "Zg==Zg==", "\xC3\xA9\x41\x41"}) {
        EXPECT_FALSE(base64::decode(bad).has_value()) << bad;
    }
}

}  // namespace
}  // namespace ravelong
