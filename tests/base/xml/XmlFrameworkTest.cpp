#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "XmlTestUtil.h"
#include "base/model/CNodeStat.h"
#include "base/xml/CDataBuffer.h"
#include "base/xml/CReadFile.h"
#include "base/xml/CReadXML.h"
#include "base/xml/CWriteFile.h"
#include "base/xml/CWriteXML.h"

namespace {

std::vector<int> ChunkSizes(const CDataBuffer& buffer)
{
    std::vector<int> sizes;
    DATABUFFER* chunk = nullptr;
    buffer.GetData(&chunk);
    for (; chunk; chunk = chunk->pNext)
        sizes.push_back(chunk->nUsed);
    return sizes;
}

// Writes one element with the text it is given; counts its runs.
class TitleWriter : public CWriteXML {
public:
    std::u16string title;
    int fills = 0;

protected:
    void FillData() override
    {
        ++fills;
        Buffer()->Reset();
        AddXMLVersion();
        FillString("<doc>\r\n");
        FillNode(title.c_str(), "<title>", "</title>\r\n");
        FillFormat("<n v=\"%d\"/>\r\n", 42);
        FillString("</doc>");
    }
};

class EmptyWriter : public CWriteXML {
protected:
    void FillData() override {}
};

// Records the walk as text: "+name" on entering an element, "-name" on
// leaving it, "." for every other node entered.
class TraceReader : public CReadXML, public CParseXML {
public:
    std::string trace;
    std::string text;
    std::vector<std::string> attrs;
    CNodeStat stat;
    bool walked = false;

protected:
    bool InvokeParser(XMLNode* root) override
    {
        if (IsName(root, "doc"))
            ParseXMLTree(root);
        return !HasWalkFailed();
    }
    void DiscardResult() override { walked = false; }
    void ParseXMLTree(XMLNode* root) override
    {
        walked = true;
        GoThroughChildNodes(root);
    }
    void OnEnterNode(XMLNode* node) override
    {
        if (!IsElement(node))
            trace += ".";
    }
    void ProcessElementNode(XMLNode* node) override
    {
        trace += IsName(node, "krv:stat") ? "+krv:stat" : IsName(node, "doc") ? "+doc" : "+e";
        if (IsName(node, "t"))
            text += CUnicodeTool::ToUtf8(GetText(node));
        if (IsName(node, "krv:stat"))
            ProcessNodeStat(node, &stat);
        ForEachAttribute(node, [this](const char* name, const std::u16string& value) {
            attrs.push_back(std::string(name) + "=" + std::to_string(ToLong(value)));
        });
    }
    void OnLeaveNode(XMLNode* node) override
    {
        if (IsElement(node))
            trace += "-";
    }
};

}  // namespace

TEST(DataBuffer, FillsChunksOf4096)
{
    std::string bytes(10000, 'x');
    CDataBuffer buffer;
    DATABUFFER* untouched = reinterpret_cast<DATABUFFER*>(&buffer);
    EXPECT_EQ(buffer.GetData(&untouched), 0);
    EXPECT_EQ(untouched, reinterpret_cast<DATABUFFER*>(&buffer));

    ASSERT_TRUE(buffer.AddData(bytes.data(), 4096));
    EXPECT_EQ(ChunkSizes(buffer), (std::vector<int>{4096}));
    ASSERT_TRUE(buffer.AddData("y", 1));
    EXPECT_EQ(ChunkSizes(buffer), (std::vector<int>{4096, 1}));

    buffer.Reset();
    ASSERT_TRUE(buffer.AddData(bytes.data(), 10000));
    EXPECT_EQ(ChunkSizes(buffer), (std::vector<int>{4096, 4096, 1808}));
    ASSERT_TRUE(buffer.AddData(bytes.data(), 3000));  // 2288 fill the tail, 712 start a chunk
    EXPECT_EQ(ChunkSizes(buffer), (std::vector<int>{4096, 4096, 4096, 712}));
    EXPECT_EQ(buffer.Join(), std::string(13000, 'x'));

    EXPECT_FALSE(buffer.AddStringToUTF8(nullptr));
    EXPECT_TRUE(buffer.AddStringToUTF8(u""));
    EXPECT_EQ(buffer.GetLength(), 13000);
}

