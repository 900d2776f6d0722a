#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "base/tools/CEncodingTool.h"
#include "base/tools/CMD5Digest.h"

namespace {

std::string Hex(const unsigned char* digest)
{
    static const char digits[] = "0123456789abcdef";
    std::string s;
    for (int i = 0; i < 16; i++) {
        s += digits[digest[i] >> 4];
        s += digits[digest[i] & 15];
    }
    return s;
}

std::string OneShot(const std::string& data)
{
    unsigned char digest[17];
    CMD5Digest::MD5String(digest, data.data(), static_cast<long>(data.size()));
    return Hex(digest);
}

std::string Upper(std::string s)
{
    for (char& c : s)
        if (c >= 'a' && c <= 'f')
            c = static_cast<char>(c - 'a' + 'A');
    return s;
}

std::string Narrow(const char16_t* text)
{
    std::string s;
    for (; *text; text++)
        s += static_cast<char>(*text);
    return s;
}

struct Vector {
    const char16_t* text;
    const char* digest;
};

// The test suite of RFC 1321.
const Vector kRfcSuite[] = {
    {u"", "d41d8cd98f00b204e9800998ecf8427e"},
    {u"a", "0cc175b9c0f1b6a831c399e269772661"},
    {u"abc", "900150983cd24fb0d6963f7d28e17f72"},
    {u"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
    {u"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
    {u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
     "d174ab98d277d9f5a5611c2c9f419d9f"},
    {u"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
     "57edf4a22be3c955ac49da2e2107b67a"},
};

TEST(MD5Test, RfcSuiteInBothLetterCases)
{
    for (const auto& v : kRfcSuite) {
        char16_t lower[33], upper[33];
        ASSERT_TRUE(CEncodingTool::GetWideCharLowerMD5(v.text, lower));
        ASSERT_TRUE(CEncodingTool::GetWideCharMD5(v.text, upper));
        EXPECT_EQ(Narrow(lower), v.digest);
        EXPECT_EQ(Narrow(upper), Upper(v.digest));
        EXPECT_EQ(OneShot(Narrow(v.text)), v.digest);
    }
}

TEST(MD5Test, MD5StringWritesSeventeenBytesAndHonoursLength)
{
    unsigned char digest[18];
    std::memset(digest, 0xAA, sizeof(digest));
    // -1 stops at the first NUL; an explicit length digests it.
    CMD5Digest::MD5String(digest, "abc\0def", -1);
    EXPECT_EQ(Hex(digest), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(digest[16], 0);
    EXPECT_EQ(digest[17], 0xAA);
    CMD5Digest::MD5String(digest, "abc\0def", 7);
    EXPECT_EQ(Hex(digest), "a5e4d5963ae44c1f4bfb37b1a3d55a3c");
}

// Lengths around the padding and block boundaries, where the length field
// spills into an extra block or a block is taken straight from the input.
TEST(MD5Test, BlockAndPaddingBoundaries)
{
    const std::pair<size_t, const char*> cases[] = {
        {55, "ef1772b6dff9a122358552954ad0df65"},  {56, "3b0c8ac703f828b04c6c197006d17218"},
        {57, "652b906d60af96844ebd21b674f35e93"},  {63, "b06521f39153d618550606be297466d5"},
        {64, "014842d480b571495a4a0363793f7367"},  {65, "c743a45e0d2e6a95cb859adae0248435"},
        {127, "020406e1d05cdc2aa287641f7ae2cc39"}, {128, "e510683b3f5ffe4093d021808bc6ff70"},
        {129, "b325dc1c6f5e7a2b7cf465b9feab7948"},
    };
    for (const auto& [length, digest] : cases)
        EXPECT_EQ(OneShot(std::string(length, 'a')), digest) << length;
    EXPECT_EQ(OneShot(std::string(1000000, 'a')), "7707d6ae4e027c70eea2a935c2296f21");
}

TEST(MD5Test, StreamingInPiecesEqualsOneShot)
{
    std::string data;
    for (int i = 0; i < 300; i++)
        data += static_cast<char>((i * 37 + 11) & 0xFF);

    for (size_t length : {0u, 1u, 55u, 63u, 64u, 65u, 130u, 300u}) {
        std::string whole = data.substr(0, length);
        std::string expected = OneShot(whole);
        // Every split point into two Updates.
        for (size_t split = 0; split <= length; split++) {
            CMD5Digest md5;
            md5.Update(whole.data(), split);
            md5.Update(whole.data() + split, length - split);
            unsigned char digest[16];
            md5.Final(digest);
            ASSERT_EQ(Hex(digest), expected) << length << " split at " << split;
        }
    }

    // The object is reusable after Init.
    CMD5Digest md5;
    md5.Update("junk", 4);
    md5.Init();
    md5.Update(data.data(), data.size());
    unsigned char digest[16];
    md5.Final(digest);
    EXPECT_EQ(Hex(digest), OneShot(data));
}

TEST(MD5Test, TextIsDigestedAsUtf8)
{
    char16_t out[33];
    ASSERT_TRUE(CEncodingTool::GetWideCharLowerMD5(u"\u00e9", out));
    EXPECT_EQ(Narrow(out), "66ddcd97cfdeabb2f6fb8a999b4bc76f");  // C3 A9
    ASSERT_TRUE(CEncodingTool::GetWideCharLowerMD5(u"\U0001F600", out));
    EXPECT_EQ(Narrow(out), "2a02eac39d716a70ecf37579185927b6");  // F0 9F 98 80
    const char16_t lone[] = {u'x', 0xD800, 0};
    ASSERT_TRUE(CEncodingTool::GetWideCharLowerMD5(lone, out));
    EXPECT_EQ(Narrow(out), "3243f8057a866360243de691213276c9");  // 78 EF BF BD

    ASSERT_TRUE(CEncodingTool::GetWideCharMD5(nullptr, out));
    EXPECT_EQ(Narrow(out), "D41D8CD98F00B204E9800998ECF8427E");
    EXPECT_FALSE(CEncodingTool::GetWideCharMD5(u"abc", nullptr));
}

}  // namespace
