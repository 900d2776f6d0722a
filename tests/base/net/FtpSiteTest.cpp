#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "../xml/XmlTestUtil.h"
#include "base/model/CHashtable.h"
#include "base/net/CFtpConBase.h"
#include "base/net/CFtpSiteXML.h"
#include "base/tools/CSysString.h"
#include "base/tools/CUnicodeTool.h"

namespace {

std::string Written(RFtpConBase* head)
{
    CWriteFtpSiteXML writer;
    writer.SetFtpSiteHead(head);
    return TakeText(writer.GetXMLBSTR());
}

RFtpConBase* ReadSites(const std::string& bytes, bool* loaded = nullptr)
{
    CReadFtpSiteXML reader;
    bool ok = reader.LoadXML(bytes.data(), static_cast<long>(bytes.size()));
    if (loaded)
        *loaded = ok;
    return reader.DetachFtpSiteHead();
}

// Every field of a site, web addresses sorted by the writer's order.
std::string Describe(CFtpConBase* s)
{
    std::string out = U8(s->GetTitle()) + "|" + U8(s->GetHost()) + "|" + U8(s->GetUserName()) + "|" +
                      U8(s->GetInitPath()) + "|" + U8(s->GetPSW()) + "|" + (s->IsPASVMode() ? "pasv" : "act") + "|" +
                      std::to_string(s->GetPort()) + "|" + (s->IsSavePSW() ? "save" : "nosave") + "|" +
                      (s->IsCurrent() ? "cur" : "-") + "|" + U8(s->GetUUID()) + "|" + U8(s->GetStampID());
    if (CFtpWebAddress* t = s->PeekFtpWebAddress())
        out += "|" + std::to_string(t->GetCount()) + " addresses";
    return out;
}

std::string Link(CFtpConBase* s, const char16_t* name)
{
    CHashData* d = s->GetFtpWebAddress()->FindHashData(name);
    return d ? U8(d->GetValue()) : "<missing>";
}

RFtpConBase* Append(RFtpConBase* head, CFtpConBase* site)
{
    return CListTool::Append(head, RFtpConBase::New(site));
}

CFtpConBase* FullSite()
{
    CFtpConBase* s = CFtpConBase::New();
    s->SetTitle(u"Tom & Jerry's <site>");
    s->SetHost(u"ftp.example.org");
    s->SetUserName(u"j\u00f6rg");
    s->SetPSW(u"secret-pass");
    s->SetInitPath(u"/htdocs/notes");
    s->SetPASVMode(true);
    s->SetPort(2121);
    s->SetSavePSW(false);
    s->SetCurrent(true);
    s->SetUUID(u"0f8fad5b-d9cb-469f-a165-70867728950e");
    s->SetStampID(u"1764490500");
    CFtpWebAddress* t = s->GetFtpWebAddress();
    t->Add(u"notes/b.htm", u"http://example.org/notes/b.htm?x=1&y=\"2\"");
    t->Add(u"a.htm", u"http://example.org/a.htm");
    t->Add(u"draft.htm", nullptr);
    t->Add(u"\u00e9t\u00e9.htm", u"");
    return s;
}

}  // namespace

TEST(FtpSiteFile, WritesGoldenWithoutPasswordAndReadsItBack)
{
    ExpectGolden("ftpsite_empty.xml", Written(nullptr));
    bool loaded = false;
    EXPECT_EQ(ReadSites(Golden("ftpsite_empty.xml"), &loaded), nullptr);
    EXPECT_TRUE(loaded);

    CFtpConBase* fresh = CFtpConBase::New();
    RFtpConBase* head = Append(Append(nullptr, FullSite()), fresh);
    std::string bytes = Written(head);
    ExpectGolden("ftpsite_full.xml", bytes);
    EXPECT_EQ(bytes.find("secret"), std::string::npos);

    RFtpConBase* back = ReadSites(Golden("ftpsite_full.xml"));
    ASSERT_NE(back, nullptr);
    ASSERT_NE(back->GetNext(), nullptr);
    EXPECT_EQ(back->GetNext()->GetNext(), nullptr);
    CFtpConBase* site = back->GetData();
    EXPECT_EQ(Describe(site), "Tom & Jerry's <site>|ftp.example.org|j\u00f6rg|/htdocs/notes|<none>|pasv|2121|nosave|cur|"
                              "0f8fad5b-d9cb-469f-a165-70867728950e|1764490500|4 addresses");
    EXPECT_EQ(Link(site, u"notes/b.htm"), "http://example.org/notes/b.htm?x=1&y=\"2\"");
    EXPECT_EQ(Link(site, u"draft.htm"), "<none>");
    EXPECT_EQ(Link(site, u"\u00e9t\u00e9.htm"), "");
    EXPECT_EQ(Describe(back->GetNext()->GetData()), Describe(fresh));

    // Writing what was read gives the same bytes.
    EXPECT_EQ(Written(back), bytes);
    CReadFtpSiteXML::DeleteList(back);
    CReadFtpSiteXML::DeleteList(head);
}