TEST(DataBuffer, RefusesToReach100MiBAndRemembersIt)
{
    CDataBuffer buffer;
    std::string big(CDataBuffer::s_iMaxTotal - 1, 'z');
    ASSERT_TRUE(buffer.AddData(big.data(), static_cast<int>(big.size())));
    EXPECT_FALSE(buffer.HasOverflowed());
    EXPECT_FALSE(buffer.AddData("a", 1));
    EXPECT_TRUE(buffer.HasOverflowed());
    EXPECT_EQ(buffer.GetLength(), CDataBuffer::s_iMaxTotal - 1);
    buffer.Reset();
    EXPECT_FALSE(buffer.HasOverflowed());
    EXPECT_EQ(buffer.GetLength(), 0);
}

// Exactly five characters are escaped; characters XML cannot hold become
// replacement characters so the file stays readable.
TEST(WriteXML, EscapesAndReplaces)
{
    const std::pair<std::u16string, std::string> cases[] = {
        {u"a<b>&\"c'\t\r\n\u00e9\U0001F600", "a&lt;b&gt;&amp;&quot;c&apos;\t\r\n\xC3\xA9\xF0\x9F\x98\x80"},
        {{u'a', 0x01, u'b', 0x1F, u'&', 0xFFFE, 0xFFFF, 0xFFFD, u'c'},
         "a\xEF\xBF\xBD" "b\xEF\xBF\xBD&amp;\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD" "c"},
    };
    for (const auto& [text, expected] : cases) {
        char* bytes = nullptr;
        int length = 0;
        ASSERT_TRUE(CWriteXML::GetXMLUTF8(text.c_str(), &bytes, &length));
        EXPECT_EQ(std::string(bytes, length), expected);
        CUnicodeTool::DeleteBuffer(bytes);
    }
    char* bytes = nullptr;
    int length = 0;
    EXPECT_FALSE(CWriteXML::GetXMLUTF8(nullptr, &bytes, &length));
}

TEST(WriteXML, DocumentIsFilledOnceAndWrittenByteForByte)
{
    TempDir dir;
    TitleWriter writer;
    writer.SetEncoding("ABCDEFGHIJKLMNOPQRS");  // 19 bytes: ignored
    writer.SetEncoding("");
    EXPECT_STREQ(writer.GetEncoding(), "UTF-8");
    writer.title = u"a&b";
    const std::string expected =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<doc>\r\n<title>a&amp;b</title>\r\n<n v=\"42\"/>\r\n</doc>";
    ASSERT_TRUE(writer.SaveToFile(dir.WPath("one.xml").c_str()));
    writer.title = u"changed";
    ASSERT_TRUE(writer.SaveToFile(dir.WPath("two.xml").c_str()));
    EXPECT_EQ(ReadBytes(dir.Path("one.xml")), expected);
    EXPECT_EQ(ReadBytes(dir.Path("two.xml")), expected);
    EXPECT_EQ(TakeText(writer.GetXMLBSTR()), expected);
    EXPECT_EQ(writer.fills, 1);

    TitleWriter latin;
    latin.SetEncoding("ISO-8859-1");
    latin.title = u"\u00e9";
    std::string text = TakeText(latin.GetXMLBSTR());
    EXPECT_EQ(text.substr(0, 44), "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n");
    EXPECT_NE(text.find("<title>\xC3\xA9</title>"), std::string::npos);  // still UTF-8
}

