// The explanations a technician reads on hovering an item: each names its rule's real thresholds,
// and after a run the figure the rule judged.
#include <gtest/gtest.h>

#include <cmath>
#include <regex>
#include <string>
#include <vector>

#include "check/rule_texts.h"
#include "check/rules.h"
#include "probes/os_identification.h"

namespace {

std::string Rule(ResultItem item)
{
    return ToUtf8(RuleText(item));
}

// The groups of the pattern's one match in the item's rule text; fails the test without a match.
std::vector<std::string> Figures(ResultItem item, const std::string& pattern)
{
    std::smatch match;
    const std::string text = Rule(item);
    if (!std::regex_search(text, match, std::regex(pattern))) {
        ADD_FAILURE() << "\"" << text << "\" does not match " << pattern;
        return std::vector<std::string>(8, "0");
    }
    return std::vector<std::string>(match.begin() + 1, match.end());
}

long Whole(const std::string& digits)
{
    std::string plain;
    for (char c : digits)
        if (c != ',')
            plain += c;
    return std::stol(plain);
}

// A run on a PC that passes every item, and one that fails each.
RuleFigures PassingPc()
{
    RuleFigures pc;
    pc.supportedOs = true;
    pc.operatingSystem = u"Microsoft Windows 7 Professional, 32-bit";
    pc.manufacturer = u"Dell Inc.";
    pc.model = u"OptiPlex 780";
    pc.processorCount = 1;
    pc.speedGhz = 2.4;
    pc.biosYear = 2010;
    pc.locale = u"English";
    pc.userName = u"CORP\\tsx-04";
    pc.totalMemoryMb = 4096;
    pc.availableMemoryMb = 2048;
    pc.driveGb = 60;
    pc.solidState = true;
    pc.serialPorts = 4;
    return pc;
}

RuleFigures FailingPc()
{
    RuleFigures pc;
    pc.operatingSystem = u"Microsoft Windows 10 Pro, 64-bit";
    pc.manufacturer = u"LENOVO";
    pc.model = u"20XW";
    pc.processorCount = 2;
    pc.speedGhz = 1.6;
    pc.locale = u"German";
    pc.userName = u"CORP\\jdoe";
    pc.totalMemoryMb = 1024;
    pc.availableMemoryMb = 800;
    pc.serialPorts = 1;
    return pc;
}

}  // namespace

// Each threshold in a text is where its rule changes its verdict, so a rule and its explanation
// cannot drift apart unnoticed.
TEST(RuleTexts, EachThresholdIsWhereItsRuleTurns)
{
    const long total = Whole(Figures(kItemTotalMemory, R"re(^Passes with ([0-9,]+) MB or more\.$)re")[0]);
    EXPECT_TRUE(PassesTotalMemory(total));
    EXPECT_FALSE(PassesTotalMemory(total - 1));
    const long available = Whole(Figures(kItemAvailableMemory, R"re(^Passes with ([0-9,]+) MB or more available\.$)re")[0]);
    EXPECT_TRUE(PassesAvailableMemory(available));
    EXPECT_FALSE(PassesAvailableMemory(available - 1));

    const auto speeds = Figures(kItemProcessor, R"re(([0-9.]+) GHz or more for one processor, or more than ([0-9.]+) GHz for two or more)re");
    const double one = std::stod(speeds[0]);
    const double many = std::stod(speeds[1]);
    EXPECT_TRUE(PassesProcessorSpeed(1, one));
    EXPECT_FALSE(PassesProcessorSpeed(1, std::nextafter(one, 0.0)));
    EXPECT_FALSE(PassesProcessorSpeed(2, many));
    EXPECT_TRUE(PassesProcessorSpeed(2, std::nextafter(many, 10.0)));
    EXPECT_TRUE(PassesProcessorSpeed(4, std::nextafter(many, 10.0)));

    const long year = Whole(Figures(kItemBios, R"re(from ([0-9]+) or later)re")[0]);
    EXPECT_TRUE(PassesBiosYear(year));
    EXPECT_FALSE(PassesBiosYear(year - 1));

    const auto drives = Figures(kItemHardDrive, R"re(of ([0-9]+) GB or more, or ([0-9]+) GB or more for a solid-state drive)re");
    const std::uint64_t disk = Whole(drives[0]);
    const std::uint64_t solid = Whole(drives[1]);
    EXPECT_TRUE(PassesHardDrive(disk, false));
    EXPECT_FALSE(PassesHardDrive(disk - 1, false));
    EXPECT_TRUE(PassesHardDrive(solid, true));
    EXPECT_FALSE(PassesHardDrive(solid - 1, true));
    EXPECT_FALSE(PassesHardDrive(solid, false));

    const long ports = Whole(Figures(kItemSerialPorts, R"re(^Passes with ([0-9]+) or more serial ports\.$)re")[0]);
    EXPECT_TRUE(PassesSerialPorts(ports));
    EXPECT_FALSE(PassesSerialPorts(ports - 1));
}

