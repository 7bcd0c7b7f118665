// The scenario format: what each line turns into, and how mistakes are reported.
#include <gtest/gtest.h>

#include "scenario.h"

namespace cockpit {
namespace {

Scenario Parse(const std::string& text, const std::string& path = "dir/s.scn") {
    Scenario s;
    std::string error;
    EXPECT_TRUE(ParseScenario(text, path, &s, &error)) << error;
    return s;
}

std::string ErrorOf(const std::string& text) {
    Scenario s;
    std::string error;
    EXPECT_FALSE(ParseScenario(text, "s.scn", &s, &error)) << text;
    return error;
}

TEST(ScenarioParser, StepsCarryTheirArguments) {
    const Scenario s = Parse("plug RSX.2\n"
                             "unplug qd-pbx\n"
                             "turn RSX 2 -3\n"
                             "toggle TGX 4\n"
                             "lever THQ 6 255\n"
                             "selector SSM 3 2\n"
                             "set sim/x[3] 1.5,2\n"
                             "set sim/name \"N123 AB\"\n"
                             "wait 12 frames\n"
                             "wait 0.5s\n"
                             "message x737 on\n"
                             "message aircraft-loaded\n"
                             "message 0x8000 7\n");
    ASSERT_EQ(s.steps.size(), 13u);
    const auto& v = s.steps;
    EXPECT_EQ(v[0].op, Op::Plug);
    EXPECT_EQ(v[0].unit, (UnitRef{5, 2}));
    EXPECT_EQ(v[1].unit, (UnitRef{2, 1}));
    EXPECT_EQ(v[2].op, Op::Turn);
    EXPECT_EQ(v[2].a, 2);
    EXPECT_EQ(v[2].b, -3);
    EXPECT_EQ(v[3].op, Op::Toggle);
    EXPECT_EQ(v[4].b, 255);
    EXPECT_EQ(v[5].op, Op::Selector);
    EXPECT_EQ(v[6].name, "sim/x");
    EXPECT_EQ(v[6].a, 3);
    EXPECT_EQ(v[6].text, "1.5,2");
    EXPECT_TRUE(v[7].exact);
    EXPECT_EQ(v[7].text, "N123 AB");
    EXPECT_EQ(v[8].op, Op::WaitFrames);
    EXPECT_EQ(v[8].b, 12);
    EXPECT_EQ(v[9].op, Op::WaitSeconds);
    EXPECT_DOUBLE_EQ(v[9].seconds, 0.5);
    EXPECT_FALSE(v[10].from_sim);
    EXPECT_EQ(v[10].a, static_cast<int>(0x8888888E));
    EXPECT_TRUE(v[11].from_sim);
    EXPECT_EQ(v[11].a, 102);
    EXPECT_EQ(v[11].param, 0);
    EXPECT_EQ(v[12].a, 0x8000);
    EXPECT_EQ(v[12].param, 7);
    EXPECT_EQ(v[12].line, 13);
}

TEST(ScenarioParser, Expectations) {
    const Scenario s = Parse("expect display RSX right \" 121.50\"  # spaces kept in quotes\n"
                             "expect display AVY alpha XPDR\n"
                             "expect lamp APX 23 on\n"
                             "expect lamps PBX -\n"
                             "expect lamps PBX 1 3\n"
                             "expect colour ANP 2 0/100/100\n"
                             "expect dataref sim/y[1] = 0.25\n"
                             "expect dataref sim/z 3\n"
                             "expect command sim/a/b\n"
                             "expect key 18\n");
    ASSERT_EQ(s.steps.size(), 10u);
    const auto& v = s.steps;
    EXPECT_TRUE(v[0].exact);
    EXPECT_EQ(v[0].text, " 121.50");
    EXPECT_EQ(v[0].source, "expect display RSX right \" 121.50\"");
    EXPECT_FALSE(v[1].exact);
    EXPECT_EQ(v[1].name, "alpha");
    EXPECT_TRUE(v[2].on);
    EXPECT_EQ(v[2].a, 23);
    EXPECT_TRUE(v[3].lamps.empty());
    EXPECT_EQ(v[4].lamps, (std::vector<int>{1, 3}));
    EXPECT_EQ(v[5].lamps, (std::vector<int>{0, 100, 100}));
    EXPECT_EQ(v[6].a, 1);
    EXPECT_EQ(v[6].text, "0.25");
    EXPECT_EQ(v[7].a, -1);
    EXPECT_EQ(v[8].name, "sim/a/b");
    EXPECT_EQ(v[9].op, Op::ExpectKey);
    for (const Step& step : v)
        EXPECT_TRUE(step.IsExpectation());
}

TEST(ScenarioParser, UnitsAndSettings) {
    Scenario s = Parse("# comment\n\nunits RSX, PBX PBX gtp2\nsettings my.ini\nshow\n");
    ASSERT_EQ(s.units.size(), 4u);
    EXPECT_EQ(s.units[2], (UnitRef{2, 2})) << "a repeated model is its second unit";
    EXPECT_EQ(s.units[3], (UnitRef{11, 1}));
    EXPECT_EQ(s.settings_file, "dir/my.ini") << "relative to the scenario's folder";
    EXPECT_EQ(Parse("settings /abs/DRAV.INI\n").settings_file, "/abs/DRAV.INI");

    // The block is kept as it stands, comments and all, up to "end".
    s = Parse(
        "settings\n[QDPBX_1]\n; note # not a scenario comment\nFunction1=BEACON_LTS\nend\npress PBX 1\n");
    EXPECT_TRUE(s.has_settings_text);
    EXPECT_EQ(s.settings_text, "[QDPBX_1]\n; note # not a scenario comment\nFunction1=BEACON_LTS\n");
    EXPECT_EQ(s.steps.size(), 1u);

    std::vector<UnitRef> all;
    std::string error;
    ASSERT_TRUE(ParseUnitList("all", &all, &error));
    EXPECT_EQ(all.size(), 16u);
    ASSERT_TRUE(ParseUnitList("none", &all, &error));
    EXPECT_TRUE(all.empty());
    EXPECT_FALSE(ParseUnitList("RSX,CDU", &all, &error));
    EXPECT_EQ(error, "unknown model \"CDU\"");
}

TEST(ScenarioParser, AircraftAndCopyFindTheirFilesBesideTheScenario) {
    const Scenario s = Parse("aircraft \"Aircraft/My 737/b738.acf\"\n"
                             "aircraft /abs/c172.acf\n"
                             "copy profiles/B738.ini aircraft/B738.ini\n");
    ASSERT_EQ(s.steps.size(), 3u);
    EXPECT_EQ(s.steps[0].op, Op::Aircraft);
    EXPECT_EQ(s.steps[0].name, "dir/Aircraft/My 737/b738.acf");
    EXPECT_EQ(s.steps[1].name, "/abs/c172.acf");
    EXPECT_EQ(s.steps[2].op, Op::Copy);
    EXPECT_EQ(s.steps[2].name, "dir/profiles/B738.ini");
    EXPECT_EQ(s.steps[2].text, "aircraft/B738.ini");
    // Copies stay inside the plug-in's folder.
    for (const char* target : {"/etc/x", "../x", "aircraft/../../x"})
        EXPECT_EQ(ErrorOf(std::string("copy a ") + target + "\n"),
                  "s.scn:1: copy goes to a place inside the plug-in's folder, such as aircraft/NAME.ini");
}

TEST(ScenarioParser, MistakesNameTheLine) {
    EXPECT_EQ(ErrorOf("show\nprss PBX 1\n"), "s.scn:2: unknown step \"prss\"");
    EXPECT_EQ(ErrorOf("press XYZ 1\n"),
              "s.scn:1: unknown unit \"XYZ\" (a model such as RSX, or RSX.2 for the second)");
    EXPECT_EQ(ErrorOf("press PBX 0\n"), "s.scn:1: bad switch \"0\" (1 to 64)");
    EXPECT_EQ(ErrorOf("lever THQ 1 256\n"), "s.scn:1: bad position \"256\" (0 to 255)");
    EXPECT_EQ(ErrorOf("turn RSX 1\n"), "s.scn:1: \"turn\" takes 3 arguments, got 2");
    EXPECT_EQ(ErrorOf("wait 3 hours\n"), "s.scn:1: unknown unit of time \"hours\" (frames or s)");
    EXPECT_EQ(ErrorOf("set sim/x abc\n"),
              "s.scn:1: bad value \"abc\" (a number, numbers separated by commas, or \"text\")");
    EXPECT_EQ(ErrorOf("expect display RSX left \"12\n"), "s.scn:1: missing closing quote");
    EXPECT_EQ(ErrorOf("expect lamp PBX 1 lit\n"), "s.scn:1: write \"expect lamp UNIT N on|off\"");
    EXPECT_EQ(ErrorOf("expect colour ANP 1 1/2\n"),
              "s.scn:1: bad colour \"1/2\" (red/green/blue, 0 to 255 each)");
    EXPECT_EQ(ErrorOf("show\nunits RSX\n"), "s.scn:2: \"units\" must come before the first step");
    EXPECT_EQ(ErrorOf("\nsettings\n[QDPBX_1]\n"), "s.scn:2: settings block without \"end\"");
    EXPECT_EQ(ErrorOf("turn RSX 1 99999\n"), "s.scn:1: bad step count \"99999\" (-32768 to 32767)");
}

TEST(ScenarioParser, ModelNames) {
    EXPECT_EQ(ModelByName("RSX"), 5);
    EXPECT_EQ(ModelByName("qd-rsx"), 5);
    EXPECT_EQ(ModelByName("QDRSX"), 5);
    EXPECT_EQ(ModelByName("GTP2"), 11);
    EXPECT_EQ(ModelByName("GTP"), 4);
    EXPECT_EQ(ModelByName("TXP"), 0) << "recognised by the library but not supported";
    EXPECT_EQ(UnitName({12, 3}), "APX.3");
}

} // namespace
} // namespace cockpit
