#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "base/tools/CBaseTool.h"
#include "base/tools/CSysString.h"
#include "base/tools/CUnicodeTool.h"

namespace {

// TCHARGetUTF8 as a std::string, checking the terminator and the length.
std::string Utf8Of(const char16_t* text)
{
    char* bytes = nullptr;
    int length = -1;
    EXPECT_TRUE(CUnicodeTool::TCHARGetUTF8(text, &bytes, &length));
    if (!bytes)
        return "<null>";
    std::string s(bytes, static_cast<size_t>(length));
    EXPECT_EQ(bytes[length], '\0');
    CUnicodeTool::DeleteBuffer(bytes);
    return s;
}

// UTF8GetBSTR as a std::u16string, checking the stored length.
std::u16string FromBytes(const std::string& bytes)
{
    char16_t* text = nullptr;
    EXPECT_TRUE(CUnicodeTool::UTF8GetBSTR(&text, bytes.data(), static_cast<int>(bytes.size())));
    if (!text)
        return u"<null>";
    std::u16string s(text, CSysString::Len(text));
    EXPECT_EQ(text[s.size()], u'\0');
    CSysString::Free(text);
    return s;
}

// Lone surrogates become replacement characters.
TEST(UnicodeTest, EncodesEveryLengthOfSequence)
{
    const std::string fffd = "\xEF\xBF\xBD";
    const std::pair<std::u16string, std::string> cases[] = {
        {u"A\u00e9\u0800\u20ac\uffff\U00010000\U0001F600\U0010FFFF",
         "A\xC3\xA9\xE0\xA0\x80\xE2\x82\xAC\xEF\xBF\xBF\xF0\x90\x80\x80\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF"},
        {u"", ""},
        {{u'a', 0xD83D}, "a" + fffd},          // high at the end
        {{0xDE00, u'b'}, fffd + "b"},          // low alone
        {{0xDE00, 0xD83D}, fffd + fffd},       // reversed
        {{0xD83D, 0xD83D, 0xDE00}, fffd + "\xF0\x9F\x98\x80"},
    };
    for (const auto& [text, bytes] : cases)
        EXPECT_EQ(Utf8Of(text.c_str()), bytes) << testing::PrintToString(bytes);
    EXPECT_EQ(Utf8Of(nullptr), "");
    EXPECT_EQ(FromBytes("A\xC3\xA9\xF0\x9F\x98\x80"), u"A\u00e9\U0001F600");
}

TEST(UnicodeTest, IllFormedUtf8BecomesOneReplacementPerMaximalPart)
{
    const std::u16string r = u"\uFFFD";
    const std::pair<std::string, std::u16string> cases[] = {
        {"\x80", r},
        {"\xC0\xAF", r + r},                 // overlong lead
        {"\xE0\x80\xAF", r + r + r},         // overlong three-byte form
        {"\xED\xA0\x80", r + r + r},         // encoded surrogate
        {"\xF4\x90\x80\x80", r + r + r + r}, // above U+10FFFF
        {"\xF5\x80", r + r},
        {"\xE2\x82", r},                     // cut short at the end
        {"\xE2\x82" "A", r + u"A"},          // cut short by a new character
        {"\xF0\x9F\x98", r},
        // The example of the Unicode Standard, chapter 3.
        {"a\xF1\x80\x80\xE1\x80\xC2" "b\x80" "c\x80\xBF" "d", u"a" + r + r + r + u"b" + r + u"c" + r + r + u"d"},
        // The smallest and largest values of each form are fine.
        {"\xC2\x80\xDF\xBF\xE0\xA0\x80\xED\x9F\xBF\xEE\x80\x80\xF0\x90\x80\x80\xF4\x8F\xBF\xBF",
         u"\u0080\u07FF\u0800\uD7FF\uE000\U00010000\U0010FFFF"},
    };
    for (const auto& [bytes, expected] : cases) {
        EXPECT_EQ(FromBytes(bytes), expected) << testing::PrintToString(bytes);
        std::u16string out = u"x";  // appended after text already there
        CUnicodeTool::AppendUtf16("ab" + bytes, out);
        EXPECT_EQ(out, u"xab" + expected) << testing::PrintToString(bytes);
    }
}

TEST(UnicodeTest, EveryScalarValueRoundTrips)
{
    std::u16string all;
    for (char32_t c = 1; c <= 0x10FFFF; c++) {
        if (c >= 0xD800 && c <= 0xDFFF)
            continue;
        if (c < 0x10000) {
            all += static_cast<char16_t>(c);
        } else {
            all += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            all += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        }
    }
    std::string utf8 = CUnicodeTool::ToUtf8(all);
    EXPECT_EQ(utf8.size(), 0x7Fu + 2 * 0x780 + 3 * (0x10000 - 0x800 - 0x800) + 4 * 0x100000);
    EXPECT_EQ(Utf8Of(all.c_str()), utf8);
    EXPECT_EQ(CUnicodeTool::FromUtf8(utf8), all);
}

TEST(UnicodeTest, LengthsEmbeddedNulsAndEmptyInput)
{
    char16_t* sys = CSysString::AllocLen(u"a\0\u00e9", 3);
    char* bytes = nullptr;
    int length = 0;
    ASSERT_TRUE(CUnicodeTool::BSTRGetUTF8(sys, &bytes, &length));
    EXPECT_EQ(std::string(bytes, static_cast<size_t>(length) + 1), std::string("a\0\xC3\xA9\0", 5));
    CBaseTool::Delete(bytes);
    CSysString::Free(sys);

    // An explicit length keeps a NUL; 0 stops at it.
    EXPECT_EQ(FromBytes(std::string("a\0b", 3)), std::u16string(u"a\0b", 3));
    char16_t* text = nullptr;
    ASSERT_TRUE(CUnicodeTool::UTF8GetBSTR(&text, "ab\0cd", 0));
    EXPECT_EQ(CSysString::Len(text), 2u);
    CSysString::Free(text);

    EXPECT_FALSE(CUnicodeTool::UTF8GetBSTR(&text, "", 0));
    EXPECT_EQ(text, nullptr);
    EXPECT_FALSE(CUnicodeTool::UTF8GetBSTR(&text, nullptr, 5));
}

// TCHARGetASCII under the LC_CTYPE locale `name`; "<none>" when the locale
// is not installed.
std::string InCodePage(const char* name, const char16_t* text)
{
    std::string saved = std::setlocale(LC_CTYPE, nullptr);
    if (!std::setlocale(LC_CTYPE, name))
        return "<none>";
    char* bytes = nullptr;
    int length = -1;
    EXPECT_TRUE(CUnicodeTool::TCHARGetASCII(text, &bytes, &length));
    std::setlocale(LC_CTYPE, saved.c_str());
    if (!bytes)
        return "<failed>";
    std::string s(bytes, static_cast<size_t>(length));
    CUnicodeTool::DeleteBuffer(bytes);
    return s;
}

TEST(UnicodeTest, CodePageReplacesWhatItLacks)
{
    const char16_t lone[] = {u'x', 0xDC00, u'y', 0};
    EXPECT_EQ(InCodePage("C", u"caf\u00e9 \u20ac5 \U0001F600!"), "caf? ?5 ?!");
    EXPECT_EQ(InCodePage("C", lone), "x?y");
    EXPECT_EQ(InCodePage("C", nullptr), "");
    std::string utf8 = InCodePage("C.UTF-8", u"caf\u00e9 \U0001F600");
    if (utf8 != "<none>") {
        EXPECT_EQ(utf8, "caf\xC3\xA9 \xF0\x9F\x98\x80");
    }
}

TEST(UnicodeTest, IsValidUtf8AtEveryBoundary)
{
    const struct {
        const char* bytes;
        bool valid;
    } cases[] = {
        {"", true}, {"plain \xC3\xA9", true}, {"\x7F", true}, {"\xC2\x80", true},
        {"\xC1\xBF", false},  // overlong two-byte form
        {"\xC3", false}, {"\xE2\x82", false}, {"\xE2\x28\xA1", false}, {"\x80", false},  // cut or lone parts
        {"caf\xE9", false},  // an 8-bit code page
        {"\xE0\xA0\x80", true}, {"\xE0\x9F\xBF", false},  // overlong three-byte form
        {"\xED\x9F\xBF", true}, {"\xED\xA0\x80", false},  // a surrogate
        {"\xEF\xBF\xBF", true}, {"\xF0\x90\x80\x80", true}, {"\xF0\x8F\xBF\xBF", false},  // overlong four-byte form
        {"\xF4\x8F\xBF\xBF", true}, {"\xF4\x90\x80\x80", false}, {"\xF5\x80\x80\x80", false},  // past U+10FFFF
    };
    for (const auto& c : cases)
        EXPECT_EQ(CUnicodeTool::IsValidUtf8(c.bytes), c.valid) << testing::PrintToString(std::string(c.bytes));
    EXPECT_TRUE(CUnicodeTool::IsValidUtf8(std::string_view("a\0b", 3)));
}

}  // namespace
