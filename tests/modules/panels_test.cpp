// Control scans of the panel modules: which change is reported first, what is remembered, and
// the name tables of the settings file. Device library calls are inert here (not initialised).
#include <gtest/gtest.h>

#include <memory>

#include "devlib/include/qddev.h"
#include "modules/panels.h"

namespace {

TEST(PanelScan, TwoButtonsInOneReportAreReportedOneAfterTheOther) {
    QDPBX_Module pbx;
    QDPBXControlVals vals{0x05}; // buttons 1 and 3 pressed together
    int value = -7;
    EXPECT_EQ(pbx.GetButton(&vals, &value), 0);
    EXPECT_EQ(value, 1);
    EXPECT_EQ(pbx.GetButton(&vals, &value), 2) << "the other change keeps differing and comes next";
    EXPECT_EQ(value, 1);
    EXPECT_EQ(pbx.GetButton(&vals, &value), -1);

    vals.switches = 0x01;
    EXPECT_EQ(pbx.GetButton(&vals, &value), 2);
    EXPECT_EQ(value, 0);
}

TEST(PanelScan, AnnunciatorScansOnlyItsSixButtons) {
    QDANP_Module anp;
    QDANPControlVals vals{0xC0};
    int value = 0;
    EXPECT_EQ(anp.GetButton(&vals, &value), -1);
    vals.buttons = 0xE0;
    EXPECT_EQ(anp.GetButton(&vals, &value), 5);
}

TEST(PanelScan, KnobReportsEncodersBeforeButtonsAndDoesNotStoreThem) {
    QDKNB_Module knb;
    QDKNBControlVals vals{};
    vals.enc[1] = -3;
    vals.enc[3] = 2;
    vals.switches = 0x80;
    int value = 0;
    EXPECT_EQ(knb.GetButton(&vals, &value), 9);
    EXPECT_EQ(value, -3);
    // Counts come fresh with every report; the same record reports the same encoder again.
    EXPECT_EQ(knb.GetButton(&vals, &value), 9);

    vals.enc[1] = 0;
    vals.enc[3] = 0;
    EXPECT_EQ(knb.GetButton(&vals, &value), 7);
    EXPECT_EQ(value, 1);
    EXPECT_EQ(knb.GetButton(&vals, &value), -1);
}

TEST(PanelScan, InputBoardSelectorsReportClosingsOnly) {
    auto iob = std::make_unique<QDIOB_Module>();
    iob->SetSwitchType(2, QDIOB_Module::SELECTOR); // input 3
    iob->SetSwitchType(3, QDIOB_Module::SELECTOR); // input 4
    iob->lastInputs = 0x04;                        // selector at input 3

    QDIOBControlVals vals{};
    vals.inputs[0] = 0x08; // moved to input 4 in one report
    int value = -1;
    EXPECT_EQ(iob->GetInputButton(&vals, &value), 3);
    EXPECT_EQ(value, 0);
    EXPECT_EQ(iob->GetInputButton(&vals, &value), -1);
    EXPECT_EQ(iob->lastInputs, 0x08u);

    // Break-before-make: the opening alone reports nothing, the next closing does, and coming
    // back to the same position is a closing again.
    vals.inputs[0] = 0x00;
    EXPECT_EQ(iob->GetInputButton(&vals, &value), -1);
    vals.inputs[0] = 0x08;
    EXPECT_EQ(iob->GetInputButton(&vals, &value), 3);
}

TEST(PanelScan, InputBoardReportsEveryChangedInputInOrder) {
    auto iob = std::make_unique<QDIOB_Module>();
    QDIOBControlVals vals{};
    vals.inputs[0] = 0x01; // input 1
    vals.inputs[6] = 0x80; // input 56
    int value = 0;
    EXPECT_EQ(iob->GetInputButton(&vals, &value), 0);
    EXPECT_EQ(value, 1);
    EXPECT_EQ(iob->lastInputs, 1u);
    value = 0;
    EXPECT_EQ(iob->GetInputButton(&vals, &value), 55);
    EXPECT_EQ(value, 1);
    EXPECT_EQ(iob->lastInputs, (uint64_t{1} << 55) | 1u);
    EXPECT_EQ(iob->GetInputButton(&vals, &value), -1);

    vals.inputs[6] = 0x00;
    EXPECT_EQ(iob->GetButton(&vals, &value), 55) << "the generic scan answers like the board's own";
    EXPECT_EQ(value, 0);
}

TEST(PanelKeys, UnknownKeysAndNumbersAreIgnored) {
    QDPBX_Module pbx;
    EXPECT_EQ(pbx.GetFunction('9'), NADA);
    EXPECT_EQ(pbx.GetFunction('A'), NADA);
    pbx.HandleInput(8, 1); // no such button: nothing happens
    pbx.HandleInput(-1, 1);

    QDKNB_Module knb;
    EXPECT_EQ(knb.GetFunction('E'), NADA);
    EXPECT_EQ(knb.GetFunction('A'), NADA) << "an unassigned encoder";
    knb.HandleInput(11, 4); // unassigned encoder D

    auto iob = std::make_unique<QDIOB_Module>();
    EXPECT_EQ(iob->GetInputFunction("57"), NADA);
    EXPECT_EQ(iob->GetOutputFunction("33"), NADA);
    EXPECT_EQ(iob->GetOutputFunction("00"), NADA);
    iob->AssignInputFunction("57", BEACON_LTS, -1, -1);
    iob->SetSwitchType(56, QDIOB_Module::SELECTOR);
    iob->SetSwitchType(0, 9);
    EXPECT_EQ(iob->switchTypes[0], QDIOB_Module::BUTTON);
    iob->HandleInput(56, 1);
}

TEST(PanelNames, ColoursAndInputTypesMatchExactly) {
    EXPECT_EQ(ColourNameToValue("BLACK"), 0);
    EXPECT_EQ(ColourNameToValue("RED"), 2);
    EXPECT_EQ(ColourNameToValue("CYAN"), 7);
    EXPECT_EQ(ColourNameToValue("red"), 0);
    EXPECT_EQ(ColourNameToValue(""), 0);
    EXPECT_EQ(ColourNameToValue(nullptr), 0);
    EXPECT_EQ(QDIOB_Module::SwitchTypeNameToValue("SELECTOR"), 3);
    EXPECT_EQ(QDIOB_Module::SwitchTypeNameToValue("SWITCH3WAY"), 2);
    EXPECT_EQ(QDIOB_Module::SwitchTypeNameToValue("0"), 0);
}

} // namespace
