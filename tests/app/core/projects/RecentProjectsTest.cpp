#include "app/core/CRecentProjects.h"
#include "base/model/CColctNode.h"
#include "base/model/RNode.h"
#include "base/xml/CReadBkmarkXML.h"
#include "tests/app/core/projects/ProjectTestBase.h"

namespace {

std::vector<std::string> Names(const CRecentProjects& recent)
{
    std::vector<std::string> names;
    for (RNode* entry = recent.GetFirst(); entry; entry = entry->GetNext())
        names.push_back(Utf8(CRecentProjects::GetItem(entry)->GetName()) + "=" +
                        Utf8(CRecentProjects::GetItem(entry)->GetUrl()));
    return names;
}

}  // namespace

TEST_F(ProjectTest, RecentListKeepsTheNewestTwentyFive)
{
    std::u16string file = U(home.DataFolder() / "zandrecentproject.xml");
    fs::create_directories(home.DataFolder());
    Write(Utf8(file), "<rss><channel><item>");   // unreadable: an empty list
    CRecentProjects recent;
    EXPECT_EQ(recent.GetFile(), file);
    recent.Load();
    EXPECT_EQ(recent.GetCount(), 0);
    for (int i = 0; i < 26; ++i)
        recent.Add(Utf16("P" + std::to_string(i)), Utf16("/p/P" + std::to_string(i) + ".zand"));
    EXPECT_EQ(recent.GetCount(), 25);
    EXPECT_EQ(Names(recent).front(), "P25=/p/P25.zand");
    EXPECT_EQ(Names(recent).back(), "P1=/p/P1.zand");

    // The same path in other letters is the same project.
    recent.Add(u"p5", u"/P/p5.ZAND");
    EXPECT_EQ(recent.GetCount(), 25);
    EXPECT_EQ(Names(recent).front(), "p5=/P/p5.ZAND");
    EXPECT_EQ(Names(recent).back(), "P1=/p/P1.zand");
    recent.Remove(recent.GetFirst()->GetNext());
    EXPECT_FALSE(recent.IsDirty());

    CRecentProjects again;
    again.Load();
    EXPECT_EQ(Names(again), Names(recent));
    CReadBkmarkXML reader;
    ASSERT_TRUE(reader.LoadFile(file.c_str()));
    CColctNode* colct = reader.DetachColctNode();
    ASSERT_NE(colct, nullptr);
    EXPECT_EQ(Utf8(colct->GetName()), "Recently opened projects");
    CColctNode::DeleteAll(colct);

    // Nothing changed: nothing written.
    fs::remove(Utf8(file));
    EXPECT_TRUE(again.Write());
    EXPECT_FALSE(fs::exists(Utf8(file)));
}
