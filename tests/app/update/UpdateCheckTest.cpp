#include "app/background/CUpdateCheck.h"

#include "app/core/CAppSettings.h"
#include "app/core/CCommandTable.h"
#include "app/core/CRegistry.h"
#include "tests/app/core/ScriptedUI.h"
#include "tests/fixtures/HttpTestServer.h"

namespace {

using Record = CUpdateCheck::CVersionRecord;
constexpr long kNow = 1700000000;

// The service is a file on the local test server; its requests.log shows
// what was asked.
class UpdateCheckTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(home.Root() / "web/site");
        ASSERT_TRUE(server.Start((home.Root() / "web/site").string()));
        url.emplace("ZANDREL_UPDATE_URL", Utf8(server.Url("/site")));
    }
    ~UpdateCheckTest() override { CAppSettings::Release(); }

    void Reply(const std::string& body) { WriteBytes(home.Root() / "web/site/updatecheck/zandrupdatev2.php", body); }
    std::string LastQuery() const
    {
        std::string log = ReadBytes(home.Root() / "web/requests.log");
        size_t from = log.rfind('\n', log.size() - 2) + 1;
        return log.empty() ? "" : log.substr(from, log.size() - 1 - from);
    }
    static void Set(const char16_t* name, const char16_t* value) { CRegistry::ForSettings().SetValue(name, value); }
    static std::string Get(const char16_t* name)
    {
        std::u16string value;
        return CRegistry::ForSettings().GetValue(name, &value) ? Utf8(value) : "(none)";
    }

    ScopedHome home;
    ScriptedUI ui;
    HttpTestServer server;
    std::optional<ScopedEnv> url;
    long now = kNow;
    CUpdateCheck check{[this] { return now; }};
};

TEST_F(UpdateCheckTest, SendsTheCheckRecordAndCountsOnlySuccessfulChecks)
{
    std::string id = Utf8(CUpdateCheck::GetMachineId());
    Reply("ZANDRVERSION=V200B1300T1");
    ASSERT_TRUE(check.Run(-1));  // first check: F and L are now, T is 0
    EXPECT_EQ(LastQuery(), "/site/updatecheck/zandrupdatev2.php?V=200&B=1283&T=0&I=" + id +
                               "&C=1700000000-1700000000-0-0-V-1P-");
    Set(u"DLTimeInterval", u"43200");
    Set(u"FrontPagePath", u"b");
    now += 60;
    ASSERT_TRUE(check.Run(1290));
    ASSERT_TRUE(check.Run(1290));  // a list build already reported goes out as 0
    EXPECT_EQ(LastQuery().substr(LastQuery().find("&T=")), "&T=43200&I=" + id + "&C=1700000000-1700000060-2-1290-V0Pb");
    EXPECT_EQ(Get(u"zandrcheck"), "F1700000000L1700000060T3V1290");
    EXPECT_EQ(ui.RunPosted(), 0u);
}

TEST_F(UpdateCheckTest, AFailedQueryChangesNoRecord)
{
    check.OnStartup();
    Set(u"zandrcheck", u"F100L200T3V7");
    std::string version = Get(u"zandrversion");
    // An error page, too few numbers, the wrong case, numbers past 511 bytes.
    const std::string late = "ZANDRVERSION=V215" + std::string(500, ' ') + "B1300T1";
    for (const std::string& body : {std::string("<html><body>Not here</body></html>"),
                                    std::string("ZANDRVERSION=V215B0T0"), std::string("zandrversion=V215B1300T1"), late}) {
        Reply(body);
        EXPECT_FALSE(check.Run(9)) << body;
    }
    fs::remove(home.Root() / "web/site/updatecheck/zandrupdatev2.php");
    EXPECT_FALSE(check.Run(9));  // 404

    RefusingPort down;
    ScopedEnv refused("ZANDREL_UPDATE_URL", "http://127.0.0.1:" + std::to_string(down.Port()));
    EXPECT_FALSE(check.Run(9));
    EXPECT_EQ(Get(u"zandrcheck"), "F100L200T3V7");
    EXPECT_EQ(Get(u"zandrversion"), version);
    EXPECT_EQ(ui.RunPosted(), 0u);
}

// The running version is no news even when it was never announced; each
// higher one is announced once.
TEST_F(UpdateCheckTest, EachHigherVersionIsAnnouncedOnce)
{
    Set(u"zandrversion", u"V190B1000T5#V190B1000T5#V190B1000T5");
    check.OnStartup();
    for (const char* body : {"ZANDRVERSION=V200B1290T1", "ZANDRVERSION=V215B1300T1", "ZANDRVERSION=V215B1300T1",
                             "ZANDRVERSION=V215B1400T1", "ZANDRVERSION=V210B1500T1", "ZANDRVERSION=V0B220B1T9"}) {
        Reply(body);
        EXPECT_TRUE(check.Run(5)) << body;
        now += 10;
    }
    // Told on the interface thread.
    EXPECT_TRUE(ui.messages.empty());
    ui.answers = {IDCANCEL, IDOK};
    ASSERT_EQ(ui.RunPosted(), 2u);
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_NE(ui.messages[0].text.find(Utf8(CCommandTable::FormatVersion(215, 1300))), std::string::npos);
    EXPECT_NE(ui.messages[1].text.find(Utf8(CCommandTable::FormatVersion(220, 1))), std::string::npos);
    EXPECT_EQ(Get(u"zandrversion"), "V190B1000T5#V200B1283T1700000000#V220B1T1700000050");

    CUpdateCheck nextStart;  // remembered across starts
    nextStart.OnStartup();
    EXPECT_TRUE(nextStart.Run(5));
    EXPECT_EQ(ui.RunPosted(), 0u);
}

