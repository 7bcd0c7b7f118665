// The function choice lists, item for item, and their bounds.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/globals.h"
#include "devlib/include/qddev.h"
#include "expected_lists.h"
#include "ui/function_lists.h"

namespace {

std::vector<std::string> Items(const std::string& list) {
    std::vector<std::string> out;
    size_t start = 0;
    for (size_t semi; (semi = list.find(';', start)) != std::string::npos; start = semi + 1)
        out.push_back(list.substr(start, semi - start));
    return out;
}

class ListsTest : public ::testing::Test {
  protected:
    void SetUp() override { g_Enable_x737_Support = 0; }
    void TearDown() override { g_Enable_x737_Support = 0; }
    char buf[kFunctionListSize];
};

TEST_F(ListsTest, FixedListsMatchItemForItem) {
    EXPECT_EQ(GetButtonFunctionListFor(buf, sizeof buf, 0, 0, 0),
              static_cast<int>(std::strlen(expected::kButton)));
    EXPECT_STREQ(buf, expected::kButton);
    GetToggleFunctionList(buf, sizeof buf);
    EXPECT_STREQ(buf, expected::kToggle);
    GetThrottleFunctionList(buf, sizeof buf);
    EXPECT_STREQ(buf, expected::kThrottle);
    GetANPFunctionList(buf, sizeof buf);
    EXPECT_STREQ(buf, expected::kANP);

    const std::pair<int, const char*> avionics[] = {
        {QDHW_AVX, expected::kAVX}, {QDHW_AVY, expected::kAVX},  {QDHW_RSX, expected::kRSX},
        {QDHW_APC, expected::kAPC}, {QDHW_APX, expected::kAPC},  {QDHW_NDC, expected::kAPC},
        {QDHW_KNB, expected::kKNB}, {QDHW_PBX, "No Selection;"}, {QDHW_THQ, "No Selection;"}};
    for (auto [type, list] : avionics) {
        GetAvionicFunctionList(type, buf, sizeof buf);
        EXPECT_STREQ(buf, list) << "type " << type;
    }
}

TEST_F(ListsTest, X737ItemsStandBetweenArtStabAndApMaster) {
    g_Enable_x737_Support = 1;
    GetButtonFunctionListFor(buf, sizeof buf, 0, 0, 0);
    EXPECT_STREQ(buf, expected::kButtonX737);
    EXPECT_NE(
        std::strstr(
            buf, "ART_STAB;AP_CMD_A;AP_CMD_B;AP_ALTINV;AP_SPDINV;AP_VORLOC;AP_RIGHT_FLIGHT_DIR;AP_MASTER;"),
        nullptr);
    GetToggleFunctionList(buf, sizeof buf);
    EXPECT_STREQ(buf, expected::kToggleX737);
    g_Enable_x737_Support = 0;
    GetButtonFunctionListFor(buf, sizeof buf, 0, 0, 0);
    EXPECT_NE(std::strstr(buf, ";ART_STAB;AP_MASTER;"), nullptr);
}

TEST_F(ListsTest, PerUnitItemsFollowTheFixedItems) {
    GetButtonFunctionListFor(buf, sizeof buf, 2, 0, 0);
    auto items = Items(buf);
    const auto fixed = Items(expected::kButton);
    ASSERT_EQ(items.size(), fixed.size() + 26);
    EXPECT_EQ(items[fixed.size()], "QDRSX_1_FUNC_COM1_DUAL");
    EXPECT_EQ(items[fixed.size() + 13], "QDRSX_2_FUNC_COM1_DUAL");
    EXPECT_EQ(items.back(), "QDRSX_2_FUNC_NEXT");

    GetButtonFunctionListFor(buf, sizeof buf, 1, 1, 2);
    items = Items(buf);
    ASSERT_EQ(items.size(), fixed.size() + 13 + 19 * 3);
    EXPECT_EQ(items[fixed.size() + 13], "QDAVX_1_FUNC_COM1_ACTIVE");
    EXPECT_EQ(items[fixed.size() + 13 + 19], "QDAVY_1_FUNC_COM1_ACTIVE");
    EXPECT_EQ(items.back(), "QDAVY_2_FUNC_NEXT");
}

TEST_F(ListsTest, BufferHoldsEveryListableUnitAndNeverCutsAnItem) {
    g_Enable_x737_Support = 1;
    const int len = GetButtonFunctionListFor(buf, sizeof buf, 20, 20, 20);
    EXPECT_LT(static_cast<size_t>(len), sizeof buf);
    EXPECT_EQ(Items(buf).back(), "QDAVY_20_FUNC_NEXT");
    // More units than the dialog can list stop at its bound instead of overrunning.
    GetButtonFunctionListFor(buf, sizeof buf, 100, 100, 100);
    EXPECT_EQ(Items(buf).back(), "QDRSX_60_FUNC_NEXT");

    char small[50];
    GetButtonFunctionListFor(small, sizeof small, 0, 0, 0);
    EXPECT_STREQ(small, "No Selection;ENG_1_FUEL_RUN_CUTOFF;ENG_1_START;");
    EXPECT_EQ(AppendListSel(small, sizeof small, "XX"), static_cast<int>(std::strlen(small)));
}

} // namespace
