#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "base/model/CHashtable.h"
#include "base/model/CNameValuePair.h"
#include "base/model/TList.h"
#include "base/tools/CSysString.h"

namespace {

class HashProbe : public CHashtable {
public:
    using CHashtable::CHashtable;
    using CHashtable::HashString;
};

// Takes over a string handed out by the table.
std::u16string Take(char16_t* text)
{
    std::u16string out = text ? std::u16string(text, CSysString::Len(text)) : u"(none)";
    CSysString::Free(text);
    return out;
}

using Entries = std::vector<std::pair<std::u16string, std::u16string>>;

Entries Drain(CHashtable& table)
{
    Entries out;
    table.ResetPosition();
    while (table.HasNext()) {
        char16_t* key = nullptr;
        char16_t* value = nullptr;
        EXPECT_TRUE(table.GetNextKeyValue(&key, &value));
        out.emplace_back(Take(key), Take(value));
    }
    return out;
}

std::u16string GetValue(const CHashtable& table, const char16_t* key)
{
    char16_t* value = nullptr;
    EXPECT_TRUE(table.Get(key, &value)) << "no entry";
    return Take(value);
}

TEST(HashtableTest, BucketIndexFollowsTheShiftAndAddRule)
{
    HashProbe table;
    EXPECT_EQ(table.HashString(u""), 0);
    EXPECT_EQ(table.HashString(u"a"), 5);  // 97 % 23
    // 97 -> (97>>2)+98 = 122 -> (122>>2)+99 = 129; 129 % 23 = 14
    EXPECT_EQ(table.HashString(u"abc"), 14);
    // U+FFFF counts as 65535, not as a negative unit; h settles at 87379.
    EXPECT_EQ(table.HashString(std::u16string(40, u'\xFFFF').c_str()), 87379 % 23);
    EXPECT_EQ(HashProbe(7).HashString(u"abc"), 129 % 7);
}

TEST(HashtableTest, IteratesBucketsInOrderNewestFirstWithinABucket)
{
    HashProbe table;
    // "a" and "x" share bucket 5, "b" is in 6, the empty key in 0.
    ASSERT_EQ(table.HashString(u"x"), 5);
    table.Put(u"a", u"1", false);
    table.Put(u"b", u"2", false);
    table.Put(u"x", u"3", false);
    table.Put(u"", nullptr, false);
    EXPECT_EQ(Drain(table), (Entries{{u"", u"(none)"}, {u"x", u"3"}, {u"a", u"1"}, {u"b", u"2"}}));

    // Past the end the given pointer is cleared.
    char16_t* stale = CSysString::Alloc(u"stale");
    char16_t* key = stale;
    EXPECT_FALSE(table.GetNextKeyValue(&key, nullptr));
    EXPECT_EQ(key, nullptr);
    CSysString::Free(stale);

    // Only the asked-for copies are made, but the position always moves.
    table.ResetPosition();
    EXPECT_TRUE(table.GetNextKeyValue(nullptr, nullptr));
    char16_t* value = nullptr;
    EXPECT_TRUE(table.GetNextKeyValue(nullptr, &value));
    EXPECT_EQ(Take(value), u"3");
}

TEST(HashtableTest, PutOfPresentKeyReplacesOnlyWhenAskedAndReturnsFalse)
{
    CHashtable table;
    EXPECT_TRUE(table.Put(u"page", u"one", false));
    EXPECT_FALSE(table.Put(u"page", u"two", false));
    EXPECT_EQ(GetValue(table, u"page"), u"one");
    EXPECT_FALSE(table.Put(u"page", u"three", true));
    EXPECT_EQ(GetValue(table, u"page"), u"three");
    EXPECT_EQ(table.GetCount(), 1);

    // Replacing with none keeps the key; Get then finds it without value.
    EXPECT_FALSE(table.Put(u"page", nullptr, true));
    EXPECT_EQ(GetValue(table, u"page"), u"(none)");

    char16_t dummy[] = u"x";
    char16_t* missing = dummy;
    EXPECT_FALSE(table.Get(u"other", &missing));
    EXPECT_EQ(missing, nullptr);
}

TEST(HashtableTest, RemoveUnlinksFromAnywhereInTheChain)
{
    CHashtable table;
    for (const char16_t* key : {u"a", u"x", u"J"})  // all in bucket 5
        table.Put(key, key, false);
    EXPECT_TRUE(table.Remove(u"x"));  // middle
    EXPECT_FALSE(table.Remove(u"x"));
    EXPECT_EQ(Drain(table), (Entries{{u"J", u"J"}, {u"a", u"a"}}));
    EXPECT_TRUE(table.Remove(u"J"));  // head
    EXPECT_TRUE(table.Remove(u"a"));     // last one
    EXPECT_EQ(table.GetCount(), 0);
    EXPECT_TRUE(Drain(table).empty());
}

TEST(HashtableTest, RemoveAllEmptiesIterationAndLeavesTheTableUsable)
{
    CHashtable table(3);
    for (const char16_t* key : {u"a", u"b", u"c", u"d", u"e"})
        table.Put(key, u"v", false);
    table.ResetPosition();
    table.RemoveAll();
    EXPECT_FALSE(table.HasNext());
    table.ResetPosition();
    EXPECT_FALSE(table.HasNext());
    EXPECT_EQ(table.GetCount(), 0);
    EXPECT_TRUE(table.Put(u"a", u"again", false));
    EXPECT_EQ(Drain(table), (Entries{{u"a", u"again"}}));
}

TEST(NameValuePairTest, FindValueIgnoresCaseWhereTheHashtableDoesNot)
{
    CNameValuePair* head = nullptr;
    auto add = [&head](const char16_t* name, const char16_t* value) {
        CNameValuePair* pair = CNameValuePair::New();
        pair->SetName(name);
        pair->SetValue(value);
        head = CListTool::Append(head, pair);
        return pair;
    };
    add(nullptr, u"nameless");
    add(u"tag", u"first");
    add(u"empty", nullptr);
    add(u"TAG", u"second");
    EXPECT_EQ(std::u16string(CNameValuePair::FindValue(head, u"Tag")), u"first");
    EXPECT_EQ(CNameValuePair::FindValue(head, u"empty"), nullptr);
    EXPECT_EQ(CNameValuePair::FindValue(head, u"tags"), nullptr);
    EXPECT_EQ(CNameValuePair::FindValue(head, nullptr), nullptr);
    EXPECT_EQ(CNameValuePair::FindValue(nullptr, u"tag"), nullptr);
    EXPECT_FALSE(head->IsPair());
    EXPECT_TRUE(head->GetNext()->IsPair());

    CHashtable table;
    table.Put(u"tag", u"first", false);
    EXPECT_TRUE(table.Put(u"TAG", u"second", false));
    EXPECT_EQ(GetValue(table, u"TAG"), u"second");

    // Setters copy, even from the record's own text.
    CNameValuePair* pair = add(u"name", u"old");
    std::u16string text = u"new";
    pair->SetValue(text.c_str());
    text[0] = u'N';
    pair->SetValue(pair->GetValue());
    EXPECT_EQ(std::u16string(pair->GetValue()), u"new");
    CNameValuePair::DeleteList(head);
}

}  // namespace
