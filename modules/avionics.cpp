#include "modules/avionics.h"

#include <cstdio>
#include <cstring>

#include "core/hot_path.h"
#include "core/log.h"
#include "devlib/include/qddev.h"
#include "modules/avionics_util.h"
#include "simlink/avionic.h"
#include "simlink/custom_datarefs.h"
#include "simlink/sim_watch.h"
#include "simlink/value_lists.h"

using namespace drav_modutil;

namespace {

bool IsPageStep(E_UnitType f) {
    return f == PREV || f == NEXT;
}

// The standby value shown on the right display of a dual page; NADA for a simple page.
E_UnitType StandbyOf(E_UnitType dual) {
    switch (dual) {
    case ADF1_DUAL:
        return ADF1_STANDBY;
    case ADF2_DUAL:
        return ADF2_STANDBY;
    case COM1_DUAL:
        return COM1_STANDBY;
    case COM2_DUAL:
        return COM2_STANDBY;
    case DME_DUAL:
        return DME_STANDBY;
    case NAV1_DUAL:
        return NAV1_STANDBY;
    case NAV2_DUAL:
        return NAV2_STANDBY;
    default:
        return NADA;
    }
}

// Radio letter (and whether a point follows it) that the left display of a dual page shows in
// front of the active value, by the value's label.
bool DualPrefix(const char* label, char* letter, bool* point) {
    struct Prefix {
        const char* label;
        char letter;
        bool point;
    };
    static constexpr Prefix kPrefixes[] = {
        {"NV1D", 'M', true}, {"NV2D", 'M', false}, {"CM1D", 'C', true},  {"CM2D", 'C', false},
        {"AD1D", 'A', true}, {"AD2D", 'A', false}, {"DMED", 'y', false},
    };
    for (const Prefix& p : kPrefixes) {
        if (std::strcmp(label, p.label) == 0) {
            *letter = p.letter;
            *point = p.point;
            return true;
        }
    }
    return false;
}

constexpr int kListItems = 6;
// Positions of each QD-RSX display.
constexpr int kRsxWidth = 6;
constexpr float kLetterSeconds = 1.0f;

// An 8.33 kHz COM value has six digits; where they do not fit beside what a display puts in
// front of them, the front goes first.
bool Wide833(const Avionic* value, const char* text, int width) {
    return value->displayType == EDisplayType::DISP_FREQ_833 && SegmentPositions(text) > width;
}

} // namespace

bool DRAV_StepPage(const E_UnitType (&functions)[QD_Abstract_AvionicDevice::kPositions], int& current,
                   bool forward) {
    constexpr int n = QD_Abstract_AvionicDevice::kPositions;
    if (current < 0 || current >= n || functions[current] == NADA) return false;
    for (int step = 1; step <= n; ++step) {
        const int i = forward ? (current + step) % n : ((current - step) % n + n) % n;
        if (functions[i] != NADA && !IsPageStep(functions[i])) {
            current = i;
            return true;
        }
    }
    return false;
}

// ---------------------------------------------------------------------------------------------
// QD-AVX and QD-AVY

Avionic* QDAlphaNumeric_Module::ShownValue() const {
    if (mode != MODE_LIST) return single;
    if (list == nullptr) return nullptr;
    // Every unit showing the list steps the same index.
    const int index = DRAV_ReadWatched(list->index);
    if (index < 0 || index >= kListItems) return nullptr;
    return list->values[index];
}

DRAV_HOT E_UnitType QDAlphaNumeric_Module::GetAvionicType() {
    if (mode == MODE_LIST) return list != nullptr ? list->function : NADA;
    return single != nullptr ? single->GetUnitType() : NADA;
}

