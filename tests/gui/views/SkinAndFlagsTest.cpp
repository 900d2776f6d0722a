#include <gtest/gtest.h>

#include <glib.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/core/CPageMgr.h"
#include "app/shell/CFlagColumn.h"
#include "app/shell/CSkinStrip.h"
#include "app/shell/CTagBar.h"
#include "base/model/CBaseNode.h"
#include "base/model/CUrlNode.h"
#include "base/model/CUrlProp.h"
#include "base/tools/CUnicodeTool.h"

namespace {

struct Rgb {
    uint8_t r, g, b;
    bool operator==(const Rgb&) const = default;
};
constexpr Rgb kKey{255, 0, 255};

// A 24-bit bottom-up BMP, the form the skin's bitmaps take.
void WriteBmp(const std::string& path, int width, int height, const std::vector<Rgb>& topDown)
{
    int stride = (width * 3 + 3) & ~3;
    uint32_t dataSize = static_cast<uint32_t>(stride * height);
    std::vector<uint8_t> out{'B', 'M'};
    for (uint32_t v : {54 + dataSize, 0u, 54u, 40u, uint32_t(width), uint32_t(height), 1u | 24u << 16, 0u, dataSize,
                       2835u, 2835u, 0u, 0u})
        out.insert(out.end(), {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)});
    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < width; ++x) {
            const Rgb& p = topDown[static_cast<size_t>(y * width + x)];
            out.insert(out.end(), {p.b, p.g, p.r});
        }
        out.resize(out.size() + static_cast<size_t>(stride - width * 3));
    }
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(out.data()),
                                                static_cast<std::streamsize>(out.size()));
}

// Red, green, blue and alpha of one pixel.
std::array<int, 4> PixelAt(GdkPixbuf* picture, int x, int y)
{
    const guchar* p = gdk_pixbuf_read_pixels(picture) + y * gdk_pixbuf_get_rowstride(picture) +
                      x * gdk_pixbuf_get_n_channels(picture);
    return {p[0], p[1], p[2], gdk_pixbuf_get_has_alpha(picture) ? p[3] : 255};
}

class SkinStripTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        gchar* dir = g_dir_make_tmp("skin-XXXXXX", nullptr);
        ASSERT_NE(dir, nullptr);
        m_dir = dir;
        g_free(dir);
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }
    std::u16string Make(const char* name, int width, int height, const std::vector<Rgb>& pixels)
    {
        WriteBmp(m_dir + "/" + name, width, height, pixels);
        return CUnicodeTool::FromUtf8(m_dir + "/" + name);
    }

    std::string m_dir;
};

// Two whole 4-pixel pictures and a 2-pixel rest: every picture keeps its
// own pixels, the key colour is see-through and nothing else is.
TEST_F(SkinStripTest, CutsWholePicturesAndMakesOnlyTheKeyTransparent)
{
    const int width = 10, height = 4;
    std::vector<Rgb> pixels(width * height, kKey);
    pixels[1] = {10, 20, 30};               // picture 0, (1, 0)
    pixels[4 + 2 * width + 3] = {200, 1, 2};  // picture 1, (3, 2)
    pixels[9] = {5, 5, 5};                  // the rest, no picture
    pixels[4 + 3 * width] = {255, 0, 254};  // near the key is not the key
    CSkinStrip strip;
    ASSERT_TRUE(strip.Load(Make("strip.bmp", width, height, pixels), 4));
    ASSERT_EQ(strip.GetCount(), 2);
    for (int place = 0; place < 2; ++place) {
        EXPECT_EQ(gdk_pixbuf_get_width(strip.Get(place)), 4);
        EXPECT_EQ(gdk_pixbuf_get_height(strip.Get(place)), 4);
    }
    using Rgba = std::array<int, 4>;
    EXPECT_EQ(PixelAt(strip.Get(0), 1, 0), (Rgba{10, 20, 30, 255}));
    EXPECT_EQ(PixelAt(strip.Get(0), 0, 0)[3], 0);
    EXPECT_EQ(PixelAt(strip.Get(1), 3, 2), (Rgba{200, 1, 2, 255}));
    EXPECT_EQ(PixelAt(strip.Get(1), 0, 3)[3], 255);
    EXPECT_EQ(PixelAt(strip.Get(1), 1, 3)[3], 0);
    EXPECT_EQ(strip.Get(2), nullptr);
    EXPECT_EQ(strip.Get(-1), nullptr);
}

