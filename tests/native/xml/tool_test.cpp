// The quillon-xml tool from outside: run the binary on fixture files and compare what
// it prints and its exit status.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>
#include <sys/wait.h>

namespace {

struct ToolRun {
    std::string out;
    int status = -1;
};

ToolRun Tool(const std::string& arguments) {
    ToolRun run;
    const std::string command = std::string("'") + QUILLON_XML_TOOL + "' " + arguments + " 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return run;
    std::array<char, 4096> buffer;
    size_t got;
    while ((got = fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        run.out.append(buffer.data(), got);
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

std::string Fixture(const char* name) {
    return std::string("'") + QUILLON_XML_FIXTURES + "/" + name + "'";
}

TEST(XmlTool, DumpPrintsOutlineWithUnescapedValues) {
    for (const char* file : {"utf8.xml", "utf8_bom.xml", "utf16le.xml", "utf16be.xml"}) {
        const ToolRun run = Tool("dump " + Fixture(file));
        EXPECT_EQ(run.status, 0) << file;
        EXPECT_EQ(run.out, "config\n"
                           "  name = \"caf\xC3\xA9 \xE2\x82\xAC\"\n"
                           "  item key=\"a&b\" on=\"on\"\n"
                           "wellformed\n")
            << file;
    }
}

TEST(XmlTool, DumpOfDamagedFileShowsRecoveredStructure) {
    const ToolRun run = Tool("dump " + Fixture("broken.xml"));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "root\n"
                       "a x=\"1\"\n"
                       "  b\n"
                       "d\n"
                       "not wellformed\n");
}

TEST(XmlTool, DumpEscapesControlsQuotesAndBackslashes) {
    const std::string path = testing::TempDir() + "quillon_xml_tool_escapes.xml";
    FILE* file = fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    const std::string text = "<r a=\"x&#10;&#9;\\&quot;\"><t>1\r\n2&#1;</t></r>";
    fwrite(text.data(), 1, text.size(), file);
    fclose(file);
    const ToolRun run = Tool("dump '" + path + "'");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "r a=\"x\\n\\t\\\\\\\"\"\n  t = \"1\\r\\n2\\x01\"\nwellformed\n");
    remove(path.c_str());
}

TEST(XmlTool, ReportAndCount) {
    ToolRun run = Tool("report " + Fixture("utf8.xml"));
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.substr(0, run.out.find('\n')), "wellformed");
    EXPECT_NE(run.out.find("<read encoding=\"UTF-8\" length=\"71\"/><utf8_detection/>"), std::string::npos)
        << run.out;

    run = Tool("report " + Fixture("broken.xml"));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out.substr(0, run.out.find('\n')), "not wellformed");
    EXPECT_NE(run.out.find("<lone_end_tag tagname=\"c\""), std::string::npos) << run.out;

    run = Tool("count " + Fixture("utf8.xml") + " --repeat 3");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "3\n");
}

TEST(XmlTool, BadArgumentsAndUnreadableFiles) {
    EXPECT_EQ(Tool("").status, 2);
    EXPECT_EQ(Tool("frobnicate x").status, 2);
    EXPECT_EQ(Tool("count " + Fixture("utf8.xml") + " --repeat 0").status, 2);
    EXPECT_EQ(Tool("dump " + Fixture("utf8.xml") + " extra").status, 2);
    const ToolRun missing = Tool("report " + Fixture("missing.xml"));
    EXPECT_EQ(missing.status, 2);
    EXPECT_EQ(missing.out, "");
    EXPECT_EQ(Tool("dump " + Fixture("missing.xml")).status, 2);
}

} // namespace
