// Display brightness through the device library. Header-only so that the simulator link does
// not depend on the device library: whoever links both (the unit registry) installs it with
//   static DevlibBrightnessPort port;  DRAV_SetBrightnessPort(&port);
#pragma once

#include "devlib/include/qddev.h"
#include "simlink/avionic.h"
#include "unit_registry.h"

class DevlibBrightnessPort : public AvionicBrightnessPort {
  public:
    int UnitCount(int hw_type) override { return DRAV_DeviceLibraryCount(hw_type); }

    bool GetBrightness(int hw_type, int unit, unsigned int* level) override {
        switch (hw_type) {
        case QDHW_AVY:
            return QDAVY_GetBrightness(unit, level) == 0;
        case QDHW_PBX:
            return QDPBX_GetBrightness(unit, level) == 0;
        case QDHW_TGX:
            return QDTGX_GetBrightness(unit, level) == 0;
        case QDHW_GTP:
            return QDGTP_GetBrightness(unit, level) == 0;
        case QDHW_GTP2:
            return QDGTP2_GetBrightness(unit, level) == 0;
        case QDHW_RSX:
            return QDRSX_GetBrightness(unit, level) == 0;
        case QDHW_APC:
            return QDAPC_GetBrightness(unit, level) == 0;
        case QDHW_APX:
            return QDAPX_GetBrightness(unit, level) == 0;
        case QDHW_KNB:
            return QDKNB_GetBrightness(unit, level) == 0;
        case QDHW_ANP:
            return QDANP_GetBrightness(unit, level) == 0;
        default:
            return false; // a QD-AVX cannot tell its level
        }
    }

    void SetBrightness(int hw_type, int unit, int level) override {
        const unsigned char byte_level = static_cast<unsigned char>(level < 0 ? 0 : level > 15 ? 15 : level);
        switch (hw_type) {
        case QDHW_AVX:
            QDAVX_SetBrightness(unit, level);
            break;
        case QDHW_AVY:
            QDAVY_SetBrightness(unit, level);
            break;
        case QDHW_PBX:
            QDPBX_SetBrightness(unit, byte_level);
            break;
        case QDHW_TGX:
            QDTGX_SetBrightness(unit, byte_level);
            break;
        case QDHW_GTP:
            QDGTP_SetBrightness(unit, byte_level);
            break;
        case QDHW_GTP2:
            QDGTP2_SetBrightness(unit, byte_level);
            break;
        case QDHW_RSX:
            QDRSX_SetBrightness(unit, byte_level);
            break;
        case QDHW_APC:
            QDAPC_SetBrightness(unit, byte_level);
            break;
        case QDHW_APX:
            QDAPX_SetBrightness(unit, byte_level);
            break;
        case QDHW_KNB:
            QDKNB_SetBrightness(unit, byte_level);
            break;
        case QDHW_ANP:
            QDANP_SetBrightness(unit, byte_level);
            break;
        default:
            break;
        }
    }
};