// A failed load leaves no pictures of an earlier one behind, and a bitmap
// lower than one picture gives none.
TEST_F(SkinStripTest, FailedLoadsLeaveNoPictures)
{
    CSkinStrip strip;
    ASSERT_TRUE(strip.Load(Make("good.bmp", 8, 4, std::vector<Rgb>(32, kKey)), 4));
    EXPECT_EQ(strip.GetCount(), 2);
    EXPECT_FALSE(strip.Load(CUnicodeTool::FromUtf8(m_dir + "/missing.bmp"), 4));
    EXPECT_EQ(strip.GetCount(), 0);
    EXPECT_EQ(strip.Get(0), nullptr);

    EXPECT_FALSE(strip.Load(Make("low.bmp", 16, 3, std::vector<Rgb>(48, kKey)), 4));
    EXPECT_EQ(strip.GetCount(), 0);
    EXPECT_FALSE(strip.Load(Make("zero.bmp", 8, 4, std::vector<Rgb>(32, kKey)), 0));
    std::ofstream(m_dir + "/bad.bmp", std::ios::binary) << "BM not a bitmap";
    EXPECT_FALSE(strip.Load(CUnicodeTool::FromUtf8(m_dir + "/bad.bmp"), 4));
}

// The flag table and the skin's flag strip must agree: every flag but the
// clear one has a picture that exists, and its name for the tool tip. A
// flag number outside the table, as a damaged file could carry, shows
// nothing instead of another picture or a read past the table.
TEST(FlagColumn, EveryFlagHasAPictureInTheSkinAndNoOtherNumberHasOne)
{
    CSkinStrip strip;
    std::string path = std::string(ZANDREL_TEST_DATA) + "/../../resources/Skin/Flags.bmp";
    ASSERT_TRUE(strip.Load(CUnicodeTool::FromUtf8(path), CFlagColumn::kPictureSize));
    for (int flag = 1; flag < CPageMgr::kFlagCount; ++flag) {
        EXPECT_NE(strip.Get(CFlagColumn::GetPicture(flag)), nullptr) << flag;
        EXPECT_NE(CFlagColumn::GetTooltip(flag), u"") << flag;
    }
    EXPECT_EQ(CFlagColumn::GetTooltip(1), u"Red Star");
    for (int flag : {0, -1, -100, CPageMgr::kFlagCount, 99, 1 << 30}) {
        EXPECT_EQ(CFlagColumn::GetPicture(flag), -1) << flag;
        EXPECT_EQ(CFlagColumn::GetTooltip(flag), u"") << flag;
    }
}

TEST(TagBar, ShowsThePageTagsInTheirOrder)
{
    EXPECT_TRUE(CTagBar::GetTags(nullptr).empty());
    CUrlNode* page = CUrlNode::New();
    EXPECT_TRUE(CTagBar::GetTags(page).empty());
    EXPECT_EQ(page->PeekUrlProp(), nullptr) << "looking at the tags must not make properties";
    page->GetUrlProp()->SetTagsList(CUrlProp::GenerateRBstrItemList(u"zeta <b>alpha</b>;Zeta,R&amp"));
    std::vector<std::u16string> want{u"zeta", u"<b>alpha</b>", u"R&amp"};
    EXPECT_EQ(CTagBar::GetTags(page), want);
    CBaseNode::Delete(page);
}

}  // namespace
