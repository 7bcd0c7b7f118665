// The value lists that an avionics page steps through: the instrument list and the
// autopilot list, shared by every unit that shows them.
#pragma once

#include "simlink/catalogue.h"

class Avionic;

// A list of up to six values that one avionics page steps through.
class QD_FUNC {
  public:
    static constexpr int kMaxValues = 6;

    // Binds the values of FUNC_INST or FUNC_AP; any other function binds nothing.
    void Register(E_UnitType listFunction);

    Avionic* values[kMaxValues] = {};
    E_UnitType function = NADA;
    int index = 0;
};

// Shared by every unit that shows the instrument list or the autopilot list.
extern QD_FUNC qd_inst;
extern QD_FUNC qd_ap;
