// The command line: the last parameter names the project when it is not a
// switch and holds a dot.

#include <gtest/gtest.h>

#include <vector>

#include "app/core/CCommandLine.h"
#include "tests/app/core/ScriptedUI.h"

namespace {

std::string ProjectOf(std::vector<const char*> args)
{
    args.insert(args.begin(), "Zandrel");
    CCommandLine line;
    line.Parse(static_cast<int>(args.size()), args.data());
    return Utf8(line.GetProjectFile());
}

TEST(CommandLine, OnlyTheLastPlainParameterWithADotCounts)
{
    EXPECT_EQ(ProjectOf({"a.zand", "b.zand"}), "b.zand");
    EXPECT_EQ(ProjectOf({"Work"}), "");
    EXPECT_EQ(ProjectOf({}), "");
    EXPECT_EQ(ProjectOf({"b.zand", "-x"}), "");       // the last one is a switch
    EXPECT_EQ(ProjectOf({"-x", "b.zand"}), "b.zand");  // switches are ignored
    EXPECT_EQ(ProjectOf({"-b.zand"}), "");
    // A leading "/" is an absolute path, not a switch.
    EXPECT_EQ(ProjectOf({"/home/me/Notes/Wörk Log.zand"}), "/home/me/Notes/Wörk Log.zand");
    EXPECT_EQ(ProjectOf({"/home/me.d/Work"}), "/home/me.d/Work");  // any dot will do
}

TEST(CommandLine, ARelativeProjectIsTakenFromTheWorkingFolder)
{
    CCommandLine line;
    line.ParseParam(u"Notes/Work.zand", false, true);
    EXPECT_EQ(Utf8(line.GetProjectPath(u"/home/me")), "/home/me/Notes/Work.zand");
    EXPECT_EQ(Utf8(line.GetProjectPath()), fs::current_path().string() + "/Notes/Work.zand");
    line.ParseParam(u"/srv/Work.zand", false, true);
    EXPECT_EQ(Utf8(line.GetProjectPath(u"/home/me/")), "/srv/Work.zand");
    EXPECT_EQ(Utf8(CCommandLine().GetProjectPath(u"/home/me/")), "");
}

}  // namespace