TEST(WriteXML, FailedSavesLeaveTheOldFileWhole)
{
    TempDir dir;
    std::string path = dir.Path("keep.xml");
    WriteBytes(path, "old content");
    ::chmod(path.c_str(), 0640);

    EmptyWriter empty;
    EXPECT_FALSE(empty.SaveToFile(dir.WPath("keep.xml").c_str()));
    EXPECT_EQ(empty.GetXMLBSTR(), nullptr);
    EXPECT_EQ(ReadBytes(path), "old content");

    TitleWriter writer;
    EXPECT_FALSE(writer.SaveToFile(dir.WPath("missing/keep.xml").c_str()));
    EXPECT_FALSE(writer.SaveToFile(nullptr));
    if (::geteuid() != 0) {  // root writes anywhere
        ::chmod(dir.Root().c_str(), 0500);
        EXPECT_FALSE(writer.SaveToFile(dir.WPath("keep.xml").c_str()));
        ::chmod(dir.Root().c_str(), 0700);
        EXPECT_EQ(ReadBytes(path), "old content");
    }
    ASSERT_TRUE(writer.SaveToFile(dir.WPath("keep.xml").c_str()));
    struct stat st;
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);  // a replaced file keeps its permissions
    EXPECT_EQ(std::system(("ls -A '" + dir.Root() + "' | grep -q tmp").c_str()) == 0, false);
}

TEST(ReadFile, DetectsByteOrderMarks)
{
    TempDir dir;
    struct Case {
        std::string bytes;
        tagFILE_BOM_ENCODE bom;
        char first;
    } cases[] = {
        {"\xEF\xBB\xBFxyz", BOM_UTF8, 'x'},         {"\xFF\xFEx\0", BOM_UTF16_LE, 'x'},
        {std::string("\xFF\xFE\0\0x", 5), BOM_UTF32_LE, 'x'},
        {"\xFE\xFFx", BOM_UTF16_BE, 'x'},          {std::string("\0\0\xFE\xFFx", 5), BOM_UTF32_BE, 'x'},
        {"xyz", BOM_NONE, 'x'},                    {"\xEF\xBBx", BOM_NONE, '\xEF'},
    };
    for (const Case& c : cases) {
        WriteBytes(dir.Path("f"), c.bytes);
        CReadFile file;
        ASSERT_TRUE(file.OpenFile(dir.WPath("f").c_str()));
        EXPECT_EQ(file.CheckBOMEncode(), c.bom);
        char first = 0;
        EXPECT_EQ(file.ReadToBuffer(&first, 1), 1);
        EXPECT_EQ(first, c.first);
    }
}

TEST(ReadFile, WholeFileReads)
{
    TempDir dir;
    WriteBytes(dir.Path("t\u00e9st.txt"), "\xEF\xBB\xBFh\xC3\xA9llo");
    CReadFile file;
    EXPECT_EQ(file.GetFileSize(), -1);
    EXPECT_EQ(file.ReadToBuffer(static_cast<void*>(nullptr), 4), 0);
    ASSERT_TRUE(file.OpenFile(dir.WPath("t\u00e9st.txt").c_str()));
    file.SetCheckBOM(true);
    char16_t* text = nullptr;
    EXPECT_EQ(file.ReadAllToBuffer(&text), 6);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(CSysString::Len(text), 6u);  // five characters and the terminator
    EXPECT_EQ(std::u16string(text), u"h\u00e9llo");
    CSysString::Free(text);
    EXPECT_EQ(file.GetFileBOMEncode(), BOM_UTF8);

    WriteBytes(dir.Path("empty"), "");
    ASSERT_TRUE(file.OpenFile(dir.WPath("empty").c_str()));
    char* bytes = nullptr;
    long length = 0;
    EXPECT_FALSE(file.ReadToBuffer(&bytes, &length));
    EXPECT_EQ(file.ReadAllToBuffer(&text), 0);
    EXPECT_FALSE(file.OpenFile(dir.WPath("none").c_str()));
    EXPECT_FALSE(file.OpenFile(CUnicodeTool::FromUtf8(dir.Root()).c_str()));  // a folder
}

TEST(WriteFile, WritesTextAndRefusesHugeStreams)
{
    TempDir dir;
    CWriteFile file;
    EXPECT_FALSE(file.WriteData(u"x"));
    ASSERT_TRUE(file.OpenFile(dir.WPath("out").c_str()));
    EXPECT_FALSE(file.WriteData(u""));
    EXPECT_TRUE(file.WriteData(u"\u00e9"));
    EXPECT_FALSE(file.WriteStreamData("x", CWriteFile::kMaxStreamWrite + 1));
    EXPECT_TRUE(file.WriteStreamData("ab", 2));
    file.CloseFile();
    EXPECT_EQ(ReadBytes(dir.Path("out")), "\xC3\xA9" "ab");
}