TEST(FtpSiteFile, HostileInputLoadsWhatMakesSense)
{
    bool loaded = false;
    EXPECT_EQ(ReadSites("<ftpsite><site><host>h</host></site></ftpsite>", &loaded), nullptr);
    EXPECT_TRUE(loaded);
    EXPECT_EQ(ReadSites("<ftpsites><site><host>h</site></ftpsites>", &loaded), nullptr);
    EXPECT_FALSE(loaded);

    RFtpConBase* head = ReadSites(
        "<ftpsites version=\"9\">"
        "<site><port>99999999999999999999999</port><pasvmode>yes</pasvmode><savepsw>TRUE</savepsw>"
        "<current>false</current><password>p</password><Host>x</Host>"
        "<webaddress link=\"orphan\"/><webaddress name=\"n\" Link=\"ignored\"/><webaddress name=\"n\" link=\"second\"/>"
        "<extra><title>nested</title></extra>"
        "<site><host>inner</host></site></site>"
        "<site><port>12ab</port><savepsw>false</savepsw><pasvmode>true</pasvmode><title/></site>"
        "<site><port>-1</port></site>"
        "<title>outside</title>"
        "</ftpsites>");
    ASSERT_NE(head, nullptr);
    CFtpConBase* a = head->GetData();
    EXPECT_EQ(Describe(a), "<none>|<none>|<none>|<none>|<none>|act|21|save|-|<none>|<none>|1 addresses");
    EXPECT_EQ(Link(a, u"n"), "second");
    CFtpConBase* b = head->GetNext()->GetData();
    EXPECT_EQ(Describe(b), "|<none>|<none>|<none>|<none>|pasv|12|nosave|-|<none>|<none>");
    CFtpConBase* c = head->GetNext()->GetNext()->GetData();
    EXPECT_EQ(c->GetPort(), 21);
    EXPECT_EQ(head->GetNext()->GetNext()->GetNext(), nullptr);
    CReadFtpSiteXML::DeleteList(head);
}

TEST(FtpConBase, DefaultsCopyAndIdentity)
{
    CFtpConBase* s = FullSite();
    CFtpConBase* copy = CFtpConBase::New(s);
    EXPECT_EQ(Describe(copy), Describe(s));
    // The copy's table is its own.
    copy->GetFtpWebAddress()->Remove(u"a.htm");
    EXPECT_EQ(Link(s, u"a.htm"), "http://example.org/a.htm");
    EXPECT_EQ(Link(copy, u"draft.htm"), "<none>");

    s->SetInitialValue();
    EXPECT_EQ(Describe(s), "<none>|<none>|<none>|<none>|<none>|act|21|save|-|<none>|<none>");
    *copy = *s;
    EXPECT_EQ(copy->PeekFtpWebAddress(), nullptr);

    ASSERT_TRUE(s->SetDefaultUUIDAndStampID());
    EXPECT_EQ(CStringTool::Length(s->GetUUID()), 36u);
    long stamp = std::stol(U8(s->GetStampID()));
    EXPECT_LE(std::abs(stamp - static_cast<long>(std::time(nullptr))), 5);
    std::string first = U8(s->GetUUID());
    s->SetDefaultUUIDAndStampID();
    EXPECT_NE(U8(s->GetUUID()), first);
    CFtpConBase::Delete(s);
    CFtpConBase::Delete(copy);
}

TEST(FtpConBase, IsSameHostNeedsEveryConnectionField)
{
    auto make = [] {
        CFtpConBase* s = CFtpConBase::New();
        s->SetHost(u"h");
        s->SetUserName(u"u");
        s->SetInitPath(u"/");
        s->SetTitle(u"one");
        return s;
    };
    CFtpConBase* a = make();
    CFtpConBase* b = make();
    b->SetTitle(u"other title");
    b->SetUUID(u"different");
    EXPECT_TRUE(a->IsSameHost(b));
    EXPECT_FALSE(a->IsSameHost(nullptr));

    struct Change {
        const char* what;
        void (*apply)(CFtpConBase*);
    } changes[] = {
        {"host case", [](CFtpConBase* s) { s->SetHost(u"H"); }},
        {"user", [](CFtpConBase* s) { s->SetUserName(u"v"); }},
        {"path", [](CFtpConBase* s) { s->SetInitPath(u"/x"); }},
        {"pasv", [](CFtpConBase* s) { s->SetPASVMode(true); }},
        {"port", [](CFtpConBase* s) { s->SetPort(22); }},
        {"savepsw", [](CFtpConBase* s) { s->SetSavePSW(false); }},
        {"password on one side", [](CFtpConBase* s) { s->SetPSW(u"p"); }},
        {"empty password is not none", [](CFtpConBase* s) { s->SetPSW(u""); }},
    };
    for (const Change& c : changes) {
        CFtpConBase* other = make();
        c.apply(other);
        EXPECT_FALSE(a->IsSameHost(other)) << c.what;
        EXPECT_FALSE(other->IsSameHost(a)) << c.what;
        CFtpConBase::Delete(other);
    }
    a->SetPSW(u"p");
    b->SetPSW(u"p");
    EXPECT_TRUE(a->IsSameHost(b));
    b->SetPSW(u"q");
    EXPECT_FALSE(a->IsSameHost(b));

    // Unset host, user or path never matches, not even itself.
    CFtpConBase* bare = CFtpConBase::New();
    EXPECT_FALSE(bare->IsSameHost(bare));
    CFtpConBase::Delete(bare);
    CFtpConBase::Delete(a);
    CFtpConBase::Delete(b);
}

