/* The device library's call interface: start and stop, device information, callbacks, and one
 * family of functions per hardware model. Plain C types only, so that C and C++ clients can use it.
 *
 * Units are addressed by (device type, unit index). The index is the unit's 0-based slot within its
 * model and stays the same while the library runs. Every function is callable from any thread.
 * Unless stated otherwise a function returns a result code (QDDEV_OK on success).
 */
#ifndef QDDEV_H
#define QDDEV_H

#include <stdint.h>
#ifndef __cplusplus
#include <stdbool.h>
#endif

#ifdef __cplusplus
extern "C" {
#define QDDEV_DEFAULT_NULL = nullptr
#else
#define QDDEV_DEFAULT_NULL
#endif

/* ---- USB identifiers ------------------------------------------------------------------------- */

#define QDDEV_VENDOR_ID 0x3A5Cu
/* Each model's product ID is 0x0100 plus its device type number. */
#define QDDEV_PRODUCT_ID(type) ((uint16_t)(0x0100u + (unsigned)(type)))

/* ---- Result codes ---------------------------------------------------------------------------- */

#define QDDEV_OK 0u
#define QDDEV_ERR_NO_UNIT 1u        /* no unit of this model at this index */
#define QDDEV_ERR_NO_MEMORY 2u      /* a report could not be built */
#define QDDEV_ERR_NOT_CONNECTED 3u  /* the unit is gone, or the transfer failed */
#define QDDEV_ERR_NOT_QUEUED 4u     /* the report could not be queued for sending */
#define QDDEV_ERR_READ_FAILED 5u    /* a feature report could not be read */
#define QDDEV_ERR_NO_HID_SERVICE 9u /* QDDev_Init only */
#define QDDEV_ERR_BAD_ARGUMENT 11u  /* null pointer, or indicator number out of range */
#define QDDEV_ERR_NOT_INITIALISED 12u

/* ---- Device types ---------------------------------------------------------------------------- */

/* Fixed numbers: they are stored in settings section names and in the plug-in's input queue. */
typedef enum tagQDDevHWType {
    QDHW_None = 0,
    QDHW_AVX = 1,
    QDHW_PBX = 2,
    QDHW_TGX = 3,
    QDHW_GTP = 4,
    QDHW_RSX = 5,
    QDHW_APC = 6,
    QDHW_KNB = 7,
    QDHW_AVY = 8,
    QDHW_THQ = 9,
    QDHW_TXP = 10, /* recognised, no support */
    QDHW_GTP2 = 11,
    QDHW_APX = 12,
    QDHW_NDC = 13,
    QDHW_ECP = 14,
    QDHW_CDU = 15, /* recognised, no support */
    QDHW_PWR = 16, /* recognised, no support */
    QDHW_SSM = 17,
    QDHW_ANP = 18,
    QDHW_IOB = 19
} tagQDDevHWType;

/* Type numbers at or above this are invalid everywhere. */
#define QDDEV_TYPE_LIMIT 20

/* The model's short text ("QDAVX", ..., "NONE" for 0); "" for an invalid number. */
const char* QDHWType2Text(tagQDDevHWType type);

/* Passed to the connect callback. */
typedef enum tagEventToken {
    QDEVT_Attached = 1, /* the unit's device object now exists */
    QDEVT_Removed = 2   /* reported just before the device object goes away */
} tagEventToken;

/* ---- Device information ---------------------------------------------------------------------- */

typedef struct tagQDDevInfo {
    char location[512]; /* zero-terminated place of the unit on the bus */
    uint16_t version;   /* firmware version (USB device release number) */
} QDDevInfo;

#pragma pack(push, 1)

#define QDDEV_INFO_EX_SIZE 331
typedef struct tagQDDevInfoEx {
    uint16_t size; /* the caller sets QDDEV_INFO_EX_SIZE before the call */
    char path[260];
    uint16_t version;
    char serial[65];
    uint16_t output_report_len;
} QDDevInfoEx;

/* ---- Control-value records (handed to the input callback) ------------------------------------ */
/* Encoders are signed step counts accumulated since they were last reset. Little-endian, packed. */

typedef struct tagQDAVXControlVals {
    int16_t enc1, enc2;
} QDAVXControlVals;

typedef struct tagQDAVYControlVals {
    int16_t enc1, enc2;
    uint8_t button; /* nonzero = pressed */
} QDAVYControlVals;

typedef struct tagQDRSXControlVals {
    int16_t left, right;
    uint8_t switches;
} QDRSXControlVals;

typedef struct tagQDPBXControlVals {
    uint8_t switches; /* bit n = switch n+1 */
} QDPBXControlVals;
typedef QDPBXControlVals QDTGXControlVals;

typedef struct tagQDKNBControlVals {
    int16_t enc[4];
    uint8_t switches;
} QDKNBControlVals;

typedef struct tagQDGTPControlVals {
    int16_t trim;
    uint8_t switches;
} QDGTPControlVals;

typedef struct tagQDGTP2ControlVals {
    int16_t enc[3];
    uint8_t switches;
} QDGTP2ControlVals;

typedef struct tagQDAPCControlVals {
    int16_t enc[5];
    uint8_t switches1, switches2;
} QDAPCControlVals;

typedef struct tagQDAPXControlVals {
    int16_t enc[6];
    uint32_t switches;
} QDAPXControlVals;

typedef struct tagQDTHQControlVals {
    uint8_t lever[6]; /* 0 to 255 */
    uint8_t switches;
} QDTHQControlVals;

typedef struct tagQDNDCControlVals {
    int16_t enc1, enc2;
    uint16_t switches;
    uint8_t selectors;
} QDNDCControlVals;

typedef struct tagQDECPControlVals {
    uint8_t position; /* 1 to 5 */
    uint8_t a;
    uint8_t b; /* 0, 1 or 2 */
    uint8_t c;
    uint16_t switches;
} QDECPControlVals;

typedef struct tagQDSSMControlVals {
    uint8_t sel1; /* 1 to 4 */
    uint8_t sel2; /* 0 to 3 */
    uint8_t sel3; /* 1 to 4 */
} QDSSMControlVals;

typedef struct tagQDANPControlVals {
    uint8_t buttons;
} QDANPControlVals;

typedef struct tagQDIOBControlVals {
    uint8_t inputs[7];
} QDIOBControlVals;

#pragma pack(pop)

/* ---- Callbacks -------------------------------------------------------------------------------- */

/* Once per input report of a unit, on a library thread. data points to the model's control-value
 * record and is valid only during the call. Returning true resets the unit's encoder counts. */
typedef bool (*QDDevInputCallback)(tagQDDevHWType type, uint16_t index, const void* data);
/* After a unit's device object was created (QDEVT_Attached) and before a removed unit's object is
 * destroyed (QDEVT_Removed), on the notification thread. */
typedef bool (*QDDevConnectCallback)(tagQDDevHWType type, uint16_t index, tagEventToken token);
/* Every 5 seconds on the notification thread while the library runs. */
typedef bool (*QDDevWakeupCallback)(void);

/* ---- Global functions ------------------------------------------------------------------------- */

/* platform_handle is only for platforms whose device notifications need one; may be null. */
uint32_t QDDev_Init(void* platform_handle QDDEV_DEFAULT_NULL);
uint32_t QDDev_Terminate(void);
uint32_t QDDev_GetDeviceInfo(tagQDDevHWType type, uint16_t index, QDDevInfo* info);
uint32_t QDDev_GetDeviceInfoEx(tagQDDevHWType type, uint16_t index, QDDevInfoEx* info);

/* Register: 1 if stored, 0 if the pointer is null (the previous one stays).
 * Unregister: 1 if one was registered. Never runs a callback after its unregister call returned. */
uint32_t QDDev_RegisterInputCallback(QDDevInputCallback cb);
uint32_t QDDev_UnregisterInputCallback(void);
uint32_t QDDev_RegisterConnectCallback(QDDevConnectCallback cb);
uint32_t QDDev_UnregisterConnectCallback(void);
uint32_t QDDev_RegisterWakeupCallback(QDDevWakeupCallback cb);
uint32_t QDDev_UnregisterWakeupCallback(void);

/* ---- Per-model families ----------------------------------------------------------------------- */
/* GetNumDevices counts the model's slots, empty ones included. The unit index is an int of which
 * only the low 16 bits are used. GetControlVals / GetDialVals return the encoder counts and reset them.
 * Brightness levels are 0 to 15. */

/* QD-AVX: 4-character alpha display, 5-digit numeric display, two encoders. */
uint16_t QDAVX_GetNumDevices(void);
uint32_t QDAVX_GetDialVals(int index, short* enc1, short* enc2);
uint32_t QDAVX_SetAlpha(int index, const char* text);
uint32_t QDAVX_SetAlphaSegments(int index, const unsigned char seg[8]);
uint32_t QDAVX_SetNumeric(int index, const char* text);
uint32_t QDAVX_SetNumericSegments(int index, const unsigned char seg[5]);
uint32_t QDAVX_SetBrightness(int index, int level); /* clamped to 0..15 */

/* QD-AVY: as QD-AVX with a 6-digit numeric display and a push button. */
uint16_t QDAVY_GetNumDevices(void);
uint32_t QDAVY_GetDialVals(int index, short* enc1, short* enc2);
uint32_t QDAVY_SetAlpha(int index, const char* text);
uint32_t QDAVY_SetAlphaSegments(int index, const unsigned char seg[8]);
uint32_t QDAVY_SetNumeric(int index, const char* text);
uint32_t QDAVY_SetNumericSegments(int index, const unsigned char seg[6]);
uint32_t QDAVY_SetBrightness(int index, int level); /* clamped to 0..15 */
uint32_t QDAVY_GetBrightness(int index, unsigned int* level);

/* QD-RSX radio stack: two 6-position displays, two encoders. */
uint16_t QDRSX_GetNumDevices(void);
uint32_t QDRSX_GetControlVals(int index, short* left, short* right, unsigned char* switches);
uint32_t QDRSX_GetIndicators(int index, unsigned char* indicators);
uint32_t QDRSX_SetIndicators(int index, unsigned char indicators);
uint32_t QDRSX_SetLDisplayText(int index, const char* text);
uint32_t QDRSX_SetLDisplaySegments(int index, const unsigned char seg[6]);
uint32_t QDRSX_SetRDisplayText(int index, const char* text);
uint32_t QDRSX_SetRDisplaySegments(int index, const unsigned char seg[6]);
uint32_t QDRSX_GetBrightness(int index, unsigned int* level);
uint32_t QDRSX_SetBrightness(int index, unsigned char level);
uint32_t QDRSX_SetEncoderType(int index, unsigned char left, unsigned char right); /* each 0 to 2 */

/* QD-PBX push-button unit. */
uint16_t QDPBX_GetNumDevices(void);
uint32_t QDPBX_GetSwitchVals(int index, unsigned char* switches);
uint32_t QDPBX_GetIndicators(int index, unsigned char* indicators);
uint32_t QDPBX_SetIndicators(int index, unsigned char indicators);
uint32_t QDPBX_GetBrightness(int index, unsigned int* level);
uint32_t QDPBX_SetBrightness(int index, unsigned char level);

/* QD-TGX toggle-switch unit. */
uint16_t QDTGX_GetNumDevices(void);
uint32_t QDTGX_GetSwitchVals(int index, unsigned char* switches);
uint32_t QDTGX_GetIndicators(int index, unsigned char* indicators);
uint32_t QDTGX_SetIndicators(int index, unsigned char indicators);
uint32_t QDTGX_GetBrightness(int index, unsigned int* level);
uint32_t QDTGX_SetBrightness(int index, unsigned char level);

/* QD-KNB knob/button unit. */
uint16_t QDKNB_GetNumDevices(void);
uint32_t QDKNB_GetControlVals(int index, short* e1, short* e2, short* e3, short* e4, unsigned char* switches);
uint32_t QDKNB_GetIndicators(int index, unsigned char* indicators);
uint32_t QDKNB_SetIndicators(int index, unsigned char indicators);
uint32_t QDKNB_GetBrightness(int index, unsigned int* level);
uint32_t QDKNB_SetBrightness(int index, unsigned char level);

/* QD-GTP gear/trim panel. */
uint16_t QDGTP_GetNumDevices(void);
uint32_t QDGTP_GetControlVals(int index, short* trim, unsigned char* switches);
uint32_t QDGTP_GetIndicators(int index, unsigned char* indicators);
uint32_t QDGTP_SetIndicators(int index, unsigned char indicators); /* bits 0 and 1 always sent set */
uint32_t QDGTP_GetBrightness(int index, unsigned int* level);
uint32_t QDGTP_SetBrightness(int index, unsigned char level);

/* QD-GTP2 gear/trim panel. */
uint16_t QDGTP2_GetNumDevices(void);
uint32_t QDGTP2_GetControlVals(int index, short* e1, short* e2, short* e3, unsigned char* switches);
uint32_t QDGTP2_GetIndicators(int index, unsigned char* indicators);
uint32_t QDGTP2_SetIndicators(int index, unsigned char indicators);
uint32_t QDGTP2_GetBrightness(int index, unsigned int* level);
uint32_t QDGTP2_SetBrightness(int index, unsigned char level);

/* QD-APC autopilot panel: displays A to C (3 positions), D and E (6 positions). */
uint16_t QDAPC_GetNumDevices(void);
uint32_t QDAPC_GetControlVals(int index, short* e1, short* e2, short* e3, short* e4, short* e5,
                              unsigned char* sw1, unsigned char* sw2);
uint32_t QDAPC_GetIndicators(int index, unsigned char* indicators);
uint32_t QDAPC_SetIndicators(int index, unsigned char indicators);
uint32_t QDAPC_SetADisplayText(int index, const char* text);
uint32_t QDAPC_SetBDisplayText(int index, const char* text);
uint32_t QDAPC_SetCDisplayText(int index, const char* text);
uint32_t QDAPC_SetDDisplayText(int index, const char* text);
uint32_t QDAPC_SetEDisplayText(int index, const char* text);
uint32_t QDAPC_SetADisplaySegments(int index, const unsigned char seg[3]);
uint32_t QDAPC_SetBDisplaySegments(int index, const unsigned char seg[3]);
uint32_t QDAPC_SetCDisplaySegments(int index, const unsigned char seg[3]);
uint32_t QDAPC_SetDDisplaySegments(int index, const unsigned char seg[6]);
uint32_t QDAPC_SetEDisplaySegments(int index, const unsigned char seg[6]);
uint32_t QDAPC_GetBrightness(int index, unsigned int* level);
uint32_t QDAPC_SetBrightness(int index, unsigned char level);

/* QD-APX autopilot panel: displays A and F (3 positions), B to E (5 positions). */
uint16_t QDAPX_GetNumDevices(void);
uint32_t QDAPX_GetControlVals(int index, short* e1, short* e2, short* e3, short* e4, short* e5, short* e6,
                              unsigned int* switches);
uint32_t QDAPX_GetIndicators(int index, unsigned int* indicators);
uint32_t QDAPX_SetIndicators(int index, unsigned int indicators);
uint32_t QDAPX_SetADisplayText(int index, const char* text);
uint32_t QDAPX_SetBDisplayText(int index, const char* text);
uint32_t QDAPX_SetCDisplayText(int index, const char* text);
uint32_t QDAPX_SetDDisplayText(int index, const char* text);
uint32_t QDAPX_SetEDisplayText(int index, const char* text);
uint32_t QDAPX_SetFDisplayText(int index, const char* text);
uint32_t QDAPX_SetADisplaySegments(int index, const unsigned char seg[3]);
uint32_t QDAPX_SetBDisplaySegments(int index, const unsigned char seg[5]);
uint32_t QDAPX_SetCDisplaySegments(int index, const unsigned char seg[5]);
uint32_t QDAPX_SetDDisplaySegments(int index, const unsigned char seg[5]);
uint32_t QDAPX_SetEDisplaySegments(int index, const unsigned char seg[5]);
uint32_t QDAPX_SetFDisplaySegments(int index, const unsigned char seg[3]);
uint32_t QDAPX_GetBrightness(int index, unsigned int* level);
uint32_t QDAPX_SetBrightness(int index, unsigned char level);

/* QD-THQ throttle quadrant. */
uint16_t QDTHQ_GetNumDevices(void);
uint32_t QDTHQ_GetControlVals(int index, unsigned char* lever1, unsigned char* lever2, unsigned char* lever3,
                              unsigned char* lever4, unsigned char* lever5, unsigned char* lever6,
                              unsigned char* switches);

/* QD-NDC navigation-display panel. */
uint16_t QDNDC_GetNumDevices(void);
uint32_t QDNDC_GetControlVals(int index, short* enc1, short* enc2, unsigned short* switches,
                              unsigned char* selectors);

/* QD-ECP engine control unit. */
uint16_t QDECP_GetNumDevices(void);
uint32_t QDECP_GetControlVals(int index, unsigned char* position, unsigned char* a, unsigned char* b,
                              unsigned char* c, unsigned short* switches);

/* QD-SSM starter selector unit. */
uint16_t QDSSM_GetNumDevices(void);
uint32_t QDSSM_GetControlVals(int index, unsigned char* sel1, unsigned char* sel2, unsigned char* sel3);

/* QD-ANP annunciator panel: six colour lamps (indicator 1 to 6, colour 0 to 7). */
uint16_t QDANP_GetNumDevices(void);
uint32_t QDANP_GetControlVals(int index, unsigned char* buttons);
uint32_t QDANP_GetIndColorValue(int index, unsigned char indicator, unsigned char* colour);
uint32_t QDANP_SetIndColorValue(int index, unsigned char indicator, unsigned char colour);
uint32_t QDANP_GetBrightness(int index, unsigned int* level);
uint32_t QDANP_SetBrightness(int index, unsigned short level);

/* QD-IOB input/output board: four outputs. Colour and brightness calls are accepted and do nothing. */
uint16_t QDIOB_GetNumDevices(void);
uint32_t QDIOB_GetSwitchVals(int index, unsigned char* first);
uint32_t QDIOB_SetIndicators(int index, unsigned char o1, unsigned char o2, unsigned char o3,
                             unsigned char o4);
uint32_t QDIOB_GetIndColorValue(int index, unsigned char indicator, unsigned char* colour);
uint32_t QDIOB_GetBrightness(int index, unsigned int* level);
uint32_t QDIOB_SetBrightness(int index, unsigned char level);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* QDDEV_H */