void QDAlphaNumeric_Module::AssignAvionic(E_UnitType function) {
    MarkStale(); // a new value to read, whoever asked for it
    if (IsPageStep(function)) {
        if (DRAV_StepPage(functions, current, function == NEXT)) {
            AssignAvionic(functions[current]);
            SetDisplay();
        }
        return;
    }
    if (function == FUNC_INST || function == FUNC_AP) {
        mode = MODE_LIST;
        list = function == FUNC_INST ? &qd_inst : &qd_ap;
        list->Register(function);
        return;
    }
    mode = MODE_SINGLE;
    list = nullptr;
    single = nullptr;
    BindAvionic(&single, function);
}

void QDAlphaNumeric_Module::AssignFunction(char, E_UnitType function, int, int) {
    AssignAvionic(function);
}

E_UnitType QDAlphaNumeric_Module::GetFunction(char) {
    return GetAvionicType();
}

DRAV_HOT void QDAlphaNumeric_Module::HandleInput(int control, int value) {
    if (DRAV_DebugHandleInput()) {
        if (HwType() == 1)
            DRAV_WriteToLogf("QDAVX_Module::HandleInput - Button = %d, Value= %d", control, value);
        else
            DRAV_WriteToLogf("QDAVY_Module::HandleInput -  Button = %d, Value = %d", control, value);
    }
    if (mode == MODE_LIST ? list == nullptr : single == nullptr) return;
    const short steps = static_cast<short>(value);
    switch (control) {
    case 0:
        if (mode == MODE_LIST) {
            int index = list->index + value;
            if (index < 0) index = 0;
            if (index > kListItems - 1) index = kListItems - 1;
            // The autopilot list binds five items; the index never rests on an empty one.
            while (index > 0 && list->values[index] == nullptr)
                --index;
            list->index = index;
            if (Avionic* item = list->values[index]) item->GetFly();
        } else {
            single->Tune(steps, 0, HwType());
        }
        break;
    case 1:
        if (Avionic* shown = ShownValue()) shown->Tune(0, steps, HwType());
        break;
    default:
        break;
    }
}

void QDAlphaNumeric_Module::NextPageButton() {
    if (mode == MODE_LIST ? list == nullptr : single == nullptr) return;
    if (current < 0 || current >= kPositions || functions[current] == NADA) return;
    const E_UnitType left_page = functions[current];
    int next = current;
    for (int step = 1; step <= kPositions; ++step) {
        const int i = (current + step) % kPositions;
        if (functions[i] != NADA) {
            next = i;
            break;
        }
    }
    current = next;
    if (functions[current] != left_page) {
        AssignAvionic(functions[current]);
        SetDisplay();
    }
}

DRAV_HOT void QDAlphaNumeric_Module::Refresh() {
    Avionic* shown = ShownValue();
    if (shown == nullptr || shown->GetUnitType() == NADA) return;
    shown->GetFly();
    SetDisplay();
}

void QDAlphaNumeric_Module::SendBlanks(bool only_if_changed) {
    char alpha[kKeptSize];
    char numeric[kKeptSize];
    DRAV_BlankText(alpha, sizeof alpha, 4);
    DRAV_BlankText(numeric, sizeof numeric, NumericWidth());
    // The kept copies then hold the blanks: a unit already dark is not sent them again, and any
    // real text differs from them once power returns.
    if (DRAV_TextChanged(lastAlpha, alpha) || !only_if_changed) SendAlpha(alpha);
    if (DRAV_TextChanged(lastNumeric, numeric) || !only_if_changed) SendNumeric(numeric);
}

