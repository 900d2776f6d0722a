// The result order must be the library list sort's, pair for pair, on
// names that share prefixes and differ in letter case.

#include <gtest/gtest.h>

#include <random>

#include "app/tags/CTagPageBuilder.h"
#include "base/model/CSortRList.h"
#include "base/model/CUrlNode.h"

namespace {

TEST(SortByNameTest, SameOrderAsTheListSort)
{
    const std::u16string alphabet = u"aAbB\u00e9\u00c9 ";
    std::mt19937 random(20240611);
    for (int run = 0; run < 500; ++run) {
        std::vector<CTaggedPage> pages;
        RBaseNodeItem* head = nullptr;
        size_t size = random() % 30;
        for (size_t i = 0; i < size; ++i) {
            CUrlNode* node = CUrlNode::New();
            if (random() % 20 == 0) {
                node->SetName(nullptr);
            } else {
                std::u16string name;
                for (size_t n = random() % 5; n > 0; --n)
                    name += alphabet[random() % alphabet.size()];
                node->SetName(name.c_str());
            }
            pages.push_back({nullptr, node});
            head = CListTool::Append(head, RBaseNodeItem::New(node));
        }
        head = CSortRList().Sort(head, true);
        CTagPageBuilder::SortByName(pages);
        size_t i = 0;
        for (RBaseNodeItem* r = head; r; ++i) {
            ASSERT_LT(i, pages.size());
            EXPECT_EQ(r->GetData(), pages[i].item) << "run " << run << ", place " << i;
            RBaseNodeItem* next = r->GetNext();
            RBaseNodeItem::Delete(r);
            r = next;
        }
        EXPECT_EQ(i, pages.size());
        for (const CTaggedPage& page : pages)
            CBaseNode::Delete(page.item);
    }
}

}  // namespace
