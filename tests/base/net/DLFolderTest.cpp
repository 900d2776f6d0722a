#include <gtest/gtest.h>

#include <string>

#include "../xml/XmlTestUtil.h"
#include "base/net/CDLFolder.h"
#include "base/net/CReadDLFolderXML.h"
#include "base/tools/CEncodingTool.h"
#include "base/tools/CUnicodeTool.h"

namespace {

// Folder names, files with their numbers, nesting in brackets.
std::string Describe(CDLFolder* folder)
{
    std::string out = U8(folder->GetName()) + "{";
    folder->ResetFileList();
    while (CDLFile* f = folder->GetNextFile())
        out += U8(f->GetName()) + ":" + std::to_string(f->GetSize()) + ":" + std::to_string(f->GetModified()) + " ";
    folder->ResetFolderList();
    while (CDLFolder* sub = folder->GetNextFolder()) {
        EXPECT_EQ(sub->GetParent(), folder);
        out += Describe(sub);
    }
    return out + "}";
}

// Sub-folders first, then the folder's own files: the order the list's
// verify value is computed in.
void Signature(CDLFolder* folder, std::string& out)
{
    folder->ResetFolderList();
    while (CDLFolder* sub = folder->GetNextFolder())
        Signature(sub, out);
    folder->ResetFileList();
    while (CDLFile* f = folder->GetNextFile())
        out += (out.empty() ? "" : " ") + U8(f->GetName()) + " " + std::to_string(f->GetSize());
}

struct Read {
    bool loaded = false;
    CDLHeader* header = nullptr;
    CDLFolder* root = nullptr;
    ~Read()
    {
        CDLHeader::Delete(header);
        CDLFolder::Delete(root);
    }
};

void Load(const std::string& bytes, Read& out)
{
    CReadDLFolderXML reader;
    out.loaded = reader.LoadXML(bytes.data(), static_cast<long>(bytes.size()));
    out.header = reader.DetachDLHeader();
    out.root = reader.DetachRootFolder();
}

}  // namespace

TEST(DLListReader, ReadsSampleListInOrder)
{
    Read r;
    Load(Golden("dllist_sample.xml"), r);
    ASSERT_TRUE(r.loaded);
    ASSERT_NE(r.header, nullptr);
    ASSERT_NE(r.root, nullptr);
    EXPECT_EQ(U8(r.header->GetTitle()) + "|" + U8(r.header->GetNextTime()) + "|" + U8(r.header->GetBuildNum()) + "|" +
                  U8(r.header->GetTimeStamp()) + "|" + U8(r.header->GetStartPage()),
              "Zandrel Start Page|604800|1207|2026-11-30 08:15:00|zandrelstart.htm");
    EXPECT_EQ(r.root->GetName(), nullptr);
    EXPECT_EQ(r.root->GetParent(), nullptr);
    EXPECT_EQ(Describe(r.root),
              "<none>{zandrelstart.htm:5120:1764490500 folderblankpage.htm:2048:1764490400 "
              "images{logo.gif:1234:1764490200 bg.png:4321:1764490210 }css{style.css:800:1764490300 }}");

    r.root->ResetFileList();
    EXPECT_EQ(U8(r.root->GetNextFile()->GetMD5()), "EA2B2676C28C0DB26D39331A336C6B92");

    // The sample's verify value is the digest of its own signature, so the
    // tree must come back in list order for it to match.
    std::string signature;
    Signature(r.root, signature);
    char16_t digest[33];
    ASSERT_TRUE(CEncodingTool::GetWideCharMD5(CUnicodeTool::FromUtf8(signature).c_str(), digest));
    EXPECT_EQ(U8(digest), U8(r.header->GetVerify()));
}

