#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "base/tools/CBaseTool.h"
#include "base/tools/CStringTool.h"
#include "base/tools/CSysString.h"

namespace {

// 8-4-4-4-12 lower-case hexadecimal digits, random (version 4) layout.
bool IsUUIDText(const std::u16string& s)
{
    if (s.size() != 36)
        return false;
    for (size_t i = 0; i < s.size(); i++) {
        bool hyphen = i == 8 || i == 13 || i == 18 || i == 23;
        char16_t c = s[i];
        if (hyphen ? c != u'-' : !((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f')))
            return false;
    }
    return s[14] == u'4' && std::u16string(u"89ab").find(s[19]) != std::u16string::npos;
}

TEST(BaseToolTest, GetUUIDNeedsRoomForTheTerminator)
{
    char16_t buffer[40];
    std::fill(std::begin(buffer), std::end(buffer), u'#');
    EXPECT_FALSE(CBaseTool::GetUUID(buffer, 36));
    EXPECT_FALSE(CBaseTool::GetUUID(nullptr, 40));
    for (char16_t c : buffer)
        ASSERT_EQ(c, u'#');

    ASSERT_TRUE(CBaseTool::GetUUID(buffer, 37));
    EXPECT_TRUE(IsUUIDText(buffer));
    EXPECT_EQ(buffer[36], u'\0');
    EXPECT_EQ(buffer[37], u'#');

    char16_t* other = CBaseTool::NewUUIDString();
    ASSERT_NE(other, nullptr);
    EXPECT_TRUE(IsUUIDText(other));
    EXPECT_NE(std::u16string(buffer), std::u16string(other));
    CSysString::Free(other);
}

unsigned g_keys = 0;
unsigned FakeKeyboard() { return g_keys; }

TEST(BaseToolTest, ModifierKeysFollowTheirPrecedence)
{
    CBaseTool::SetModifyKeyStateHook(nullptr);
    g_keys = CBaseTool::Shift;
    EXPECT_EQ(CBaseTool::GetModifyKeyState(), 0);

    CBaseTool::SetModifyKeyStateHook(&FakeKeyboard);
    constexpr unsigned S = CBaseTool::Shift, C = CBaseTool::Ctrl, A = CBaseTool::Alt;
    const std::pair<unsigned, int> cases[] = {
        {0, 0},     {S, 1},         {C, 2},     {A, 3},     {S | C, 4},
        {S | A, 1}, {C | A, 2},     {S | C | A, 4},
        {8, 0},  // a key the rules do not know
    };
    for (const auto& [keys, expected] : cases) {
        g_keys = keys;
        EXPECT_EQ(CBaseTool::GetModifyKeyState(), expected) << keys;
    }
    CBaseTool::SetModifyKeyStateHook(nullptr);
}

}  // namespace

namespace {

TEST(StringToolTest, ReadLongReadsAsAtolAndStopsAtItsBounds)
{
    EXPECT_EQ(CStringTool::ReadLong(std::u16string_view(u" \t-42abc")), -42);
    EXPECT_EQ(CStringTool::ReadLong(std::string_view("+7")), 7);
    EXPECT_EQ(CStringTool::ReadLong(std::string_view("x1")), 0);
    EXPECT_EQ(CStringTool::ReadLong(std::string_view("- 1")), 0);
    EXPECT_EQ(CStringTool::ReadLong(std::string_view("99999999999")), 2147483647L);
    EXPECT_EQ(CStringTool::ReadLong(std::string_view("-99999999999")), -2147483647L - 1);
    // Wider bounds, and digits far past any of them, without overflow.
    EXPECT_EQ(CStringTool::ReadLong(std::string_view("99999999999"), LONG_MIN, LONG_MAX), 99999999999L);
    EXPECT_EQ(CStringTool::ReadLong(std::string_view(std::string(40, '9')), LONG_MIN, LONG_MAX), LONG_MAX);
    EXPECT_EQ(CStringTool::ReadLong(std::string_view("-" + std::string(40, '9')), LONG_MIN, LONG_MAX), -LONG_MAX);
}

}  // namespace