TEST(ReadXML, WalksInDocumentOrder)
{
    TraceReader reader;
    const char doc[] = "<doc>\n  <a><b/></a>\n  <!-- c --><t>x &amp; <![CDATA[<y>]]></t></doc>";
    ASSERT_TRUE(reader.LoadXML(doc, sizeof doc - 1));
    EXPECT_EQ(reader.trace, "+doc.+e+e--..+e..-" "-");
    EXPECT_EQ(reader.text, "x & <y>");
}

TEST(ReadXML, AttributesNumbersAndStatistics)
{
    TraceReader reader;
    const char doc[] = "<doc xmlns:krv='urn:k'><e n='12abc' m='abc' s=' -7' big='99999999999999999999999'/>"
                       "<krv:stat addDate='10' lastModified='20' lastVisit='30' AddDate='99' krv:x='5'/></doc>";
    ASSERT_TRUE(reader.LoadXML(doc, sizeof doc - 1));
    EXPECT_EQ(reader.attrs, (std::vector<std::string>{"n=12", "m=0", "s=-7", "big=" + std::to_string(LONG_MAX),
                                                      "addDate=10", "lastModified=20", "lastVisit=30", "AddDate=99",
                                                      "krv:x=5"}));
    long added = 0, modified = 0, visited = 0;
    reader.stat.GetStatTime(&added, &modified, &visited);
    EXPECT_EQ(std::vector<long>({added, modified, visited}), std::vector<long>({10, 20, 30}));  // not AddDate
}

TEST(ReadXML, SourcesAndEncodings)
{
    TempDir dir;
    WriteBytes(dir.Path("d\u00e9j\u00e0.xml"), "<doc><t>caf\xC3\xA9</t></doc>");
    TraceReader fromFile;
    ASSERT_TRUE(fromFile.LoadFile(dir.WPath("d\u00e9j\u00e0.xml").c_str()));
    EXPECT_EQ(fromFile.text, "caf\xC3\xA9");

    TraceReader latin;
    const char iso[] = "<?xml version='1.0' encoding='ISO-8859-1'?><doc><t>caf\xE9</t></doc>";
    ASSERT_TRUE(latin.LoadXML(iso, sizeof iso - 1));
    EXPECT_EQ(latin.text, "caf\xC3\xA9");

    TraceReader utf16;
    std::string le("\xFF\xFE", 2);
    for (char c : std::string("<doc><t>ok</t></doc>"))
        le += std::string{c, '\0'};
    ASSERT_TRUE(utf16.LoadXML(le.data(), static_cast<long>(le.size())));
    EXPECT_EQ(utf16.text, "ok");

    TraceReader wide;
    ASSERT_TRUE(wide.LoadBSTRXML(u"<?xml version='1.0' encoding='UTF-16'?><doc><t>\u00e9\U0001F600</t></doc>"));
    EXPECT_EQ(wide.text, "\xC3\xA9\xF0\x9F\x98\x80");
}

TEST(ReadXML, BadDocumentsLoadNothing)
{
    TraceReader wrongRoot;
    EXPECT_TRUE(wrongRoot.LoadBSTRXML(u"<krv:stat xmlns:krv='urn:k'/>"));
    EXPECT_FALSE(wrongRoot.walked);

    for (const char16_t* bad : {u"", u"<doc>", u"<doc></dox>", u"text", u"<doc><a></doc>"}) {
        TraceReader reader;
        EXPECT_FALSE(reader.LoadBSTRXML(bad));
        EXPECT_FALSE(reader.walked);
        EXPECT_NE(reader.GetErrorCode(), 0);
        EXPECT_FALSE(reader.GetErrorReason().empty());
    }
    TraceReader none;
    EXPECT_FALSE(none.LoadFile(u"/nonexistent/file.xml"));
    EXPECT_FALSE(none.LoadXML(nullptr, 5));

    std::string deep;
    for (int i = 0; i < 5000; ++i)
        deep += "<e>";
    TraceReader nested;
    EXPECT_FALSE(nested.LoadXML(("<doc>" + deep).data(), static_cast<long>(deep.size() + 5)));
}