TEST(FtpConBase, PasswordScramblingIsReversibleAndHidesText)
{
    for (const char16_t* psw : {u"", u"a", u"aaaa", u"secret-pass", u"\u00e9\u4e2d\U0001F600 &<>\"'"}) {
        int len = -1;
        char16_t* enc = CFtpConBase::EncodePSW(psw, &len);
        ASSERT_NE(enc, nullptr);
        EXPECT_EQ(static_cast<size_t>(len), CStringTool::Length(psw) * 4);
        EXPECT_EQ(static_cast<uint32_t>(len), CSysString::Len(enc));
        if (*psw) {
            EXPECT_EQ(U8(enc).find(U8(psw)), std::string::npos);
        }
        int back = -1;
        char16_t* dec = CFtpConBase::DecodePSW(enc, &back);
        ASSERT_NE(dec, nullptr);
        EXPECT_EQ(std::u16string(dec), std::u16string(psw));
        EXPECT_EQ(static_cast<size_t>(back), CStringTool::Length(psw));
        CSysString::Free(enc);
        CSysString::Free(dec);
    }
    // Repeated characters do not show as repeated letters.
    char16_t* enc = CFtpConBase::EncodePSW(u"aaaa", nullptr);
    EXPECT_NE(std::u16string(enc, 4), std::u16string(enc + 4, 4));
    CSysString::Free(enc);

    int len = 7;
    EXPECT_EQ(CFtpConBase::EncodePSW(nullptr, &len), nullptr);
    EXPECT_EQ(len, 0);
    // Wrong length, letters outside the alphabet, and the spelling of a NUL unit.
    for (const char16_t* bad : {u"abc", u"KZQ", u"kzqx", u"KVRW"})
        EXPECT_EQ(CFtpConBase::DecodePSW(bad, nullptr), nullptr) << U8(bad);
    EXPECT_EQ(CFtpConBase::DecodePSW(nullptr, nullptr), nullptr);
}

TEST(FtpWebAddress, EditsKeepNamesUnique)
{
    CFtpWebAddress* t = CFtpWebAddress::New();
    EXPECT_TRUE(t->Add(u"a", u"la"));
    EXPECT_TRUE(t->Add(u"a", u"la2"));
    EXPECT_TRUE(t->Add(u"b", nullptr));
    EXPECT_FALSE(t->Add(nullptr, u"x"));
    EXPECT_EQ(t->GetCount(), 2);
    EXPECT_EQ(U8(t->FindHashData(u"a")->GetValue()), "la2");
    EXPECT_EQ(t->FindHashData(u"A"), nullptr);

    EXPECT_FALSE(t->ChangeName(u"a", u"b"));  // taken
    EXPECT_FALSE(t->ChangeName(u"zz", u"c"));
    EXPECT_TRUE(t->ChangeName(u"a", u"a"));
    EXPECT_TRUE(t->ChangeName(u"a", u"c"));
    EXPECT_EQ(t->FindHashData(u"a"), nullptr);
    EXPECT_EQ(U8(t->FindHashData(u"c")->GetValue()), "la2");

    EXPECT_TRUE(t->ChangeAddress(u"b", u"lb"));
    EXPECT_FALSE(t->ChangeAddress(u"missing", u"x"));
    EXPECT_EQ(t->GetCount(), 2);

    t->Add(u"d", u"ld");
    TList<const char16_t*>* pages = TList<const char16_t*>::New(u"c");
    pages = CListTool::Append(pages, TList<const char16_t*>::New(nullptr));
    pages = CListTool::Append(pages, TList<const char16_t*>::New(u"new page"));
    EXPECT_EQ(t->CalibrateList(pages), 2);
    EXPECT_EQ(t->GetCount(), 1);
    EXPECT_TRUE(t->Contains(u"c"));
    EXPECT_EQ(t->CalibrateList(nullptr), 1);
    while (pages) {
        auto* next = pages->GetNext();
        TList<const char16_t*>::Delete(pages);
        pages = next;
    }
    CFtpWebAddress::Delete(t);
}

TEST(FtpNodeData, StoredNumbersMapBothWays)
{
    const std::pair<enumFILEFTPSTATE, long> map[] = {
        {FILEFTP_PUBLISHED, 1}, {FILEFTP_NEW, 0}, {FILEFTP_MODIFIED, -1}, {FILEFTP_DELETED, -2}, {FILEFTP_FAILED, -10}};
    for (auto [state, number] : map) {
        EXPECT_EQ(CFtpNodeData::StateToNumber(state), number);
        EXPECT_EQ(CFtpNodeData::NumberToState(number), state);
    }
    for (long odd : {2L, -3L, -9L, 100L})
        EXPECT_EQ(CFtpNodeData::NumberToState(odd), FILEFTP_NEW);
}
