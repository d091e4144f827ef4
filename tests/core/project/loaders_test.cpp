#include "core/project/loaders.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/expression/compile_expression.hpp"
#include "core/platform/file_names.hpp"
#include "core/project/port_settings_access.hpp"
#include "core/project/record_access.hpp"
#include "temp_folder.hpp"

namespace orvalix {
namespace {

using test::TempFolder;

CompiledExpression compiled(std::string_view text) {
    CompiledExpression expression;
    EXPECT_EQ(compileExpression(text, expression), 0) << text;
    return expression;
}

std::vector<std::u16string> sorted(std::vector<std::u16string> names) {
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::vector<std::u16string>> cellsOf(const std::vector<SequenceStep>& steps) {
    std::vector<std::vector<std::u16string>> cells;
    for (const SequenceStep& step : steps) {
        cells.push_back(step.cells);
    }
    return cells;
}

constexpr std::string_view kComThreeEnvironment =
    "Item,Description,Value\n"
    "Port,port name,COM3\n"
    "Records,,100\n"
    "Length,,64\n"
    "Pre,,5\n"
    "Post,,6\n"
    "5,,\n6,,\n7,,\n8,,\n"
    "Baud,,9600\n"
    "Parity,,\n"
    "Stop,,\n"
    "Data,,\n"
    "Flow,,\n"
    "Timeout,,\n";

TEST(DataFilePath, JoinsFolderAndFileName) {
    EXPECT_EQ(dataFilePath(u"data", u"P1.Environments.csv"), std::filesystem::path("data") / "P1.Environments.csv");
    EXPECT_EQ(dataFilePath(u"data", u"\u30D5\u30EC\u30FC\u30E0.csv").filename().u16string(),
              u"\u30D5\u30EC\u30FC\u30E0.csv");
}

TEST(CompileCell, KeepsOnlySuccessfulCompiles) {
    const std::vector<std::u16string> row{u"label", u"1+2", u"1+", u""};
    struct Case {
        std::size_t column;
        bool expectCompiled;
    };
    const Case cases[] = {
        {1, true},
        {2, false},  // does not compile
        {3, false},  // empty text
        {4, false},  // no such cell
        {9, false},
    };
    for (const Case& c : cases) {
        CompiledExpression target = compiled("7");  // whatever was there goes
        compileCell(row, c.column, target);
        if (c.expectCompiled) {
            EXPECT_EQ(target, compiled("1+2")) << "column " << c.column;
        } else {
            EXPECT_TRUE(target.empty()) << "column " << c.column;
        }
    }
}

TEST(FindEnvironmentNames, AcceptsLetterThenNonNegativeNumber) {
    TempFolder folder;
    struct Case {
        std::u16string fileName;
        bool accepted;
    };
    const Case cases[] = {
        {u"P1.Environments.csv", true},
        {u"P12.Environments.csv", true},
        {u"Q0x10.Environments.csv", true},
        {u"R017b.Environments.csv", true},  // characters after the number are allowed
        {u"S0x.Environments.csv", true},    // "0x" reads as the digit 0
        {u"T+3.Environments.csv", true},
        {u"U-0.Environments.csv", true},
        {u"P-1.Environments.csv", false},
        {u"X.Environments.csv", false},
        {u"AB.Environments.csv", false},
        {u"1.Environments.csv", false},
        {u".Environments.csv", false},
        {u"V1.Sequences.csv", false},
        {u"W1.Environments.csv.bak", false},
    };
    std::vector<std::u16string> expected;
    for (const Case& c : cases) {
        folder.write(c.fileName, "Item,Description,Value\n");
        if (c.accepted) {
            expected.push_back(c.fileName.substr(0, c.fileName.find(u'.')));
        }
    }
    std::filesystem::create_directory(folder.file(u"D1.Environments.csv"));

    std::vector<std::u16string> names;
    findEnvironmentNames(folder.wide(), names);
    EXPECT_EQ(sorted(names), sorted(expected));
}

TEST(FindEnvironmentNames, NameBeforeTheFirstDotComesOncePerFile) {
    TempFolder folder;
    folder.write(u"P3.Environments.csv", "h\n");
    folder.write(u"P3.old.Environments.csv", "h\n");
    std::vector<std::u16string> names{u"kept"};
    findEnvironmentNames(folder.wide(), names);
    EXPECT_EQ(sorted(names), (std::vector<std::u16string>{u"P3", u"P3", u"kept"}));
}

TEST(FindEnvironmentNames, SuffixCaseFollowsTheFileSystem) {
    TempFolder folder;
    folder.write(u"P7.environments.CSV", "h\n");
    std::vector<std::u16string> names;
    findEnvironmentNames(folder.wide(), names);
    if (platform::fileNamesIgnoreCase()) {
        EXPECT_EQ(names, std::vector<std::u16string>{u"P7"});
    } else {
        EXPECT_TRUE(names.empty());
    }
}

TEST(FindEnvironmentNames, MissingFolderGivesNoNames) {
    TempFolder folder;
    std::vector<std::u16string> names;
    findEnvironmentNames((folder.path() / "absent").u16string(), names);
    EXPECT_TRUE(names.empty());
}

TEST(FindEnvironmentNames, SkipsFileNamesThatAreNotText) {
    TempFolder folder;
    folder.write(u"P1.Environments.csv", "h\n");
    std::filesystem::path undecodable;
    try {
        undecodable = folder.path() / std::filesystem::path(std::string("P\xFF" "2.Environments.csv"));
    } catch (const std::exception&) {
        GTEST_SKIP() << "paths here are text, not bytes";
    }
    if (!std::ofstream(undecodable)) {
        GTEST_SKIP() << "the file system takes only valid names";
    }
    std::vector<std::u16string> names;
    findEnvironmentNames(folder.wide(), names);
    EXPECT_EQ(names, std::vector<std::u16string>{u"P1"});
}

TEST(ReadEnvironmentFile, SerialPortWithEmptyKeywordRows) {
    TempFolder folder;
    folder.write(u"P1.Environments.csv", kComThreeEnvironment);
    PortSettings settings;
    readEnvironmentFile(folder.wide(), u"P1", settings);
    ASSERT_EQ(settings.table.size(), 16u);
    EXPECT_EQ(portKind(settings), PortKind::Serial);
    EXPECT_EQ(baudRate(settings), 9600);
    EXPECT_EQ(recordCapacity(settings), 100);
    EXPECT_EQ(maxRecordLength(settings), 64);
    EXPECT_EQ(preTriggerCount(settings), 5);
    EXPECT_EQ(postTriggerCount(settings), 6);
    EXPECT_EQ(parity(settings), u"");
    EXPECT_EQ(characterTimeout(settings), 0);
    EXPECT_FALSE(settings.localEndpointValid);
    EXPECT_FALSE(settings.remoteEndpointValid);
}

TEST(ReadEnvironmentFile, ParsesLocalAndRemoteEndpoints) {
    TempFolder folder;
    folder.write(u"U1.Environments.csv",
                 "Item,Description,Value\n"
                 "Local,,:5000\n"
                 "1,,\n2,,\n3,,\n4,,\n5,,\n6,,\n7,,\n8,,\n"
                 "Remote,,127.0.0.1:6001\n");
    PortSettings settings;
    readEnvironmentFile(folder.wide(), u"U1", settings);
    EXPECT_EQ(portKind(settings), PortKind::Udp);
    EXPECT_TRUE(settings.localEndpointValid);
    EXPECT_EQ(settings.localAddress, 0x7F000001u);
    EXPECT_EQ(settings.localPort, 5000);
    EXPECT_TRUE(settings.remoteEndpointValid);
    EXPECT_EQ(settings.remoteAddress, 0x7F000001u);
    EXPECT_EQ(settings.remotePort, 6001);
    EXPECT_EQ(baudRate(settings), 0);
}

TEST(ReadEnvironmentFile, HeaderOnlyFileGivesPortThatCannotOpen) {
    TempFolder folder;
    folder.write(u"P1.Environments.csv", "Item,Description,Value\n");
    PortSettings settings;
    readEnvironmentFile(folder.wide(), u"P1", settings);
    EXPECT_EQ(settings.table.size(), 1u);
    EXPECT_EQ(portKind(settings), PortKind::None);
    EXPECT_FALSE(isUsable(settings));
}

TEST(ReadEnvironmentFile, MissingFileLeavesTargetUnchanged) {
    TempFolder folder;
    PortSettings settings;
    settings.table = {{u"kept"}};
    settings.localPort = 7;
    const PortSettings before = settings;
    readEnvironmentFile(folder.wide(), u"P1", settings);
    EXPECT_EQ(settings, before);
}

TEST(IsCommentRow, TrimmedFirstCellStartsWithSemicolon) {
    struct Case {
        CsvRow row;
        bool comment;
    };
    const Case cases[] = {
        {{u";"}, true},
        {{u"; note", u"1"}, true},
        {{u" \u3000;x"}, true},
        {{u"\t;"}, true},
        {{u"", u";x"}, false},
        {{u"a;"}, false},
        {{u"\uFF1B"}, false},  // a full-width semicolon is text
        {{u""}, false},
        {{u"   "}, false},
        {{}, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(isCommentRow(c.row), c.comment) << "row of " << c.row.size() << " cells";
    }
}

TEST(ReadSequenceFile, SkipsHeaderAndCommentsKeepsEmptyLines) {
    TempFolder folder;
    folder.write(u"P1.Sequences.csv",
                 "Label,TxCondition,Frame,JumpCondition,Target\n"
                 " Start ,1,F1,0,Start\n"
                 "\xE3\x80\x80 ;comment,1,F1\n"
                 "\n"
                 ",;x,F2\n"
                 "\t; another\n"
                 "End,1+,F3\n"
                 "\n");
    std::vector<SequenceStep> steps;
    readSequenceFile(folder.wide(), u"P1", steps);
    const std::vector<std::vector<std::u16string>> expected{
        {u" Start ", u"1", u"F1", u"0", u"Start"},
        {u""},
        {u"", u";x", u"F2"},
        {u"End", u"1+", u"F3"},
        {u""},
    };
    ASSERT_EQ(cellsOf(steps), expected);
    EXPECT_EQ(steps[0].txCondition, compiled("1"));
    EXPECT_EQ(steps[0].jumpCondition, compiled("0"));
    for (std::size_t i = 1; i < steps.size(); ++i) {
        EXPECT_TRUE(steps[i].txCondition.empty()) << i;
        EXPECT_TRUE(steps[i].jumpCondition.empty()) << i;
    }
}

TEST(ReadSequenceFile, AppendsOnlyTheDataRowsOfAReadableFile) {
    TempFolder folder;
    folder.write(u"P1.Sequences.csv", "Label,TxCondition,Frame,JumpCondition,Target\n");
    folder.write(u"P2.Sequences.csv", "h\nA,1,F\n");
    std::vector<SequenceStep> steps(1);
    readSequenceFile(folder.wide(), u"P1", steps);  // header only
    readSequenceFile(folder.wide(), u"P9", steps);  // missing
    ASSERT_EQ(steps.size(), 1u);
    readSequenceFile(folder.wide(), u"P2", steps);
    ASSERT_EQ(steps.size(), 2u);
    EXPECT_EQ(label(steps[1]), u"A");
}

TEST(ReadNamedFile, CompilesColumnsOneToThree) {
    TempFolder folder;
    folder.write(u"P1.Named.csv",
                 "Name,Condition,Mark,Trigger\n"
                 "Ack,1,2,3,ignored\n"
                 ";Off,1\n"
                 "Nak,4\n"
                 "\n");
    std::vector<NamedCondition> conditions;
    readNamedFile(folder.wide(), u"P1", conditions);
    ASSERT_EQ(conditions.size(), 3u);
    EXPECT_EQ(conditions[0].cells.size(), 5u);
    EXPECT_EQ(conditions[0].condition, compiled("1"));
    EXPECT_EQ(conditions[0].markCondition, compiled("2"));
    EXPECT_EQ(conditions[0].triggerCondition, compiled("3"));
    EXPECT_EQ(name(conditions[1]), u"Nak");
    EXPECT_EQ(conditions[1].condition, compiled("4"));
    EXPECT_TRUE(conditions[1].markCondition.empty());
    EXPECT_TRUE(conditions[1].triggerCondition.empty());
    EXPECT_EQ(conditions[2].cells, std::vector<std::u16string>{u""});
    EXPECT_TRUE(conditions[2].condition.empty());
}

TEST(LoadProject, NameFromLongerFileReadsTheShortFile) {
    TempFolder folder;
    folder.write(u"P3.Environments.csv", kComThreeEnvironment);
    folder.write(u"P3.old.Environments.csv", "Item,Description,Value\nPort,,COM9\n");
    folder.write(u"P3.Sequences.csv", "h\nA,1,F\nB,0,F\n");
    folder.write(u"P3.Named.csv", "h\nN,1\n");
    Project project;
    loadProject(folder.wide(), project);
    ASSERT_EQ(project.environments.size(), 1u);
    const Environment& environment = project.environments.at(u"P3");
    EXPECT_EQ(portName(environment.port), u"COM3");
    // Both files yield P3, so its sequence and named conditions are read twice.
    EXPECT_EQ(cellsOf(environment.sequence),
              (std::vector<std::vector<std::u16string>>{{u"A", u"1", u"F"}, {u"B", u"0", u"F"}, {u"A", u"1", u"F"},
                                                        {u"B", u"0", u"F"}}));
    EXPECT_EQ(environment.namedConditions.size(), 2u);
}

TEST(LoadProject, UnreadableEnvironmentFileKeepsSequenceAndConditions) {
    TempFolder folder;
    folder.write(u"P4.backup.Environments.csv", "Item,Description,Value\nPort,,COM4\n");
    folder.write(u"P4.Sequences.csv", "h\nA,1,F\n");
    folder.write(u"P4.Named.csv", "h\nN,1\n");
    Project project;
    loadProject(folder.wide(), project);
    const Environment& environment = project.environments.at(u"P4");
    EXPECT_EQ(environment.port, PortSettings{});
    EXPECT_FALSE(isUsable(environment.port));
    EXPECT_EQ(baudRate(environment.port), 0);
    EXPECT_EQ(environment.sequence.size(), 1u);
    EXPECT_EQ(environment.namedConditions.size(), 1u);
}

TEST(LoadProject, ReloadGivesTheStateOfAFirstLoad) {
    TempFolder folder;
    folder.write(u"A1.Environments.csv", kComThreeEnvironment);
    folder.write(u"A1.Sequences.csv", "h\nS,1,F\n");
    folder.write(u"A1.Named.csv", "h\nN,1\n");
    folder.write(u"F.csv", "h\nh\n0,1\n");
    folder.write(u"G.csv", "h\nh\n0,1\n0,2\n");
    Project project;
    loadProject(folder.wide(), project);
    ASSERT_EQ(project.environments.count(u"A1"), 1u);

    std::filesystem::remove(folder.file(u"A1.Environments.csv"));
    std::filesystem::remove(folder.file(u"A1.Sequences.csv"));
    folder.write(u"B2.Environments.csv", kComThreeEnvironment);
    folder.write(u"B2.Sequences.csv", "h\nS,1,G\nT,0,F\n");
    folder.write(u"F.csv", "h\nh\n0,1\n1,2\n2,3\n");
    // The folder text may be the project's own.
    loadProject(project.dataFolder, project);

    Project fresh;
    loadProject(folder.wide(), fresh);
    EXPECT_EQ(project, fresh);
    EXPECT_EQ(project.environments.count(u"A1"), 0u);
    EXPECT_EQ(project.frames.at(u"F").size(), 3u);
    EXPECT_EQ(project.frames.count(u"G"), 1u);
}

TEST(LoadProject, MissingFolderGivesEmptyProject) {
    TempFolder folder;
    Project project;
    project.environments[u"old"] = Environment{};
    project.frames[u"old"] = FrameDefinition{};
    const std::u16string missing = (folder.path() / "absent").u16string();
    loadProject(missing, project);
    EXPECT_EQ(project, (Project{missing, {}, {}, {}}));
}

}  // namespace
}  // namespace orvalix
