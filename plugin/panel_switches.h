// "tamsworth/drav/apx_disabled" and "tamsworth/drav/ndc_disabled": switches through
// which another plug-in takes the QD-APX / QD-NDC panels away from us.
#pragma once

void DRAV_RegisterPanelSwitches();
void DRAV_UnregisterPanelSwitches();

int GetAPXDisabledCallback(void* ref);
void SetAPXDisabledCallback(void* ref, int value);
int GetNDCDisabledCallback(void* ref);
void SetNDCDisabledCallback(void* ref, int value);