DRAV_HOT void QDAlphaNumeric_Module::SetDisplay() {
    if (!avionics_ok(true)) {
        SendBlanks(true);
        return;
    }
    Avionic* shown = ShownValue();
    if (shown == nullptr) return;
    const bool listed = mode == MODE_LIST;
    if (DRAV_TextChanged(lastAlpha, shown->label)) {
        SendAlpha(shown->label);
        if (DRAV_DebugSetDisplay())
            DRAV_WriteToLogf(listed ? "%s::SetDisplay -  char_display = %s"
                                    : "%s::SetDisplay -  Alpha Display = %s",
                             ClassName(), shown->label);
    }
    char numeric[kKeptSize];
    if (!listed && PadTransponder() && shown->GetUnitType() == XPDR) {
        DRAV_JoinText(numeric, sizeof numeric, " ", shown->text);
    } else {
        // Every COM frequency starts with 1: a display one digit short leaves it out (18.005).
        const char* from = shown->text;
        while (*from != '\0' && Wide833(shown, from, NumericWidth()))
            ++from;
        DRAV_JoinText(numeric, sizeof numeric, "", from);
    }
    if (DRAV_TextChanged(lastNumeric, numeric)) {
        SendNumeric(numeric);
        if (DRAV_DebugSetDisplay())
            DRAV_WriteToLogf(listed ? "%s::SetDisplay -  char_freqval = %s"
                                    : "%s::SetDisplay -  Freq Display = %s",
                             ClassName(), shown->text);
    }
}

void QDAlphaNumeric_Module::Clear() {
    SendBlanks(false);
    lastAlpha[0] = '\0';
    lastNumeric[0] = '\0';
}

int QDAVX_Module::GetButton(const void* data, int* value) {
    const auto* vals = static_cast<const QDAVXControlVals*>(data);
    if (DRAV_DebugGetButton())
        DRAV_WriteToLogf("QDAVX_Module::GetButton -  Dial 1 = %d, Dial 2 = %d", vals->enc1, vals->enc2);
    if (vals->enc1 != 0 && FirstInReport(0)) {
        *value = vals->enc1;
        return 0;
    }
    if (vals->enc2 != 0 && FirstInReport(1)) {
        *value = vals->enc2;
        return 1;
    }
    return -1;
}

void QDAVX_Module::SendAlpha(const char* text) {
    QDAVX_SetAlpha(unit, text);
}
void QDAVX_Module::SendNumeric(const char* text) {
    QDAVX_SetNumeric(unit, text);
}

int QDAVY_Module::GetButton(const void* data, int* value) {
    const auto* vals = static_cast<const QDAVYControlVals*>(data);
    if (DRAV_DebugGetButton())
        DRAV_WriteToLogf("QDAVY_Module::GetButton -  Dial 1 = %d, Dial 2 = %d", vals->enc1, vals->enc2);
    // The button first: a press must not wait for a drain that a single call would not do.
    if (vals->button != lastButton) {
        lastButton = vals->button;
        if (DRAV_DebugGetButton()) DRAV_LogControlState("QDAVY_Module::GetButton - BtnState", lastButton);
        *value = lastButton != 0 ? 1 : 0;
        return 2;
    }
    if (vals->enc2 != 0 && FirstInReport(1)) {
        *value = vals->enc2;
        return 1;
    }
    if (vals->enc1 != 0 && FirstInReport(0)) {
        *value = vals->enc1;
        return 0;
    }
    return -1;
}

DRAV_HOT void QDAVY_Module::HandleInput(int control, int value) {
    if (control != 2) {
        QDAlphaNumeric_Module::HandleInput(control, value);
        return;
    }
    if (DRAV_DebugHandleInput())
        DRAV_WriteToLogf("QDAVY_Module::HandleInput -  Button = %d, Value = %d", control, value);
    if (value == 1) NextPageButton();
}

void QDAVY_Module::SendAlpha(const char* text) {
    QDAVY_SetAlpha(unit, text);
}
void QDAVY_Module::SendNumeric(const char* text) {
    QDAVY_SetNumeric(unit, text);
}

// ---------------------------------------------------------------------------------------------
// QD-RSX

DRAV_HOT E_UnitType QDRSX_Module::GetAvionicType() {
    return left != nullptr ? left->GetUnitType() : NADA;
}

