// The command-line tool run as a script runs it: export and import, its
// exit codes, its messages, and a project it must leave alone.


#include <cstdio>

#include "base/model/CColctNode.h"
#include "tests/app/core/CoreTest.h"
#include "tests/RunCli.h"

namespace {

class CliTest : public CoreTest {
protected:
    CliTest()
    {
        fs::create_directories(home.Root() / "Notes");
        EXPECT_NE(projects.CreateProject(U16(file)), nullptr);
        ui.names = {{u"A"}};
        RNode* a = tree.CreateFolder(tree.GetRoot());
        AddPageItem(tree.EnsureColct(a)->GetLocRNodeRoot(), u"plan");
        EXPECT_TRUE(tree.SaveColct(tree.EnsureColct(a)));
        WriteBytes(home.Root() / "Notes" / "Work" / "A" / "plan.htm", "<p>plan</p>");
        EXPECT_TRUE(projects.CloseProject());
    }

    static std::pair<int, std::string> Run(const std::string& arguments) { return RunCli(arguments); }

    fs::path file = home.Root() / "Notes" / "Work.zand";
    fs::path out = home.Root() / "out";
    std::string project = "'" + file.string() + "' ";
};

TEST_F(CliTest, ExportsAndImportsAndSaysWhyWhenItCannot)
{
    EXPECT_EQ(Run("--help").first, 0);
    for (const char* wrong : {"", "import x", "export", "export a b c d", "export a b --fast"})
        EXPECT_EQ(Run(wrong).first, 2) << wrong;

    auto [code, said] = Run("export " + project + "A '" + out.string() + "'");
    EXPECT_EQ(code, 0) << said;
    EXPECT_EQ(ReadBytes(out / "plan.htm"), "<p>plan</p>");
    EXPECT_TRUE(fs::exists(out / "index.html"));

    std::tie(code, said) = Run("export " + project + "A '" + out.string() + "'");
    EXPECT_EQ(code, 4);
    EXPECT_NE(said.find("--force"), std::string::npos) << said;
    EXPECT_EQ(Run("export " + project + "A '" + out.string() + "' --force").first, 0);
    EXPECT_EQ(Run("export " + project + "Nowhere '" + (home.Root() / "x").string() + "'").first, 1);
    EXPECT_FALSE(fs::exists(file.string() + ".lck"));

    // A saved page comes in under its title; what is not a page is named.
    WriteBytes(home.Root() / "in" / "saved.html", "<title>From the web</title>");
    WriteBytes(home.Root() / "in" / "notes.txt", "");
    std::tie(code, said) = Run("import " + project + "A '" + (home.Root() / "in" / "saved.html").string() + "' '" +
                               (home.Root() / "in" / "notes.txt").string() + "'");
    EXPECT_EQ(code, 1);
    EXPECT_NE(said.find("not imported: " + (home.Root() / "in" / "notes.txt").string()), std::string::npos) << said;
    EXPECT_EQ(ReadBytes(home.Root() / "Notes" / "Work" / "A" / "From the web.htm"), "<title>From the web</title>");
    EXPECT_EQ(Run("import " + project + "A").first, 2);

    // A project Zandrel holds is not read.
    WriteBytes(file.string() + ".lck", "");
    std::tie(code, said) = Run("export " + project + "'" + (home.Root() / "y.zip").string() + "' --zip");
    EXPECT_EQ(code, 3);
    EXPECT_NE(said.find("open in Zandrel"), std::string::npos) << said;
    EXPECT_FALSE(fs::exists(home.Root() / "y.zip"));
}

}  // namespace
