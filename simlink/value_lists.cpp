#include "value_lists.h"

#include "fly_subsystem.h"
#include "simlink_table.h"

QD_FUNC qd_inst;
QD_FUNC qd_ap;

void QD_FUNC::Register(E_UnitType listFunction) {
    function = listFunction;
    if (static_cast<unsigned>(index) >= static_cast<unsigned>(kMaxValues))
        index = (listFunction == FUNC_INST) ? 1 : 0;

    Fly_subsystem scratch;
    if (listFunction == FUNC_INST) {
        static constexpr E_UnitType kInstruments[kMaxValues] = {
            DISP_BRIGHTNESS, ALTIMETER, AP_HEADING_ADJ, OBS1, OBS2, ADF1_CARD};
        for (int i = 0; i < kMaxValues; ++i)
            of_SimLink(kInstruments[i], &values[i], scratch, -1, TARGET_QDRSX);
    } else if (listFunction == FUNC_AP) {
        // The sixth entry is left as it is.
        static constexpr E_UnitType kAutopilot[5] = {AP_NAV_COURSE_ADJ, AP_HEADING_ADJ, AP_SPEED_ADJ,
                                                     AP_ALTITUDE_ADJ, AP_VERT_SPEED_ADJ};
        for (int i = 0; i < 5; ++i)
            of_SimLink(kAutopilot[i], &values[i], scratch, -1, TARGET_QDRSX);
    }
}