void QDRSX_Module::AssignAvionic(E_UnitType function) {
    MarkStale(); // a new value to read, whoever asked for it
    if (IsPageStep(function)) {
        // Page steps have no value of their own: binding one would relabel the shared COM1 dual
        // value that other units may be showing.
        if (DRAV_StepPage(functions, current, function == NEXT)) {
            AssignAvionic(functions[current]);
            SetDisplay();
        }
        return;
    }
    left = nullptr;
    BindAvionic(&left, function);
    pageShownAt = DRAV_ReadElapsedTime();
    right = nullptr;
    const E_UnitType standby = StandbyOf(function);
    if (standby != NADA) BindAvionic(&right, standby);
}

void QDRSX_Module::AssignFunction(char key, E_UnitType function, int targetUnit, int targetKind) {
    if (key == 'L' || key == 'R') {
        BindSwitch(binding[key == 'L' ? 1 : 2], function, targetUnit, targetKind);
    } else if (key == 'M') {
        AssignAvionic(function);
    } else if (key >= '1' && key <= '8') {
        functions[key - '1'] = function;
    }
}

E_UnitType QDRSX_Module::GetFunction(char key) {
    if (key == 'L') return binding[1].GetUnitType();
    if (key == 'R') return binding[2].GetUnitType();
    if (key == 'M') return GetAvionicType();
    if (key >= '1' && key <= '8') return functions[key - '1'];
    return NADA;
}

void QDRSX_Module::Register(unsigned short unit_index) {
    QD_Abstract_Module::Register(unit_index);
    short l = 0;
    short r = 0;
    unsigned char switches = 0;
    QDRSX_GetControlVals(unit, &l, &r, &switches);
    DRAV_StoreInputState([&] { lastButtons = switches & 0x07u; });
    if (DRAV_DebugRegister())
        DRAV_LogControlState("QDRSX_Module::Register - PrevSwitchVals", switches & 0x07u);
#ifndef __APPLE__
    if (g_RMKRSXEncoderType >= 0 && g_RMKRSXEncoderType <= 2) {
        const auto type = static_cast<unsigned char>(g_RMKRSXEncoderType);
        QDRSX_SetEncoderType(unit, type, type);
    }
#endif
}

int QDRSX_Module::GetButton(const void* data, int* value) {
    const auto* vals = static_cast<const QDRSXControlVals*>(data);
    if (DRAV_DebugGetButton())
        DRAV_WriteToLogf("QDRSX_Module::GetButton -  Dial 1 = %d, Dial 2 = %d", vals->left, vals->right);
    if (vals->left != 0 && FirstInReport(0)) {
        *value = vals->left;
        return 3;
    }
    if (vals->right != 0 && FirstInReport(1)) {
        *value = vals->right;
        return 4;
    }
    const auto now = static_cast<unsigned char>(vals->switches & 0x07u);
    const int bit = ScanBits<unsigned char>(now, &lastButtons, kButtons, value);
    if (bit >= 0 && DRAV_DebugGetButton()) DRAV_LogControlState("QDRSX_Module::GetButton - BtnState", now);
    return bit;
}

DRAV_HOT void QDRSX_Module::HandleInput(int control, int value) {
    if (DRAV_DebugHandleInput())
        DRAV_WriteToLogf("QDRSX_Module::HandleInput -  Button = %d, Value = %d", control, value);
    if (left == nullptr || control < 0 || control > 4) return;
    Avionic* tuned = right != nullptr ? right : left;
    switch (control) {
    case 0:
        if (value == 1 && right != nullptr) left->FlipFlop(right);
        break;
    case 1:
    case 2:
        binding[control].SetFly(value == 1 ? Fly_subsystem::ACTION_PRESS : Fly_subsystem::ACTION_RELEASE, 0,
                                0);
        break;
    case 3:
        tuned->Tune(static_cast<short>(value), 0, QDHW_RSX);
        break;
    case 4:
        tuned->Tune(0, static_cast<short>(value), QDHW_RSX);
        break;
    default:
        break;
    }
}

DRAV_HOT void QDRSX_Module::Refresh() {
    if (left == nullptr) return;
    if (left->GetUnitType() != NADA) left->GetFly();
    if (right != nullptr && right->GetUnitType() != NADA) right->GetFly();
    for (int i = 1; i < kButtons; ++i)
        if (binding[i].GetUnitType() != NADA) binding[i].GetFly();
    SetDisplay();
}

