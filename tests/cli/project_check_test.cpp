#include "cli/project_check.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "../core/project/temp_folder.hpp"
#include "core/text/text_conversion.hpp"

namespace orvalix::cli {
namespace {

const std::u16string kExamples = toWide(std::string(ORVALIX_SOURCE_DIR) + "/examples/");

TEST(ProjectCheck, TheBundledExamplesHaveNoFinding) {
    // The counts show a folder that was read short.
    struct Example {
        std::u16string folder;
        std::size_t environments, steps, namedConditions, frames;
    };
    const Example examples[] = {{u"demo", 2, 2, 2, 2}, {u"udp-request-response", 2, 3, 2, 3},
                                {u"modbus-rtu", 1, 22, 0, 20}, {u"modbus-tcp", 1, 23, 0, 20}};
    for (const Example& e : examples) {
        SCOPED_TRACE(toNarrow(e.folder));
        const CheckReport report = checkDataFolder(kExamples + e.folder);
        for (const Finding& finding : report.findings) ADD_FAILURE() << formatFinding(finding);
        const CheckSummary& s = report.summary;
        EXPECT_EQ(std::tie(s.environments, s.steps, s.namedConditions, s.frames),
                  std::tie(e.environments, e.steps, e.namedConditions, e.frames));
    }
}

// File name, row, column, severity (E or W) and a part of the message.
using Found = std::tuple<std::string, std::size_t, std::size_t, char, std::string>;

// Every finding must match the expected one at its place.
void expectReport(const char* rule, const CheckReport& report, const std::vector<Found>& expected) {
    std::string all;
    for (const Finding& f : report.findings) all += formatFinding(f) + "\n";
    ASSERT_EQ(report.findings.size(), expected.size()) << rule << "\n" << all;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const Finding& f = report.findings[i];
        const auto& [fileName, row, column, severity, part] = expected[i];
        const std::string name = toNarrow(std::filesystem::path(toWide(f.file)).filename().u16string());
        const char kind = f.severity == Severity::Error ? 'E' : 'W';
        EXPECT_EQ(std::tie(name, f.row, f.column, kind), std::tie(fileName, row, column, severity)) << rule;
        EXPECT_NE(f.message.find(part), std::string::npos) << rule << ": " << formatFinding(f);
    }
}

TEST(ProjectCheck, ReportsWhatTheLoadersAcceptSilently) {
    // Per file, in report order: row, column, severity (E or W) and a part of the message.
    using Expected = std::tuple<std::size_t, std::size_t, char, std::string>;
    const std::pair<std::string, std::vector<Expected>> expected[] = {
        {"H1.Environments.csv",
         {{3, 3, 'W', "needs 82000000 bytes (5000 records of 16400 bytes), and a run keeps it twice"},
          {13, 3, 'W', "\"CRC16\" is not a keyword"}, {16, 3, 'W', "RS-232C line"}}},
        {"P1.Environments.csv",
         {{0, 3, 'W', "character time-out is not given: 0 ms is used, shorter than the 10 ms service cycle"},
          {3, 3, 'E', "traffic records is 0"}, {6, 3, 'W', "\"five\" holds no number"},
          {11, 3, 'W', "\"fast\""}, {11, 3, 'W', "bit rate is 0"}, {12, 3, 'W', "even parity is used"},
          {15, 3, 'W', "\"rts/cts\" is not a keyword"}, {16, 0, 'W', "no line feed"}}},
        {"P1.Named.csv",
         {{2, 2, 'E', "syntax error at 'SUM' (column 1)"}, {3, 3, 'E', "invalid token '!'"},
          {5, 1, 'W', "\"Retry?1\" gives the log file name \"Retry_1\", as \"Retry:1\" on line 4 does"},
          {6, 2, 'W', "condition evaluates as ((R[0]==1)&R[1])==3 (strictly left to right"},
          {7, 2, 'W', "condition reads \"X\", which names no buffer of this folder"}}},
        {"P1.Sequences.csv",
         {{2, 2, 'E', "invalid token '&&' (column 14)"}, {2, 5, 'W', "\"start\" matches no label"},
          {3, 1, 'W', "\"again\" appears again on line 5"}, {3, 3, 'W', "no readable file \"Missing.csv\""},
          {3, 5, 'W', "\"nowhere\" matches no label"}, {4, 0, 'W', "an empty line is a step"},
          {5, 2, 'E', "syntax error at 'Since' (column 1)"}, {5, 4, 'E', "invalid token 'R;' (column 5)"},
          {6, 2, 'W', "transmit condition is empty"}, {7, 3, 'W', "\"../secret\" is not a file name"},
          {9, 3, 'W', "\"応答フレーム\" has no readable file"}}},
        {"P2.Environments.csv", {{0, 0, 'E', "another file ending in .Environments.csv"}}},
        {"Q5.Environments.csv", {{2, 3, 'W', "\"nosuchport\" is not usable"}}},
        {"Reply.csv",
         {{3, 2, 'E', "invalid token '0x1G' (column 1); it gives the byte ff"},
          {5, 2, 'W', "high byte of the two-byte field on line 4"}, {6, 2, 'W', "field is empty: it gives"}}},
        {"S1.Environments.csv",
         {{2, 3, 'E', "environment \"S1\" opens the serial port \"COM3\", as environment \"P1\" does: only the "
                      "first can, so Start fails with \"Can't open COM3\""},
          {16, 3, 'W', "\"3.5\" is not a whole number of milliseconds: it reads as 3 ms, shorter than"}}},
        {"U7.Environments.csv",
         {{3, 3, 'E', "needs 1640000000 bytes (100000 records of 16400 bytes), more than the 1073741824 bytes"},
          {11, 3, 'W', "\"127.0.0.1\" does not parse as host:port"}}},
        {"U7.Sequences.csv",
         {{2, 2, 'E', "the quote at character 5 of this line is never closed: everything after it belongs to one "
                      "cell that the end of the file cuts off, so this row and every line below it are ignored"}}},
        {"応答フレーム.csv", {{0, 0, 'E', "not valid UTF-8 at byte offset 6"}}}};
    std::vector<Found> all;
    for (const auto& [fileName, findings] : expected) {
        for (const auto& [row, column, severity, part] : findings) {
            all.emplace_back(fileName, row, column, severity, part);
        }
    }
    expectReport("the broken example", checkDataFolder(kExamples + u"broken"), all);
}

std::string environmentFile(std::string_view port, std::int64_t records = 10, std::int64_t length = 10) {
    return "Setting,Description,Value\n"
           "Port,," + std::string(port) + "\nRecords,," + std::to_string(records) + "\nRecordLength,," +
           std::to_string(length) + "\nPreTrigger,,0\nPostTrigger,,0\n";
}

// Checks a folder of these files.
void expectFindings(const char* rule, const std::map<std::u16string, std::string>& files,
                    const std::vector<Found>& expected) {
    const test::TempFolder folder;
    for (const auto& [name, text] : files) folder.write(name, text);
    expectReport(rule, checkDataFolder(folder.wide()), expected);
}

const std::string kPort = "127.0.0.1:50101";

// These files beside U1's environment file, on kPort.
std::map<std::u16string, std::string> u1With(std::map<std::u16string, std::string> files) {
    files.emplace(u"U1.Environments.csv", environmentFile(kPort));
    return files;
}

// U1 sends the frame Reply of these rows.
std::map<std::u16string, std::string> u1WithReply(std::string_view rows) {
    return u1With({{u"U1.Sequences.csv", "L,T,F,J,G\ns,1,Reply,,\n"},
                   {u"Reply.csv", "Frame,Reply\nOffset,Value\n" + std::string(rows)}});
}

TEST(ProjectCheck, ControlCharactersInNamesAreErrorsThatShowTheCharacter) {
    using namespace std::string_literals;
    expectFindings("a NUL in a port name cuts it short",
                   {{u"U1.Environments.csv", environmentFile("127.0\0.0.1:50101"s)}},
                   {{"U1.Environments.csv", 2, 3, 'E',
                     "port name \"127.0<U+0000>.0.1:50101\" holds the control character U+0000 at character 6: "
                     "the name ends there wherever it is shown or handed to the system, where it reads as "
                     "\"127.0\""}});
    std::vector<Found> inFrameName{
        {"U1.Sequences.csv", 2, 3, 'E',
         "frame name \"Re<U+0001>ply\" holds the control character U+0001 at character 3: no one sees"},
        {"U1.Sequences.csv", 2, 3, 'W', "has no readable file"}};
#ifdef _WIN32
    // Windows refuses even to look for a file of that name, and check passes its reason on.
    inFrameName.insert(inFrameName.begin(), {"Re\x01ply.csv", 0, 0, 'E', "the file is ignored"});
#endif
    expectFindings("a control character in a frame name",
                   u1With({{u"U1.Sequences.csv", "L,T,F,J,G\ns,1,Re\x01ply,,\n"}}),
                   inFrameName);
    expectFindings("a tab, DEL and a C1 control in condition names; printable names pass",
                   u1With({{u"U1.Named.csv",
                            "N,C,M,T\n\tPing,1,,\nPi\x7Fng,1,,\nPi\xC2\x85ng,1,,\n応答 1,1,,\n𝄞\x02,1,,\n"}}),
                   {{"U1.Named.csv", 2, 1, 'E', "\"<U+0009>Ping\" holds the control character U+0009 at character 1"},
                    {"U1.Named.csv", 3, 1, 'E', "U+007F at character 3"},
                    {"U1.Named.csv", 4, 1, 'E', "U+0085 at character 3"},
                    {"U1.Named.csv", 6, 1, 'E', "\"𝄞<U+0002>\" holds the control character U+0002 at character 2"}});
}

TEST(ProjectCheck, AnExpressionOfTheReadLengthOrMoreIsTooLong) {
    // An expression is read up to 2048 bytes; the token still open at the limit is dropped.
    const std::string fits = "1+" + std::string(2044, ' ') + "1";           // 2047 bytes
    const std::string cutToBroken = "1+" + std::string(2045, ' ') + "1";    // 2048: "1+" is left
    const std::string cutToWorking = "1" + std::string(2100, ' ') + "+1";   // "1" is left
    expectFindings("2047 bytes are read whole", u1With({{u"U1.Named.csv", "N,C,M,T\nA," + fits + ",,\n"}}), {});
    expectFindings("what is left must compile, else the usual consequence",
                   u1With({{u"U1.Named.csv", "N,C,M,T\nA," + cutToBroken + ",," + cutToWorking + "\n"}}),
                   {{"U1.Named.csv", 2, 2, 'E',
                     "condition is too long: 2048 bytes, and an expression is read up to 2048 (the token still open "
                     "there is dropped); that part does not compile, so it evaluates to -1 and counts as holding"},
                    {"U1.Named.csv", 2, 4, 'E',
                     "trigger condition is too long: 2103 bytes, and an expression is read up to 2048 (the token "
                     "still open there is dropped); only what comes before is evaluated"}});
    expectFindings("a frame field as well", u1WithReply("0," + cutToBroken + "\n"),
                   {{"Reply.csv", 3, 2, 'E', "field is too long: 2048 bytes"}});
}

TEST(ProjectCheck, WideFieldsNeedTheirPlaceholderRowsAndCopyStandsAlone) {
    expectFindings("a four-byte field with its three placeholder rows, and a COPY row, pass",
                   u1WithReply("0,\"COPY(R, 0, LEN(R))\"\n1,\"CRC32(T, 0, LEN(T))\"\n2,\n3,\n4,\n"), {});
    expectFindings("a placeholder that holds an expression is never evaluated",
                   u1WithReply("0,\"BE32(7)\"\n1,\n2,9\n3,\n"),
                   {{"Reply.csv", 5, 2, 'W', "never evaluated: its position holds byte 3 of the 4-byte field on line 3"}});
    expectFindings("a field whose placeholders the frame lacks makes the frame longer than its rows",
                   u1WithReply("0,1\n1,\"CRC32(T, 0, 1)\"\n2,\n"),
                   {{"Reply.csv", 4, 2, 'W', "this 4-byte field has 1 of its 3 placeholder rows: the frame is built "
                                             "2 bytes longer than its rows"}});
    expectFindings("a CRC whose width is known only when it runs is one byte",
                   u1WithReply("0,\"CRC(R, 0, 2, R[0], 7, 0, 0, 0, 0)\"\n"),
                   {{"Reply.csv", 3, 2, 'W', "the CRC's width is known only when it runs"}});
    expectFindings("COPY anywhere but as a frame row's whole expression does not compile",
                   u1WithReply("0,\"COPY(R, 0, 1) + 1\"\n"),
                   {{"Reply.csv", 3, 2, 'E', "COPY must be a frame row's whole expression (column 1)"}});
}

TEST(ProjectCheck, NamesThatAreWordsOfTheLanguageCannotBeRead) {
    expectFindings("a condition or frame named by a function or keyword",
                   u1With({{u"U1.Named.csv", "N,C,M,T\nLEN,1,,\nLength,1,,\nSinceStart,1,,\n"},
                           {u"U1.Sequences.csv", "L,T,F,J,G\ns,1,CRC32,,\n"},
                           {u"CRC32.csv", "Frame,CRC32\nOffset,Value\n0,1\n"}}),
                   {{"U1.Named.csv", 2, 1, 'W', "condition name \"LEN\" is a word of the expression language"},
                    {"U1.Named.csv", 4, 1, 'W', "condition name \"SinceStart\" is a word"},
                    {"U1.Sequences.csv", 2, 3, 'W', "frame \"CRC32\" is a word of the expression language"}});
}

TEST(ProjectCheck, ConditionNamesThatGiveOneLogFileNameAreWarnedOfWithBothRows) {
    // Names that clean alike by what they hold are the broken example's (Retry:1, Retry?1).
    expectFindings("names cleaned alike, also only by case or to nothing",
                   u1With({{u"U1.Named.csv", "N,C,M,T\n.,1,,\n,1,,\n ,1,,\nPing,1,,\nping,1,,\nPing,1,,\n"}}),
                   {{"U1.Named.csv", 3, 1, 'W',
                     "condition name \"\" gives the log file name \"_\", as \".\" on line 2 does: their log files "
                     "cannot be told apart by name"},
                    {"U1.Named.csv", 4, 1, 'W', "\" \" gives the log file name \"_\", as \".\" on line 2 does:"},
                    {"U1.Named.csv", 6, 1, 'W',
                     "\"ping\" gives the log file name \"ping\", as \"Ping\" on line 5 does on Windows, where file "
                     "names ignore case:"},
                    {"U1.Named.csv", 7, 1, 'W', "\"Ping\" gives the log file name \"Ping\", as \"Ping\" on line 5 does:"}});
    expectFindings("each environment names its own log folder",
                   u1With({{u"U2.Environments.csv", environmentFile("127.0.0.1:50102")},
                           {u"U1.Named.csv", "N,C,M,T\na:b,1,,\n"}, {u"U2.Named.csv", "N,C,M,T\na?b,1,,\n"}}),
                   {});
}

// The texts in full are those of the broken example (H1, U7); here the thresholds and what counts.
TEST(ProjectCheck, HistoriesAbove64MiBAreWarnedOfAndAbove1GiBAreErrors) {
    struct Case {
        const char* rule;
        std::int64_t records, length;
        std::string named;
        std::vector<Found> expected;
    };
    const Case cases[] = {
        {"64 MiB is no finding", 4092, 16384, "", {}},
        {"above it a warning", 4093, 16384, "", {{"U1.Environments.csv", 3, 3, 'W', "needs 67125200 bytes"}}},
        {"1 GiB is still a warning", 65536, 16368, "", {{"U1.Environments.csv", 3, 3, 'W', "1073741824 bytes"}}},
        {"the named conditions' bits count too", 65536, 16368, "N,C,M,T\nA,1,,\n",
         {{"U1.Environments.csv", 3, 3, 'E',
           "1074003968 bytes (65536 records of 16388 bytes), more than the 1073741824 bytes a history may take: "
           "Start fails"}}},
        {"lengths count as the largest frame at most", 70000, 100000000, "",
         {{"U1.Environments.csv", 3, 3, 'E', "(70000 records of 16400 bytes; a length above 16384 counts as 16384)"}}},
        {"a history that keeps nothing needs nothing", 0, 100000000, "",
         {{"U1.Environments.csv", 3, 3, 'E', "traffic records is 0"}}},
    };
    for (const Case& c : cases) {
        std::map<std::u16string, std::string> files{
            {u"U1.Environments.csv", environmentFile(kPort, c.records, c.length)}};
        if (!c.named.empty()) files[u"U1.Named.csv"] = c.named;
        expectFindings(c.rule, files, c.expected);
    }
}

TEST(ProjectCheck, OperatorChainsThatCWouldGroupOtherwiseAreWarnedOfInEveryExpressionCell) {
    // Chains that C reads as they are evaluated (the mark and trigger conditions, the second
    // field) are no finding.
    expectFindings("conditions, jump conditions and frame fields",
                   u1With({{u"U1.Named.csv", "N,C,M,T\nA,R[0]==1&R[1]==3,1-2-3,(1+2)*3\n"},
                           {u"U1.Sequences.csv", "L,T,F,J,G\ns,1+2*3,Reply,R[0]&0x0F==3,s\n"},
                           {u"Reply.csv", "Frame,Reply\nOffset,Value\n0,R[0]+1*2\n1,R[0]*2+1\n"}}),
                   {{"Reply.csv", 3, 2, 'W',
                     "field evaluates as (R[0]+1)*2 (strictly left to right, not by C operator precedence): add "
                     "parentheses"},
                    {"U1.Named.csv", 2, 2, 'W', "condition evaluates as ((R[0]==1)&R[1])==3 (strictly"},
                    {"U1.Sequences.csv", 2, 2, 'W', "transmit condition evaluates as (1+2)*3 (strictly"},
                    {"U1.Sequences.csv", 2, 4, 'W', "jump condition evaluates as (R[0]&15)==3 (strictly"}});
}

TEST(ProjectCheck, NamesThatNoBufferOfTheFolderHasAreWarnedOf) {
    // Every environment reads one store: what named conditions recognise, under their names, and
    // what frames send, under theirs. A name read twice in a cell is reported once.
    expectFindings("R, T, any environment's named conditions and any step's frames are buffers",
                   u1With({{u"U2.Environments.csv", environmentFile("127.0.0.1:50102")},
                           {u"U1.Named.csv", "N,C,M,T\nPing,R[0]==1,,\nEcho,X[0]==1,Ping[0]==Pong[0],T[0]\n"},
                           {u"U2.Named.csv", "N,C,M,T\nPong,1,,\n; Gone,1,,\n"},
                           {u"U1.Sequences.csv", "L,T,F,J,G\ns,\"BCC(Y, 0, 2)==Y[0]\",Reply,reply[0]+Gone[0],s\n"},
                           {u"Reply.csv", "Frame,Reply\nOffset,Value\n0,Reply[0]+Z[1]\n"}}),
                   {{"Reply.csv", 3, 2, 'W',
                     "field reads \"Z\", which names no buffer of this folder (R, T, a named condition or a frame): "
                     "reading it gives -1"},
                    {"U1.Named.csv", 3, 2, 'W', "condition reads \"X\", which names no buffer"},
                    {"U1.Sequences.csv", 2, 2, 'W', "transmit condition reads \"Y\", which names no buffer"},
                    {"U1.Sequences.csv", 2, 4, 'W',
                     "jump condition reads \"reply\", which names no buffer of this folder (R, T, a named condition "
                     "or a frame): reading it gives -1 (names are compared exactly: \"Reply\" is one)"},
                    {"U1.Sequences.csv", 2, 4, 'W', "jump condition reads \"Gone\", which names no buffer"}});
}

// An environment file whose settings from 9 (bit rate or remote endpoint) on hold these values.
std::string settingsFile(std::string_view port, const std::vector<std::string>& fromNine) {
    std::string text = environmentFile(port) + ",,\n,,\n,,\n,,\n";
    for (const std::string& value : fromNine) text += "S,," + value + "\n";
    return text;
}

TEST(ProjectCheck, AKeywordSettingMaySpellOutItsDefault) {
    expectFindings("serial defaults spelt out",
                   {{u"S1.Environments.csv", settingsFile("COM3", {"9600", "Even", "1", "8", "None", "50"})}}, {});
    expectFindings("HDLC defaults are keywords",
                   {{u"H1.Environments.csv",
                     settingsFile("FBIHDLC0", {"9600", "NRZI", "ITU-T(旧CCITT)16bit", "全二重", "フラグ", "RS-232C"})}},
                   {});
    expectFindings("a text that is neither a keyword nor the default's spelling still is a finding",
                   {{u"S1.Environments.csv", settingsFile("COM3", {"9600", "none", "1.0", "8", "None", "50"})}},
                   {{"S1.Environments.csv", 12, 3, 'W', "parity \"none\" is not a keyword"},
                    {"S1.Environments.csv", 13, 3, 'W', "stop bits \"1.0\" is not a keyword"}});
}

TEST(ProjectCheck, EnvironmentsThatShareAPortAreAnErrorOnAllButTheFirst) {
    struct Case {
        const char* rule;
        std::vector<std::string> ports;  // of U1, U2, ...
        std::vector<Found> expected;
    };
    const Case cases[] = {
        {"one UDP endpoint binds once",
         {kPort, kPort},
         {{"U2.Environments.csv", 2, 3, 'E',
           "environment \"U2\" binds the local endpoint 127.0.0.1:50101, as environment \"U1\" does: only the "
           "first can, so Start fails with \"Can't open 127.0.0.1:50101\""}}},
        {"the first in name order keeps it", {kPort, "127.0.0.1:50102", kPort},
         {{"U3.Environments.csv", 2, 3, 'E',
           "\"U3\" binds the local endpoint 127.0.0.1:50101, as environment \"U1\""}}},
        {"another port or address is another endpoint", {kPort, "127.0.0.1:50102", "127.0.0.2:50101"}, {}},
        {"port 0 lets the system choose one each time", {"127.0.0.1:0", "127.0.0.1:0"}, {}},
    };
    for (const Case& c : cases) {
        std::map<std::u16string, std::string> files;
        for (std::size_t i = 0; i < c.ports.size(); ++i) {
            files[u"U" + toWide(std::to_string(i + 1)) + u".Environments.csv"] = environmentFile(c.ports[i]);
        }
        expectFindings(c.rule, files, c.expected);
    }
}

TEST(ProjectCheck, CharacterTimeOutsThatAreNoWholeNumberOrShorterThanTheCycleAreWarnedOf) {
    const std::string shorter =
        "shorter than the 10 ms service cycle: a frame being received ends at the first cycle that brings no byte";
    const std::pair<std::string, std::string> cases[] = {
        // A reading stops at the first character that does not fit.
        {"12ms", "character time-out \"12ms\" is not a whole number of milliseconds: it reads as 12 ms"},
        {"5", "character time-out of 5 ms is " + shorter},
        {"-20", "character time-out of -20 ms is " + shorter},
        {"soon", "character time-out \"soon\" holds no number: 0 is used"},
        // The cycle itself, blanks after the digits and other bases are fine.
        {"10", ""}, {"50 ", ""}, {"0x20", ""}};
    for (const auto& [timeout, message] : cases) {
        const test::TempFolder folder;
        folder.write(u"S1.Environments.csv", settingsFile("COM3", {"9600", "", "", "", "", timeout}));
        const CheckReport report = checkDataFolder(folder.wide());
        std::vector<std::string> messages;
        for (const Finding& f : report.findings) messages.push_back(f.message);
        EXPECT_EQ(messages, message.empty() ? std::vector<std::string>{} : std::vector<std::string>{message})
            << "time-out \"" << timeout << "\"";
    }
}

TEST(ProjectCheck, FaultRowsThatMakeNoRuleAreErrorsAndRulesThePortCannotApplyAreWarnedOf) {
    expectFindings("each row that makes no rule names its column and why",
                   u1With({{u"U1.Faults.csv", "Name,When,Action,Parameter,Probability,Limit\n"
                                              "lost,,drop,,,\n"
                                              ";off,,nothing,,,\n"
                                              "bad,T[0] ==,drop,,,\n"
                                              "odd,,lose,,,\n"
                                              "coin,,drop,,150,\n"
                                              "halves,,split,2:5,,\n"}}),
                   {{"U1.Faults.csv", 4, 2, 'E', "the condition 'T[0] ==' does not compile: the fault is ignored"},
                    {"U1.Faults.csv", 5, 3, 'E', "unknown action 'lose': delay, drop, corrupt, truncate, duplicate"},
                    {"U1.Faults.csv", 6, 5, 'E', "probability needs a percentage from 0 to 100, not '150'"},
                    {"U1.Faults.csv", 7, 3, 'W', "split applies on serial and TCP ports only"}});
    expectFindings("ignore and split both apply on a serial port",
                   {{u"S1.Environments.csv", settingsFile("COM3", {"9600", "Even", "1", "8", "None", "50"})},
                    {u"S1.Faults.csv", "Name,When,Action\ndeaf,,ignore\nhalves,,split,1:5\n"}},
                   {});
}

TEST(ProjectCheck, AFolderWithoutEnvironmentsIsAFinding) {
    const CheckReport report = checkDataFolder(kExamples);
    ASSERT_EQ(report.findings.size(), 1u);
    EXPECT_NE(report.findings[0].message.find("defines no environment"), std::string::npos);
}

TEST(ProjectCheck, FormatsOneLinePerFinding) {
    EXPECT_EQ(formatFinding({"a/P1.Named.csv", 3, 2, Severity::Error, "x"}), "a/P1.Named.csv:3:2: error: x");
    EXPECT_EQ(formatFinding({"f.csv", 0, 0, Severity::Warning, "w"}), "f.csv:0:0: warning: w");
}

}  // namespace
}  // namespace orvalix::cli