TEST(RuleTexts, EachNamedWordIsWhatItsRuleAccepts)
{
    const CString locale = Widen(Figures(kItemLocale, R"re(the locale "([^"]+)")re")[0]);
    EXPECT_TRUE(PassesLocale(locale));
    EXPECT_FALSE(PassesLocale(locale + u" (United States)re"));

    const auto makers = Figures(kItemManufacturer, R"re(manufacturer is "([^"]+)" or the model is "([^"]+)")re");
    EXPECT_TRUE(PassesManufacturer(Widen(makers[0]), u""));
    EXPECT_TRUE(PassesManufacturer(u"", Widen(makers[1])));
    EXPECT_FALSE(PassesManufacturer(Widen(makers[1]), Widen(makers[0])));

    // "beginning with A, B or C": every one passes in any case after a backslash, and only there.
    std::string prefixes = Figures(kItemUserName, R"re(beginning with (.+?), in any case)re")[0];
    prefixes = std::regex_replace(prefixes, std::regex(" or "), ", ");
    int named = 0;
    const std::regex separator(", ");
    for (std::sregex_token_iterator it(prefixes.begin(), prefixes.end(), separator, -1), end; it != end; ++it) {
        const CString prefix = Widen(*it);
        CString lower = prefix;
        for (char16_t& c : lower)
            c = (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c;
        EXPECT_TRUE(PassesUserName(u"CORP\\" + lower + u"-7")) << *it;
        EXPECT_FALSE(PassesUserName(prefix + u"-7")) << *it;
        EXPECT_FALSE(PassesUserName(u"CORP\\x" + prefix)) << *it;
        ++named;
    }
    EXPECT_EQ(named, 3);
    EXPECT_FALSE(PassesUserName(u"CORP\\QUORVALL"));
}

// The systems the text names are the ones the identification passes, and no others of their kind.
TEST(RuleTexts, TheSupportedSystemsAreTheOnesThatPass)
{
    const std::string text = Rule(kItemOperatingSystem);
    EXPECT_EQ(text, "Passes on Windows 7 Professional or Ultimate, or Windows XP Professional, 32-bit.");
    EXPECT_NE(Rule(kItemOsVersion).find("Windows 7 Professional or Ultimate, or Windows XP Professional, 32-bit"),
              std::string::npos);
    struct System {
        std::uint32_t major, minor;
        std::uint16_t suite;
        std::uint16_t architecture;
        std::optional<std::uint32_t> product;
        bool passes;
    };
    const System systems[] = {
        {6, 1, 0, 0, 0x30, true},       // 7 Professional
        {6, 1, 0, 0, 0x01, true},       // 7 Ultimate
        {5, 1, 0, 0, std::nullopt, true},  // XP Professional
        {6, 1, 0, 9, 0x30, false},      // 7 Professional, 64-bit
        {6, 1, 0, 0, 0x03, false},      // 7 Home Premium
        {5, 1, 0x200, 0, std::nullopt, false},  // XP Home
        {6, 0, 0, 0, 0x30, false},      // Vista Business
    };
    for (const System& system : systems) {
        OsFacts facts;
        facts.platformId = 2;
        facts.majorVersion = system.major;
        facts.minorVersion = system.minor;
        facts.productType = 1;
        facts.suiteMask = system.suite;
        facts.processorArchitecture = system.architecture;
        facts.productInfo = system.product;
        const OsIdentification identified = IdentifyOperatingSystem(facts);
        EXPECT_EQ(identified.supported, system.passes) << ToUtf8(identified.name);
    }
}

TEST(RuleTexts, AfterARunEachItemNamesThisPcsFigure)
{
    const RuleFigures passing = PassingPc();
    const RuleFigures failing = FailingPc();
    for (int i = 0; i < kResultItemCount; ++i) {
        const auto item = static_cast<ResultItem>(i);
        EXPECT_TRUE(ItemPasses(item, passing)) << Rule(item);
        EXPECT_FALSE(ItemPasses(item, failing)) << Rule(item);
        for (const RuleFigures* pc : {&passing, &failing})
            EXPECT_EQ(ItemExplanation(item, pc), RuleText(item) + u" This PC: " + FigureText(item, *pc) + u".");
    }
    EXPECT_EQ(ToUtf8(ItemExplanation(kItemTotalMemory, &failing)), "Passes with 1,901 MB or more. This PC: 1,024 MB.");
    EXPECT_EQ(ToUtf8(ItemExplanation(kItemSerialPorts, &failing)), "Passes with 3 or more serial ports. This PC: 1.");

    const std::pair<ResultItem, std::string> figures[] = {
        {kItemOperatingSystem, "Microsoft Windows 10 Pro, 64-bit"},
        {kItemOsVersion, "Microsoft Windows 10 Pro, 64-bit"},
        {kItemManufacturer, "\"LENOVO\", model \"20XW\""},
        {kItemProcessor, "2 processors at 1.6 GHz"},
        {kItemBios, "no BIOS date read"},
        {kItemLocale, "\"German\""},
        {kItemUserName, "CORP\\jdoe"},
        {kItemAvailableMemory, "800 MB"},
        {kItemHardDrive, "less than 1 GB"},
    };
    for (const auto& [item, figure] : figures)
        EXPECT_EQ(ToUtf8(FigureText(item, failing)), figure) << Rule(item);
    EXPECT_EQ(ToUtf8(FigureText(kItemProcessor, passing)), "1 processor at 2.4 GHz");
    EXPECT_EQ(ToUtf8(FigureText(kItemBios, passing)), "2010");
    EXPECT_EQ(ToUtf8(FigureText(kItemHardDrive, passing)), "60 GB, solid-state");
}

TEST(RuleTexts, AnImportedReportIsExplainedByItsRulesAlone)
{
    for (int i = 0; i < kResultItemCount; ++i) {
        const auto item = static_cast<ResultItem>(i);
        EXPECT_EQ(ItemExplanation(item, nullptr), RuleText(item));
        EXPECT_EQ(Rule(item).rfind("Passes ", 0), 0u) << Rule(item);
        EXPECT_EQ(Rule(item).find("This PC"), std::string::npos);
    }
}