void QDRSX_Module::SendBlanks(bool only_if_changed) {
    static constexpr const char* kBlank = "      ";
    if (lastLamps != 0 || !only_if_changed) QDRSX_SetIndicators(unit, 0);
    lastLamps = 0;
    if (DRAV_TextChanged(lastLeft, kBlank) || !only_if_changed) QDRSX_SetLDisplayText(unit, kBlank);
    if (DRAV_TextChanged(lastRight, kBlank) || !only_if_changed) QDRSX_SetRDisplayText(unit, kBlank);
}

DRAV_HOT void QDRSX_Module::SetDisplay() {
    if (!avionics_ok(true)) {
        SendBlanks(true);
        return;
    }
    if (left == nullptr) return;
    char text[kKeptSize];
    if (right != nullptr) {
        if (std::strcmp(left->label, "PREV") == 0 || std::strcmp(left->label, "NEXT") == 0) return;
        char letter = ' ';
        bool point = false;
        if (DualPrefix(left->label, &letter, &point)) {
            const char prefix[3] = {letter, point ? '.' : '\0', '\0'};
            DRAV_JoinText(text, sizeof text, prefix, left->text);
            if (Wide833(left, text, kRsxWidth)) {
                // No room for letter and frequency together: the letter names the radio for a
                // moment after a page change, then the frequency takes the whole display.
                if (DRAV_ReadElapsedTime() - pageShownAt < kLetterSeconds)
                    DRAV_JoinText(text, sizeof text, prefix, "");
                else
                    DRAV_JoinText(text, sizeof text, "", left->text);
            }
        } else {
            DRAV_JoinText(text, sizeof text, "", left->text);
        }
        if (DRAV_TextChanged(lastLeft, text)) {
            QDRSX_SetLDisplayText(unit, text);
            if (DRAV_DebugSetDisplay())
                DRAV_WriteToLogf("QDRSX_Module::SetDisplay -  Left Display = %s", text);
        }
        DRAV_JoinText(text, sizeof text, " ", right->text);
        if (Wide833(right, text, kRsxWidth)) DRAV_JoinText(text, sizeof text, "", right->text);
        if (DRAV_TextChanged(lastRight, text)) {
            QDRSX_SetRDisplayText(unit, text);
            if (DRAV_DebugSetDisplay())
                DRAV_WriteToLogf("QDRSX_Module::SetDisplay -  Right Display = %s", right->text);
        }
    } else {
        if (DRAV_TextChanged(lastLeft, left->label)) {
            QDRSX_SetLDisplayText(unit, left->label);
            if (DRAV_DebugSetDisplay())
                DRAV_WriteToLogf("QDRSX_Module::SetDisplay -  Left Display = %s", left->label);
        }
        DRAV_JoinText(text, sizeof text, std::strcmp(left->label, "XPDR") == 0 ? " " : "", left->text);
        if (DRAV_TextChanged(lastRight, text)) {
            QDRSX_SetRDisplayText(unit, text);
            if (DRAV_DebugSetDisplay())
                DRAV_WriteToLogf("QDRSX_Module::SetDisplay -  Right Display = %s", text);
        }
    }
    unsigned char lamps = 0;
    for (int i = 0; i < kButtons; ++i)
        if (binding[i].GetOnOff() == 1) lamps = static_cast<unsigned char>(lamps | (1u << i));
    if (lamps != lastLamps) {
        QDRSX_SetIndicators(unit, lamps);
        lastLamps = lamps;
        if (DRAV_DebugSetDisplay()) DRAV_LogControlState("QDRSX_Module::SetDisplay - Indicators", lamps);
    }
}

void QDRSX_Module::Clear() {
    SendBlanks(false);
    lastLeft[0] = '\0';
    lastRight[0] = '\0';
    lastLamps = 0;
}
