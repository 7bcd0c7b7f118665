// Function catalogue: fixed numbers, names both ways, legacy keys and the settings lookup.
#include "simlink/catalogue.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

TEST(CatalogueTest, EveryNameMapsToItsRowAndBack) {
    for (int i = 0; i < kUnitTypeCount; ++i) {
        const UnitMapping& row = kUnitMappings[i];
        ASSERT_NE(row.name, nullptr) << i;
        EXPECT_EQ(row.identifier, i) << row.name;
        EXPECT_STREQ(of_unit_name(i), row.name);
        // Row 0 is NADA, whose lookup result is 0 either way.
        EXPECT_EQ(of_switch_table(row.name), i) << row.name;
    }
    EXPECT_EQ(of_unit_name(-1), nullptr);
    EXPECT_EQ(of_unit_name(kUnitTypeCount), nullptr);
}

TEST(CatalogueTest, LegacyKeysExistForValueFunctionsOnly) {
    for (int i = 0; i < kUnitTypeCount; ++i) {
        const UnitMapping& row = kUnitMappings[i];
        if (i >= 1 && i <= 82) {
            ASSERT_NE(row.legacyKey, nullptr) << row.name;
            EXPECT_EQ(std::string(row.legacyKey), std::string("_FUNC_") + row.name);
        } else {
            EXPECT_EQ(row.legacyKey, nullptr) << row.name;
        }
    }
    EXPECT_STREQ(kUnitMappings[9].legacyKey, "_FUNC_COM1_ACTIVE");
}

TEST(CatalogueTest, EnumeratorsKeepTheirFixedNumbers) {
    // Boundaries of every group and the numbered series.
    EXPECT_EQ(NADA, 0);
    EXPECT_EQ(XPDR_DIGIT_4, 32);
    EXPECT_EQ(NAV2_ACTIVE_FINE, 57);
    EXPECT_EQ(NAV2_ACTIVE_COARSE, 58);
    EXPECT_EQ(RMI_SELECTOR, 82);
    EXPECT_EQ(MAX_AVIONIC, 83);
    EXPECT_EQ(FUNC_INST, 85);
    EXPECT_EQ(AP_RIGHT_FLIGHT_DIR, 112);
    EXPECT_EQ(EFIS_ADF_SEL2, 136);
    EXPECT_EQ(XPDR_STBY, 155);
    EXPECT_EQ(LANDING_LIGHTS_SWITCH_ALL, 187);
    EXPECT_EQ(LANDING_LIGHTS_SWITCH01, 188);
    EXPECT_EQ(LANDING_LIGHTS_SWITCH16, 203);
    EXPECT_EQ(DME_FLIP, 243);
    EXPECT_EQ(ENG_1_FUEL_RUN_CUTOFF, 244);
    EXPECT_EQ(ENG_ALL_START, 261);
    EXPECT_EQ(ENG_5_INVERTER, 293);
    EXPECT_EQ(SYS_ALL_BATTERY, 387);
    EXPECT_EQ(ENG_ALL_MAGNETO_OFF, 423);
    EXPECT_EQ(AUTO_BRAKE, 439);
    EXPECT_EQ(AP_STATE_VNAV_ENGAGED, 458);
    EXPECT_EQ(ANP_ENGN4_STARTER_ENERGISED, 539);
    EXPECT_EQ(ANP_INVERTER_2_OFF, 561);
    EXPECT_EQ(ANP_ENGN4_ICE_VANE_EXTENDED, 593);
    EXPECT_EQ(ANP_FUEL_TANK9_TRANSFER, 602);
    EXPECT_EQ(ANP_AFTERBURNERS_ON, 610);
    EXPECT_EQ(MAX_SUBSYSTEM, 611);
    EXPECT_EQ(FLAPS, 612);
    EXPECT_EQ(ENG_ALL_THROTTLE, 621);
    EXPECT_EQ(ENG_ALL_PROP_PITCH, 639);
}

TEST(CatalogueTest, LookupIsExactAndCaseSensitive) {
    EXPECT_EQ(of_switch_table("COM1_ACTIVE"), 9);
    EXPECT_EQ(of_switch_table("com1_active"), NADA);
    EXPECT_EQ(of_switch_table("COM1_ACTIVE "), NADA);
    EXPECT_EQ(of_switch_table("NADA"), NADA);
    EXPECT_EQ(of_switch_table(""), NADA);
    EXPECT_EQ(of_switch_table(nullptr), NADA);
    EXPECT_EQ(of_switch_table("MAX_AVIONIC"), 83);
    EXPECT_EQ(of_switch_table("MAX_SUBSYSTEM"), 611);
    EXPECT_EQ(of_switch_table("FLAPS"), 612);
    EXPECT_EQ(of_switch_table("ENG_ALL_PROP_PITCH"), 639);
    EXPECT_EQ(of_switch_table("NAV2_ACTIVE_FINE"), 57);
    EXPECT_EQ(of_switch_table("NAV2_ACTIVE_COARSE"), 58);
    // A legacy key only counts for value functions: switch names never match inside a text.
    EXPECT_EQ(of_switch_table("QDPBX_1_FUNC_LANDING_GEAR"), NADA);
}

TEST(CatalogueTest, LegacyValuesResolveToTheEarliestMatchingRow) {
    char value[64];
    snprintf(value, sizeof value, "QDAVX_%d_FUNC_NAV1_STANDBY", 2);
    EXPECT_EQ(of_switch_table(value), NAV1_STANDBY);
    snprintf(value, sizeof value, "QDRSX_%d_FUNC_COM1_DUAL", 1);
    EXPECT_EQ(of_switch_table(value), COM1_DUAL);
    // The key of row 9 is contained in the coarse form's value, and the lower row wins.
    EXPECT_EQ(of_switch_table("QDRSX_1_FUNC_COM1_ACTIVE_COARSE"), COM1_ACTIVE);

    // Every legacy value resolves to its own row or to an earlier row whose name begins it.
    for (int i = 1; i <= 82; ++i) {
        const std::string name = kUnitMappings[i].name;
        const int got = of_switch_table(("QDAVY_3_FUNC_" + name).c_str());
        ASSERT_GE(got, 1) << name;
        ASSERT_LE(got, i) << name;
        EXPECT_EQ(name.rfind(kUnitMappings[got].name, 0), 0u)
            << name << " resolved to " << kUnitMappings[got].name;
    }
}

TEST(CatalogueTest, RangesTellValuesSwitchesAndLevers) {
    EXPECT_FALSE(IsValueFunction(NADA));
    EXPECT_TRUE(IsValueFunction(ADF1_ACTIVE));
    EXPECT_TRUE(IsValueFunction(RMI_SELECTOR));
    EXPECT_FALSE(IsValueFunction(MAX_AVIONIC));
    EXPECT_FALSE(IsSwitchFunction(MAX_AVIONIC));
    EXPECT_TRUE(IsSwitchFunction(AP_NAV2_HOLD));
    EXPECT_TRUE(IsSwitchFunction(ANP_AFTERBURNERS_ON));
    EXPECT_FALSE(IsSwitchFunction(MAX_SUBSYSTEM));
    EXPECT_FALSE(IsLeverFunction(MAX_SUBSYSTEM));
    EXPECT_TRUE(IsLeverFunction(FLAPS));
    EXPECT_TRUE(IsLeverFunction(ENG_ALL_PROP_PITCH));
    EXPECT_FALSE(IsLeverFunction(kUnitTypeCount));
}

} // namespace