TEST(DLListReader, OtherRootsGiveNoList)
{
    for (const char* doc : {"<zandrel-dl Title=\"x\"><File Name=\"a\"/></zandrel-dl>",
                            "<ftpsites><ZAndrel-DL><File Name=\"a\"/></ZAndrel-DL></ftpsites>", "<x/>"}) {
        Read r;
        Load(doc, r);
        EXPECT_TRUE(r.loaded) << doc;
        EXPECT_EQ(r.header, nullptr) << doc;
        EXPECT_EQ(r.root, nullptr) << doc;
    }
    Read broken;
    Load("<ZAndrel-DL><File Name=\"a\"></ZAndrel-DL>", broken);
    EXPECT_FALSE(broken.loaded);
    EXPECT_EQ(broken.root, nullptr);
    EXPECT_EQ(broken.header, nullptr);
}

TEST(DLListReader, ToleratesMissingOddAndHugeValues)
{
    Read r;
    Load("<ZAndrel-DL ttime=\"5\" Verify=\"\">"
         "<Folder><File/></Folder>"
         "<Folder Name=\"\"><File Name=\"n\" Size=\"99999999999999999999999\" Modified=\"-99999999999999999999\"/></Folder>"
         "<File Name=\"x\" Size=\"12kb\" Modified=\"soon\" md5=\"ab\"/>"
         "<File Name=\"outer\"><Folder Name=\"inner\"><File Name=\"deep\" Size=\"1\"/></Folder></File>"
         "<folder Name=\"lower\"><File Name=\"y\"/></folder>"
         "</ZAndrel-DL>",
         r);
    ASSERT_TRUE(r.loaded);
    ASSERT_NE(r.header, nullptr);
    EXPECT_EQ(r.header->GetNextTime(), nullptr);  // names compare exactly
    EXPECT_EQ(r.header->GetTitle(), nullptr);
    EXPECT_EQ(U8(r.header->GetVerify()), "");  // present though empty
    // Empty folder names are not taken; a folder met inside a File belongs
    // to the folder the File is in; "folder" is not "Folder".
    EXPECT_EQ(Describe(r.root), "<none>{x:12:0 outer:0:0 y:0:0 <none>{<none>:0:0 }<none>{n:2147483647:-2147483648 }"
                                "inner{deep:1:0 }}");
    r.root->ResetFileList();
    EXPECT_EQ(r.root->GetNextFile()->GetMD5(), nullptr);
}

TEST(DLListReader, SurvivesDeepNesting)
{
    std::string doc = "<ZAndrel-DL>";
    for (int i = 0; i < 200; ++i)
        doc += "<Folder Name=\"d\">";
    doc += "<File Name=\"leaf\" Size=\"3\"/>";
    for (int i = 0; i < 200; ++i)
        doc += "</Folder>";
    doc += "</ZAndrel-DL>";
    Read r;
    Load(doc, r);
    ASSERT_NE(r.root, nullptr);
    CDLFolder* f = r.root;
    int depth = 0;
    while (CDLFolder* sub = (f->ResetFolderList(), f->GetNextFolder())) {
        f = sub;
        ++depth;
    }
    EXPECT_EQ(depth, 200);
    EXPECT_EQ(U8(f->GetNextFile()->GetName()), "leaf");
}

// Reading covers filling and walking; here what is refused, and the end.
TEST(DLFolder, RefusesBadAddsAndCursorsEndWithNone)
{
    CDLFolder* root = CDLFolder::New();
    EXPECT_EQ(root->GetNextFile(), nullptr);
    EXPECT_EQ(root->GetNextFolder(), nullptr);
    EXPECT_FALSE(root->AddFile(nullptr));
    EXPECT_FALSE(root->AddSubFolder(nullptr));
    EXPECT_FALSE(root->AddSubFolder(root));
    ASSERT_TRUE(root->AddFile(CDLFile::New()));
    CDLFolder* sub = CDLFolder::New();
    ASSERT_TRUE(root->AddSubFolder(sub));
    sub->AddFile(CDLFile::New());
    root->ResetFileList();
    EXPECT_NE(root->GetNextFile(), nullptr);
    EXPECT_EQ(root->GetNextFile(), nullptr);
    EXPECT_EQ(root->GetNextFile(), nullptr);
    CDLFolder::Delete(root);  // files and sub-folders go with it
    CDLFolder::Delete(nullptr);
}
