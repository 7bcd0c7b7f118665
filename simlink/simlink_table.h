// The function binding table: turns a catalogue function into a live binding for one control.
#pragma once

#include "catalogue.h"

class Avionic;
class Fly_subsystem;

// Binds `function` for one control. A value function stores its Avionic in *place; a switch
// function configures `binding`. A value function bound without a place (place == nullptr)
// becomes a module-function binding that makes the target avionics unit (targetUnit index,
// targetKind 0 QD-AVX, 1 QD-AVY, 2 QD-RSX) show it. The x737 column applies while
// g_Enable_x737_Support is non-zero at the time of the call.
void of_SimLink(E_UnitType function, Avionic** place, Fly_subsystem& binding, int targetUnit, int targetKind);
