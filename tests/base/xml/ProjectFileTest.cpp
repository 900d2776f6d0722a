#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "XmlTestUtil.h"
#include "base/model/CZandrelProject.h"
#include "base/xml/CReadZandrelXML.h"
#include "base/xml/CWriteZandrelXML.h"

namespace {

struct ProjectDeleter {
    void operator()(CZandrelProject* project) const { CZandrelProject::Delete(project); }
};
using ProjectPtr = std::unique_ptr<CZandrelProject, ProjectDeleter>;

ProjectPtr ReadProject(const std::string& bytes, bool loads = true)
{
    CReadZandrelXML reader;
    EXPECT_EQ(reader.LoadXML(bytes.data(), static_cast<long>(bytes.size())), loads);
    return ProjectPtr(reader.DetachZandrelProject());
}

std::string ProjectDoc(const std::string& body)
{
    return "<zandrel xmlns=\"urn:z\">" + body + "</zandrel>";
}

// Version and times as one line, so read-backs compare at a glance.
std::string Numbers(const CZandrelProject& project)
{
    int major = 0, minor = 0, build = 0;
    long added = 0, modified = 0, visited = 0;
    project.GetVersion(&major, &minor, &build);
    project.GetNodeStat()->GetStatTime(&added, &modified, &visited);
    return std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(build) + " " +
           std::to_string(added) + " " + std::to_string(modified) + " " + std::to_string(visited);
}

}  // namespace

TEST(ProjectFile, GoldensReadBackWithoutTheDescription)
{
    struct Case {
        std::string golden;
        const char16_t *name, *description, *path, *uuid;
        int major, minor, build;
        long added, modified, visited;
    } cases[] = {
        {"project_full.zand", u"Tom & Jerry's <\"caf\u00e9\">", u"Notes & more", u"/home/u/Tom & Jerry/",
         u"0f1e2d3c-4b5a-6978-8796-a5b4c3d2e1f0", 2, 3, 40, 1234567890, -5, 2147483647},
        {"project_empty.zand", u"", nullptr, nullptr, u"", 0, 5, 0, 0, 1, 2},
    };
    for (const Case& c : cases) {
        ProjectPtr project(CZandrelProject::New());
        project->SetName(c.name);
        project->SetDescription(c.description);
        project->SetContentPath(c.path);
        project->SetUUID(c.uuid);
        project->SetVersion(c.major, c.minor, c.build);
        project->GetNodeStat()->SetStatTime(c.added, c.modified, c.visited, 7);
        TempDir dir;
        CWriteZandrelXML writer;
        writer.SetZandrelProject(project.get());
        ASSERT_TRUE(writer.SaveToFile(dir.WPath("p.zand").c_str()));
        ExpectGolden(c.golden, ReadBytes(dir.Path("p.zand")));

        CReadZandrelXML reader;
        ASSERT_TRUE(reader.LoadFile(dir.WPath("p.zand").c_str()));
        ProjectPtr back(reader.DetachZandrelProject());
        ASSERT_TRUE(back);
        EXPECT_EQ(reader.DetachZandrelProject(), nullptr);
        // Empty texts are not written, so they come back as none.
        EXPECT_EQ(U8(back->GetName()), *c.name ? U8(c.name) : "<none>");
        EXPECT_EQ(U8(back->GetContentPath()), U8(c.path));
        EXPECT_EQ(U8(back->GetUUID()), *c.uuid ? U8(c.uuid) : "<none>");
        EXPECT_EQ(back->GetDescription(), nullptr);
        EXPECT_EQ(Numbers(*back), Numbers(*project));
    }
    CWriteZandrelXML none;
    EXPECT_EQ(none.GetXMLBSTR(), nullptr);
}

TEST(ProjectFile, ReadingRules)
{
    std::pair<std::string, std::string> versions[] = {
        {"2.0.0", "2.0.0"}, {"10.20.30.40", "10.20.30"}, {"7.8", "1.0.0"}, {"12.34", "12.34.0"},
        {"1..2.", "1.0.2"}, {" 3.4b.x", "3.4.0"},        {"1.2.3.4.5.6.7.8.9.10", "1.2.3"},  // 20 characters
        {"1.2.3.4.5.6.7.8.9.100", "1.0.0"},  // 21: ignored
    };
    for (const auto& [text, version] : versions) {
        ProjectPtr project = ReadProject(ProjectDoc("<version>" + text + "</version>"));
        EXPECT_EQ(Numbers(*project).substr(0, version.size() + 1), version + " ") << text;
    }
    // A nested root starts over; elements inside a leaf mean nothing; names
    // of another case and the description are skipped; unknown elements are
    // walked through.
    ProjectPtr project = ReadProject(ProjectDoc(
        "<title>first</title><uuid>u1</uuid><zandrel><title>second &amp; last</title>"
        "<description>dropped</description><Title>wrong case</Title><extra><path>/p/</path></extra>"
        "<stat addDate='10' AddDate='99' lastModified='20x' lastvisit='77'/>"
        "<version>3.1.4<version>9.9.9</version></version></zandrel>"));
    EXPECT_EQ(U8(project->GetName()), "second & last");
    EXPECT_EQ(project->GetUUID(), nullptr);
    EXPECT_EQ(project->GetDescription(), nullptr);
    EXPECT_EQ(U8(project->GetContentPath()), "/p/");
    EXPECT_EQ(Numbers(*project).substr(0, 13), "3.1.49 10 20 ");  // the version text is "3.1.49.9.9"
    EXPECT_EQ(U8(ReadProject(ProjectDoc("<title></title>"))->GetName()), "");
}

TEST(ProjectFile, HostileDocumentsGiveNoProject)
{
    for (const char* root : {"<krv:stat xmlns:krv='urn:k'/>", "<Zandrel><title>x</title></Zandrel>",
                             "<z:zandrel xmlns:z='urn:z'><title>x</title></z:zandrel>"})
        EXPECT_FALSE(ReadProject(root)) << root;

    std::string huge(4 << 20, 'n');
    ProjectPtr big = ReadProject(ProjectDoc("<title>" + huge + "</title><stat addDate='" + huge + "'/>"));
    ASSERT_TRUE(big);
    EXPECT_EQ(CStringTool::Length(big->GetName()), huge.size());

    // The walk fails after the project was made: nothing is left behind.
    EXPECT_FALSE(ReadProject(EntityBomb("zandrel") + "]><zandrel><title>ok</title><uuid>&a7;</uuid></zandrel>", false));
}
