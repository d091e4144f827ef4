#include "core/project/loaders.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/expression/compile_expression.hpp"
#include "core/platform/file_names.hpp"
#include "temp_folder.hpp"

namespace orvalix {
namespace {

using test::TempFolder;

CompiledExpression compiled(std::string_view text) {
    std::optional<CompiledExpression> expression = compileExpression(text).program;
    EXPECT_TRUE(expression) << text;
    return std::move(expression).value_or(CompiledExpression{});
}

// Writes the files into the folder and loads it into a fresh project.
Project load(const TempFolder& folder, const std::vector<std::pair<std::u16string, std::string>>& files) {
    for (const auto& [fileName, text] : files) {
        folder.write(fileName, text);
    }
    Project project;
    loadProject(folder.wide(), project);
    return project;
}

TEST(FindEnvironmentNames, TakesTheTextBeforeTheFirstDotWhenANumberFollowsItsFirstCharacter) {
    const TempFolder folder;
    // Characters may follow the number, and "0x" reads as the digit 0; two files may give one name.
    // clang-format off
    const std::pair<std::u16string, bool> cases[] = {
        {u"P1.Environments.csv", true}, {u"P12.Environments.csv", true}, {u"Q0x10.Environments.csv", true},
        {u"T+3.Environments.csv", true}, {u"U-0.Environments.csv", true}, {u"R017b.Environments.csv", true},
        {u"S0x.Environments.csv", true}, {u"P12.old.Environments.csv", true}, {u"P-1.Environments.csv", false},
        {u"X.Environments.csv", false}, {u"AB.Environments.csv", false}, {u"1.Environments.csv", false},
        {u".Environments.csv", false}, {u"V1.Sequences.csv", false}, {u"W1.Environments.csv.bak", false},
        {u"P7.environments.CSV", platform::fileNamesIgnoreCase()},
    };
    // clang-format on
    std::vector<std::u16string> expected{u"kept"};
    for (const auto& [fileName, accepted] : cases) {
        folder.write(fileName, "h\n");
        if (accepted) {
            expected.push_back(fileName.substr(0, fileName.find(u'.')));
        }
    }
    std::filesystem::create_directory(folder.file(u"D1.Environments.csv"));
    try {  // a name holding a stray byte is no text here: it is skipped and the listing goes on
        std::ofstream(folder.path() / std::filesystem::path(std::string("P\xFF\x32.Environments.csv")));
    } catch (const std::exception&) {
    }
    std::vector<std::u16string> names{u"kept"};
    findEnvironmentNames(folder.wide(), names);
    std::sort(names.begin(), names.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names, expected);
}

TEST(LoadProject, RecordsSkipTheHeaderAndRowsWhoseTrimmedFirstCellStartsWithSemicolon) {
    const TempFolder folder;
    const Project project =
        load(folder, {{u"P1.Environments.csv", "h\n"},
                      {u"P1.Sequences.csv",
                       "Label,TxCondition,Frame,JumpCondition,Target\n"
                       " Start ,1,F1,0,Start\n\xE3\x80\x80 ;comment,1,F1\n\n"
                       ",;x,F2\n\t; another\na;,1\n\xEF\xBC\x9B,1\nEnd,1+,F3\n\n"},
                      {u"P1.Named.csv", "Name,Condition\nAck,1,2,3,ignored\n;Off,1\nNak,4\n"}});
    const Environment& environment = project.environments->at(u"P1");
    const std::vector<SequenceStep> steps{
        {{u" Start ", u"1", u"F1", u"0", u"Start"}, compiled("1"), compiled("0")},
        {{u""}, {}, {}},
        {{u"", u";x", u"F2"}, {}, {}},
        {{u"a;", u"1"}, compiled("1"), {}},
        {{u"\uFF1B", u"1"}, compiled("1"), {}},  // a full-width semicolon is text
        {{u"End", u"1+", u"F3"}, {}, {}},
        {{u""}, {}, {}}};
    EXPECT_EQ(environment.sequence, steps);
    const std::vector<NamedCondition> conditions{
        {{u"Ack", u"1", u"2", u"3", u"ignored"}, compiled("1"), compiled("2"), compiled("3")},
        {{u"Nak", u"4"}, compiled("4"), {}, {}}};
    EXPECT_EQ(environment.namedConditions, conditions);
}

TEST(LoadProject, EnvironmentFilesGiveThePortOfTheirRows) {
    const TempFolder folder;
    const Project project =
        load(folder, {{u"U1.Environments.csv",
                       "Item,Description,Value\nLocal,,:5000\n1,,\n2,,\n3,,\n4,,\n5,,\n6,,\n7,,\n8,,\nRemote,"
                       ",127.0.0.1:6001\n"},
                      // Only a longer file yields P4, so its own environment file is missing.
                      {u"P4.backup.Environments.csv", "h\nPort,,COM4\n"},
                      {u"P4.Sequences.csv", "h\nA,1,F\n"},
                      // Both files yield P3, so its files are read twice.
                      {u"P3.Environments.csv", "h\nPort,,COM3\n"},
                      {u"P3.old.Environments.csv", "h\nPort,,COM9\n"},
                      {u"P3.Sequences.csv", "h\nA,1,F\n"}});
    const PortOptions& udp = project.environments->at(u"U1").port;
    EXPECT_EQ(udp.kind, PortKindOptions(UdpOptions{{0x7F000001u, 5000}, UdpEndpoint{0x7F000001u, 6001},
                                                   u"127.0.0.1:6001"}));
    EXPECT_EQ(project.environments->at(u"P4").port, PortOptions{});
    EXPECT_EQ(project.environments->at(u"P4").sequence.size(), 1u);
    EXPECT_EQ(project.environments->at(u"P3").port.name, u"COM3");
    EXPECT_EQ(project.environments->at(u"P3").sequence.size(), 2u);
}

TEST(LoadProject, ReloadGivesTheStateOfAFirstLoadAndAMissingFolderAnEmptyProject) {
    const TempFolder folder;
    const std::string environment = "h\nPort,,COM3\n";
    Project project = load(folder, {{u"A1.Environments.csv", environment},
                                    {u"A1.Sequences.csv", "h\nS,1,F\n"},
                                    {u"A1.Named.csv", "h\nN,1\n"},
                                    {u"F.csv", "h\nh\n0,1\n"},
                                    {u"G.csv", "h\nh\n0,1\n0,2\n"}});
    ASSERT_EQ(project.environments->count(u"A1"), 1u);

    std::filesystem::remove(folder.file(u"A1.Environments.csv"));
    const Project fresh = load(folder, {{u"B2.Environments.csv", environment},
                                        {u"B2.Sequences.csv", "h\nS,1,G\nT,0,F\n"},
                                        {u"F.csv", "h\nh\n0,1\n1,2\n2,3\n"}});
    loadProject(project.dataFolder, project);  // the folder text may be the project's own
    EXPECT_EQ(project, fresh);

    const std::u16string missing = (folder.path() / "absent").u16string();
    loadProject(missing, project);
    EXPECT_EQ(project, (Project{missing, {}, {}, {}}));
}

}  // namespace
}  // namespace orvalix