TEST_F(UpdateCheckTest, StartupMakesOrRefreshesTheVersionRecord)
{
    std::pair<const char16_t*, Record> cases[] = {
        {u"", {200, 1283, kNow, 200, 1283, kNow, 200, 1283, kNow}},
        {u"V190B9T5#V190B9T6#V215B1T7", {190, 9, 5, 200, 1283, kNow, 215, 1, 7}},
        {u"V200B1000T5#V200B1282T6#V200B1T7", {200, 1000, 5, 200, 1283, kNow, 200, 1, 7}},
        {u"V200B1000T5#V210B1T6#V210B1T7", {200, 1000, 5, 210, 1, 6, 210, 1, 7}},  // a newer one ran here
        {u"V200B1283T0#V200B1283T6#V200B1283T7", {200, 1283, kNow, 200, 1283, kNow, 200, 1283, kNow}},  // 8 numbers
    };
    for (const auto& [stored, expected] : cases) {
        Set(CUpdateCheck::kVersionValue, stored);
        check.OnStartup();
        EXPECT_EQ(check.GetVersionRecord(), expected) << Utf8(stored);
        EXPECT_EQ(Get(u"zandrversion"), Utf8(CUpdateCheck::FormatVersionRecord(expected)));
    }
}

TEST(UpdateCheckRecords, ReadAndWrite)
{
    auto read = CUpdateCheck::ParseCheckRecord(CUpdateCheck::FormatCheckRecord({1700000000, 1700000500, 12, -1}));
    ASSERT_TRUE(read);
    EXPECT_EQ(Utf8(CUpdateCheck::FormatCheckRecord(*read)), "F1700000000L1700000500T12V-1");
    for (const char16_t* bad : {u"", u"F0L5T1V1", u"F5L0T1V1", u"F1L2T3", u"F1LT3V4", u"garbage"})
        EXPECT_FALSE(CUpdateCheck::ParseCheckRecord(bad)) << Utf8(bad);

    Record version{200, 1283, 1, 210, 1300, 2, 215, 1400, 3};
    EXPECT_EQ(CUpdateCheck::ParseVersionRecord(CUpdateCheck::FormatVersionRecord(version)), version);
    EXPECT_FALSE(CUpdateCheck::ParseVersionRecord(u"V200B1283T1#V210B1300T2#V215B1400"));

    for (auto [path, letter] : {std::pair{u"", "-"}, {u"a", "a"}, {u"B", "B"}, {u"b2", "bE"}, {u".", "-E"},
                                {u"_x", "-E"}, {u"\u00e9", "-E"}})
        EXPECT_EQ(Utf8(CUpdateCheck::GetStartPageLetter(path)), letter) << Utf8(path);
}

TEST(UpdateCheckMachineId, PrefersAWiredAdapterOnHardware)
{
    ScopedHome home;
    std::string net = (home.Root() / "net").string();
    auto adapter = [&](std::string name, std::string address, std::string type, bool device) {
        WriteBytes(net + "/" + name + "/address", address + "\n");
        WriteBytes(net + "/" + name + "/type", type + "\n");
        if (device)
            fs::create_directories(net + "/" + name + "/device");
    };
    EXPECT_EQ(Utf8(CUpdateCheck::GetMachineId(net)), "0");  // no folder
    adapter("lo", "00:00:00:00:00:00", "772", false);
    adapter("ib0", "80:00:02:08:fe:80:00:00:00:00:00:00:00:02:c9:03:00:0a:0b:0c", "32", true);
    adapter("tun0", "", "65534", false);
    EXPECT_EQ(Utf8(CUpdateCheck::GetMachineId(net)), "0");
    // Digests of "address-type", computed elsewhere.
    adapter("ab0", "00:11:22:33:44:55", "801", true);
    EXPECT_EQ(Utf8(CUpdateCheck::GetMachineId(net)), "C34C4B191FE7E16ADE31B6AAEC915655");
    adapter("docker0", "02:42:AC:11:00:02", "1", false);
    EXPECT_EQ(Utf8(CUpdateCheck::GetMachineId(net)), "D469C6ACBEEDEB82EBE922CB409438B8");
    adapter("wlan1", "00:1a:2b:3c:4d:5f", "1", true);
    adapter("wlan0", "00:1a:2b:3c:4d:5e", "1", true);
    EXPECT_EQ(Utf8(CUpdateCheck::GetMachineId(net)), "F69B88D7F1991FFF1BD0F73CBB0FAA4D");
}

TEST(UpdateCheckDialog, OkOpensTheVendorSite)
{
    ScriptedUI ui;
    ui.answers = {IDOK, IDCANCEL};
    CUpdateCheck::ShowNewVersionDialog(215, 1300);
    CUpdateCheck::ShowNewVersionDialog(215, 1300);
    EXPECT_EQ(ui.MessageTexts(), Texts(2, "New Version of Zandrel is ready for update.\r\nVersion 2.1.5   Build 1300\r\n"
                                          "Do you want to visit Korvel Zandrel  web site for  more information?"));
    EXPECT_EQ(ui.messages[0].title + std::to_string(ui.messages[0].buttons), "New Version for Update1");
    EXPECT_EQ(ui.opened, Texts{Utf8(CCommandTable::GetWebSite())});
}

}  // namespace