// Whatever the reader takes, the writers can save again: a document of the
// reader's largest size reads and saves, one byte more does neither.
TEST(ReadXML, ADocumentThatReadsCanBeSavedAgain)
{
    class BytesWriter : public CWriteXML {
    public:
        BytesWriter(const std::string& bytes, int extra) : m_bytes(bytes), m_extra(extra) {}

    protected:
        void FillData() override
        {
            for (size_t at = 0; at < m_bytes.size(); at += 1 << 20)
                FillString(m_bytes.data() + at, static_cast<int>(std::min<size_t>(1 << 20, m_bytes.size() - at)));
            FillString("\n", m_extra);
        }

    private:
        const std::string& m_bytes;
        int m_extra;
    };
    TempDir dir;
    // Comments of 1 MiB: libxml2 refuses single text nodes of this size.
    const std::string close = "</doc>";
    std::string doc = "<doc>";
    while (doc.size() + (1 << 20) + close.size() < static_cast<size_t>(CReadXML::kMaxFileSize))
        doc += "<!--" + std::string((1 << 20) - 7, 'c') + "-->";
    doc += "<!--" + std::string(CReadXML::kMaxFileSize - doc.size() - close.size() - 7, 'c') + "-->" + close;
    ASSERT_EQ(doc.size(), static_cast<size_t>(CReadXML::kMaxFileSize));
    WriteBytes(dir.Path("in.xml"), doc);
    for (int extra : {0, 1}) {
        if (extra)
            std::ofstream(dir.Path("in.xml"), std::ios::app) << '\n';
        TraceReader reader;
        EXPECT_EQ(reader.LoadFile(dir.WPath("in.xml").c_str()), extra == 0) << reader.GetErrorReason();
        BytesWriter writer(doc, extra);
        EXPECT_EQ(writer.SaveToFile(dir.WPath("out.xml").c_str()), extra == 0);
    }
    EXPECT_EQ(ReadBytes(dir.Path("out.xml")), doc);
}

TEST(ReadXML, NeverLoadsExternalEntities)
{
    TempDir dir;
    WriteBytes(dir.Path("secret"), "SECRET");
    std::string doc = "<?xml version='1.0'?><!DOCTYPE doc [<!ENTITY x SYSTEM 'file://" + dir.Path("secret") +
                      "'><!ENTITY n SYSTEM 'http://127.0.0.1:9/x'>]><doc><t>[&x;&n;]</t></doc>";
    TraceReader reader;
    reader.LoadXML(doc.data(), static_cast<long>(doc.size()));
    EXPECT_EQ(reader.text.find("SECRET"), std::string::npos);
}

TEST(ReadXML, RefusesEntityExpansionBombs)
{
    std::string doc = "<?xml version='1.0'?><!DOCTYPE doc [<!ENTITY a0 'lollollollollol'>";
    for (int i = 1; i < 10; ++i) {
        std::string prev = "&a" + std::to_string(i - 1) + ";";
        std::string refs;
        for (int k = 0; k < 10; ++k)
            refs += prev;
        doc += "<!ENTITY a" + std::to_string(i) + " '" + refs + "'>";
    }
    doc += "]><doc a='&a9;'><t>&a9;</t></doc>";
    TraceReader reader;
    EXPECT_FALSE(reader.LoadXML(doc.data(), static_cast<long>(doc.size())));
    EXPECT_FALSE(reader.walked);

    TraceReader small;
    const char ok[] = "<!DOCTYPE doc [<!ENTITY w 'world'>]><doc><t>hello &w;</t></doc>";
    ASSERT_TRUE(small.LoadXML(ok, sizeof ok - 1));
    EXPECT_EQ(small.text, "hello world");
}
