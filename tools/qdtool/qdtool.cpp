// qdtool: list, watch and drive Quandel units from the command line, through the
// device library's call interface.
//
//   qdtool list
//   qdtool monitor
//   qdtool text TYPE INDEX DISPLAY TEXT     (DISPLAY: alpha|numeric, L|R, A..F)
//   qdtool lamps TYPE INDEX VALUE...        (ANP: LAMP COLOUR; IOB: four outputs)
//   qdtool brightness TYPE INDEX LEVEL
//
// TYPE is a model name (RSX, QDRSX, QD-RSX) or a device type number.
#include "node_access.h"
#include "qddev.h"

#include <atomic>
#include <cctype>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

namespace {

using CountFn = uint16_t (*)();

struct Model {
    tagQDDevHWType type;
    CountFn count;
    size_t record_size;
};

const Model kModels[] = {
    {QDHW_AVX, QDAVX_GetNumDevices, sizeof(QDAVXControlVals)},
    {QDHW_PBX, QDPBX_GetNumDevices, sizeof(QDPBXControlVals)},
    {QDHW_TGX, QDTGX_GetNumDevices, sizeof(QDTGXControlVals)},
    {QDHW_GTP, QDGTP_GetNumDevices, sizeof(QDGTPControlVals)},
    {QDHW_RSX, QDRSX_GetNumDevices, sizeof(QDRSXControlVals)},
    {QDHW_APC, QDAPC_GetNumDevices, sizeof(QDAPCControlVals)},
    {QDHW_KNB, QDKNB_GetNumDevices, sizeof(QDKNBControlVals)},
    {QDHW_AVY, QDAVY_GetNumDevices, sizeof(QDAVYControlVals)},
    {QDHW_THQ, QDTHQ_GetNumDevices, sizeof(QDTHQControlVals)},
    {QDHW_GTP2, QDGTP2_GetNumDevices, sizeof(QDGTP2ControlVals)},
    {QDHW_APX, QDAPX_GetNumDevices, sizeof(QDAPXControlVals)},
    {QDHW_NDC, QDNDC_GetNumDevices, sizeof(QDNDCControlVals)},
    {QDHW_ECP, QDECP_GetNumDevices, sizeof(QDECPControlVals)},
    {QDHW_SSM, QDSSM_GetNumDevices, sizeof(QDSSMControlVals)},
    {QDHW_ANP, QDANP_GetNumDevices, sizeof(QDANPControlVals)},
    {QDHW_IOB, QDIOB_GetNumDevices, sizeof(QDIOBControlVals)},
};

const Model* FindModel(tagQDDevHWType type) {
    for (const Model& m : kModels)
        if (m.type == type) return &m;
    return nullptr;
}

int Usage() {
    std::fprintf(
        stderr,
        "usage: qdtool list\n"
        "       qdtool monitor\n"
        "       qdtool text TYPE INDEX DISPLAY TEXT    DISPLAY: alpha|numeric (AVX, AVY), L|R (RSX),\n"
        "                                              A..E (APC), A..F (APX)\n"
        "       qdtool lamps TYPE INDEX VALUE          lamp bits (hex with 0x); APX: 32-bit word\n"
        "       qdtool lamps ANP INDEX LAMP COLOUR     lamp 1-6, colour 0-7\n"
        "       qdtool lamps IOB INDEX O1 O2 O3 O4\n"
        "       qdtool brightness TYPE INDEX LEVEL     level 0-15\n"
        "TYPE is a model (RSX, QDRSX, QD-RSX) or a device type number.\n");
    return 2;
}

bool ParseType(const char* s, tagQDDevHWType* out) {
    char* end = nullptr;
    const long n = std::strtol(s, &end, 10);
    if (end != s && *end == '\0') {
        if (n <= 0 || n >= QDDEV_TYPE_LIMIT || !FindModel(static_cast<tagQDDevHWType>(n))) return false;
        *out = static_cast<tagQDDevHWType>(n);
        return true;
    }
    char want[16] = "QD";
    size_t k = 2;
    for (const char* p = s; *p && k + 1 < sizeof want; ++p) {
        if (*p == '-') continue;
        want[k++] = static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
    }
    want[k] = '\0';
    const char* name = want[2] == 'Q' && want[3] == 'D' ? want + 2 : want;
    for (const Model& m : kModels) {
        if (std::strcmp(QDHWType2Text(m.type), name) == 0) {
            *out = m.type;
            return true;
        }
    }
    return false;
}

bool ParseNumber(const char* s, long lo, long hi, long* out) {
    char* end = nullptr;
    const long v = std::strtol(s, &end, 0);
    if (end == s || *end != '\0' || v < lo || v > hi) return false;
    *out = v;
    return true;
}

// The library prints its arrival diagnostics to stdout; keep ours apart from them.
bool Start() {
    const uint32_t rc = QDDev_Init();
    if (rc != QDDEV_OK) {
        std::fprintf(stderr, "qdtool: the HID service is not available (QDDev_Init returned %u)\n", rc);
        return false;
    }
    return true;
}

int List() {
    const int blocked = ReportUnopenableNodes();
    if (!Start()) return 1;
    std::fflush(stdout);
    int units = 0;
    std::printf("%-8s %5s  %-10s %-8s %-16s %s\n", "MODEL", "INDEX", "LOCATION", "FIRMWARE", "SERIAL",
                "PATH");
    for (const Model& m : kModels) {
        const uint16_t n = m.count();
        for (uint16_t i = 0; i < n; ++i) {
            QDDevInfo info{};
            if (QDDev_GetDeviceInfo(m.type, i, &info) != QDDEV_OK) continue; // empty slot
            QDDevInfoEx ex{};
            ex.size = QDDEV_INFO_EX_SIZE;
            QDDev_GetDeviceInfoEx(m.type, i, &ex);
            std::printf("%-8s %5u  %-10s %04X     %-16s %s\n", QDHWType2Text(m.type), i, info.location,
                        info.version, ex.serial, ex.path);
            ++units;
        }
    }
    std::printf("%d unit%s\n", units, units == 1 ? "" : "s");
    QDDev_Terminate();
    return units == 0 && blocked ? 1 : 0;
}

// ---- monitor: the callbacks only copy into a fixed ring; the main thread prints.

struct Record {
    int type;
    int index;
    int token; // 0 = input record
    uint8_t data[16];
};

constexpr size_t kRing = 256;
Record g_ring[kRing];
size_t g_head = 0, g_count = 0, g_lost = 0;
std::mutex g_ring_mu;
volatile std::sig_atomic_t g_quit = 0;

void Push(const Record& r) {
    std::lock_guard<std::mutex> lock(g_ring_mu);
    if (g_count == kRing) {
        ++g_lost;
        return;
    }
    g_ring[(g_head + g_count) % kRing] = r;
    ++g_count;
}

bool OnInput(tagQDDevHWType type, uint16_t index, const void* data) {
    const Model* m = FindModel(type);
    Record r{static_cast<int>(type), index, 0, {}};
    if (m && data) std::memcpy(r.data, data, m->record_size < sizeof r.data ? m->record_size : sizeof r.data);
    Push(r);
    return true; // counts shown are steps since the previous record
}

bool OnConnect(tagQDDevHWType type, uint16_t index, tagEventToken token) {
    Push(Record{static_cast<int>(type), index, static_cast<int>(token), {}});
    return true;
}

template <typename T> T As(const uint8_t* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

void PrintRecord(const Record& r) {
    const auto type = static_cast<tagQDDevHWType>(r.type);
    std::printf("%-6s %u  ", QDHWType2Text(type), r.index);
    const uint8_t* d = r.data;
    switch (type) {
    case QDHW_AVX: {
        auto v = As<QDAVXControlVals>(d);
        std::printf("enc1 %+d enc2 %+d", v.enc1, v.enc2);
        break;
    }
    case QDHW_AVY: {
        auto v = As<QDAVYControlVals>(d);
        std::printf("enc1 %+d enc2 %+d button %u", v.enc1, v.enc2, v.button);
        break;
    }
    case QDHW_RSX: {
        auto v = As<QDRSXControlVals>(d);
        std::printf("left %+d right %+d switches %02x", v.left, v.right, v.switches);
        break;
    }
    case QDHW_PBX:
    case QDHW_TGX:
    case QDHW_ANP:
        std::printf("switches %02x", d[0]);
        break;
    case QDHW_KNB: {
        auto v = As<QDKNBControlVals>(d);
        std::printf("enc %+d %+d %+d %+d switches %02x", v.enc[0], v.enc[1], v.enc[2], v.enc[3], v.switches);
        break;
    }
    case QDHW_GTP: {
        auto v = As<QDGTPControlVals>(d);
        std::printf("trim %+d switches %02x", v.trim, v.switches);
        break;
    }
    case QDHW_GTP2: {
        auto v = As<QDGTP2ControlVals>(d);
        std::printf("enc %+d %+d %+d switches %02x", v.enc[0], v.enc[1], v.enc[2], v.switches);
        break;
    }
    case QDHW_APC: {
        auto v = As<QDAPCControlVals>(d);
        std::printf("enc %+d %+d %+d %+d %+d switches %02x %02x", v.enc[0], v.enc[1], v.enc[2], v.enc[3],
                    v.enc[4], v.switches1, v.switches2);
        break;
    }
    case QDHW_APX: {
        auto v = As<QDAPXControlVals>(d);
        std::printf("enc %+d %+d %+d %+d %+d %+d switches %08x", v.enc[0], v.enc[1], v.enc[2], v.enc[3],
                    v.enc[4], v.enc[5], v.switches);
        break;
    }
    case QDHW_THQ: {
        auto v = As<QDTHQControlVals>(d);
        std::printf("levers %u %u %u %u %u %u switches %02x", v.lever[0], v.lever[1], v.lever[2], v.lever[3],
                    v.lever[4], v.lever[5], v.switches);
        break;
    }
    case QDHW_NDC: {
        auto v = As<QDNDCControlVals>(d);
        std::printf("enc1 %+d enc2 %+d switches %04x selectors %02x", v.enc1, v.enc2, v.switches,
                    v.selectors);
        break;
    }
    case QDHW_ECP: {
        auto v = As<QDECPControlVals>(d);
        std::printf("position %u a %u b %u c %u switches %04x", v.position, v.a, v.b, v.c, v.switches);
        break;
    }
    case QDHW_SSM: {
        auto v = As<QDSSMControlVals>(d);
        std::printf("selectors %u %u %u", v.sel1, v.sel2, v.sel3);
        break;
    }
    case QDHW_IOB:
        std::printf("inputs %02x %02x %02x %02x %02x %02x %02x", d[0], d[1], d[2], d[3], d[4], d[5], d[6]);
        break;
    default:
        std::printf("(record)");
        break;
    }
    std::printf("\n");
}

int Monitor() {
    ReportUnopenableNodes();
    if (!Start()) return 1;
    std::signal(SIGINT, [](int) { g_quit = 1; });
    std::signal(SIGTERM, [](int) { g_quit = 1; });
    QDDev_RegisterConnectCallback(OnConnect);
    QDDev_RegisterInputCallback(OnInput);
    std::printf("watching; Ctrl-C ends\n");
    std::fflush(stdout);
    while (!g_quit) {
        Record batch[32];
        size_t n = 0, lost = 0;
        {
            std::lock_guard<std::mutex> lock(g_ring_mu);
            while (g_count > 0 && n < 32) {
                batch[n++] = g_ring[g_head];
                g_head = (g_head + 1) % kRing;
                --g_count;
            }
            lost = g_lost;
            g_lost = 0;
        }
        for (size_t k = 0; k < n; ++k) {
            if (batch[k].token)
                std::printf("%-6s %u  %s\n", QDHWType2Text(static_cast<tagQDDevHWType>(batch[k].type)),
                            batch[k].index, batch[k].token == 1 ? "attached" : "removed");
            else
                PrintRecord(batch[k]);
        }
        if (lost) std::printf("(%zu records not shown)\n", lost);
        std::fflush(stdout);
        if (n == 0) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    QDDev_Terminate();
    return 0;
}

// ---- writes

uint32_t Text(tagQDDevHWType type, int index, const char* display, const char* text) {
    const char d = static_cast<char>(std::toupper(static_cast<unsigned char>(display[0])));
    const bool one = display[1] == '\0';
    switch (type) {
    case QDHW_AVX:
    case QDHW_AVY:
        if (d == 'A') return type == QDHW_AVX ? QDAVX_SetAlpha(index, text) : QDAVY_SetAlpha(index, text);
        if (d == 'N') return type == QDHW_AVX ? QDAVX_SetNumeric(index, text) : QDAVY_SetNumeric(index, text);
        break;
    case QDHW_RSX:
        if (one && d == 'L') return QDRSX_SetLDisplayText(index, text);
        if (one && d == 'R') return QDRSX_SetRDisplayText(index, text);
        break;
    case QDHW_APC: {
        static uint32_t (*const fn[])(int, const char*) = {QDAPC_SetADisplayText, QDAPC_SetBDisplayText,
                                                           QDAPC_SetCDisplayText, QDAPC_SetDDisplayText,
                                                           QDAPC_SetEDisplayText};
        if (one && d >= 'A' && d <= 'E') return fn[d - 'A'](index, text);
        break;
    }
    case QDHW_APX: {
        static uint32_t (*const fn[])(int, const char*) = {QDAPX_SetADisplayText, QDAPX_SetBDisplayText,
                                                           QDAPX_SetCDisplayText, QDAPX_SetDDisplayText,
                                                           QDAPX_SetEDisplayText, QDAPX_SetFDisplayText};
        if (one && d >= 'A' && d <= 'F') return fn[d - 'A'](index, text);
        break;
    }
    default:
        break;
    }
    return QDDEV_ERR_BAD_ARGUMENT;
}

uint32_t Lamps(tagQDDevHWType type, int index, int argc, char** argv) {
    long v[4] = {};
    const int want = type == QDHW_IOB ? 4 : type == QDHW_ANP ? 2 : 1;
    if (argc != want) return QDDEV_ERR_BAD_ARGUMENT;
    for (int k = 0; k < argc; ++k) {
        const long hi = type == QDHW_APX ? 0xFFFFFFFFL : 255;
        if (!ParseNumber(argv[k], 0, hi, &v[k])) return QDDEV_ERR_BAD_ARGUMENT;
    }
    const auto b = static_cast<unsigned char>(v[0]);
    switch (type) {
    case QDHW_PBX:
        return QDPBX_SetIndicators(index, b);
    case QDHW_TGX:
        return QDTGX_SetIndicators(index, b);
    case QDHW_KNB:
        return QDKNB_SetIndicators(index, b);
    case QDHW_GTP:
        return QDGTP_SetIndicators(index, b);
    case QDHW_GTP2:
        return QDGTP2_SetIndicators(index, b);
    case QDHW_RSX:
        return QDRSX_SetIndicators(index, b);
    case QDHW_APC:
        return QDAPC_SetIndicators(index, b);
    case QDHW_APX:
        return QDAPX_SetIndicators(index, static_cast<unsigned int>(v[0]));
    case QDHW_ANP:
        return QDANP_SetIndColorValue(index, static_cast<unsigned char>(v[0]),
                                      static_cast<unsigned char>(v[1]));
    case QDHW_IOB:
        return QDIOB_SetIndicators(index, b, static_cast<unsigned char>(v[1]),
                                   static_cast<unsigned char>(v[2]), static_cast<unsigned char>(v[3]));
    default:
        return QDDEV_ERR_BAD_ARGUMENT;
    }
}

uint32_t Brightness(tagQDDevHWType type, int index, long level) {
    const auto b = static_cast<unsigned char>(level);
    switch (type) {
    case QDHW_AVX:
        return QDAVX_SetBrightness(index, static_cast<int>(level));
    case QDHW_AVY:
        return QDAVY_SetBrightness(index, static_cast<int>(level));
    case QDHW_RSX:
        return QDRSX_SetBrightness(index, b);
    case QDHW_PBX:
        return QDPBX_SetBrightness(index, b);
    case QDHW_TGX:
        return QDTGX_SetBrightness(index, b);
    case QDHW_KNB:
        return QDKNB_SetBrightness(index, b);
    case QDHW_GTP:
        return QDGTP_SetBrightness(index, b);
    case QDHW_GTP2:
        return QDGTP2_SetBrightness(index, b);
    case QDHW_APC:
        return QDAPC_SetBrightness(index, b);
    case QDHW_APX:
        return QDAPX_SetBrightness(index, b);
    case QDHW_ANP:
        return QDANP_SetBrightness(index, static_cast<unsigned short>(level));
    case QDHW_IOB:
        return QDIOB_SetBrightness(index, b);
    default:
        return QDDEV_ERR_BAD_ARGUMENT;
    }
}

const char* Explain(uint32_t rc) {
    switch (rc) {
    case QDDEV_ERR_NO_UNIT:
        return "no unit of this model at this index";
    case QDDEV_ERR_NO_MEMORY:
        return "out of memory";
    case QDDEV_ERR_NOT_CONNECTED:
        return "the unit is not connected";
    case QDDEV_ERR_NOT_QUEUED:
        return "the report could not be queued";
    case QDDEV_ERR_READ_FAILED:
        return "the unit did not answer";
    case QDDEV_ERR_BAD_ARGUMENT:
        return "this model has no such display or lamp, or a value is out of range";
    case QDDEV_ERR_NOT_INITIALISED:
        return "the library is not running";
    default:
        return "failed";
    }
}

int Write(const char* cmd, int argc, char** argv) {
    tagQDDevHWType type;
    long index = 0;
    if (argc < 3 || !ParseType(argv[0], &type) || !ParseNumber(argv[1], 0, 0xFFFF, &index)) return Usage();
    long level = 0;
    if (std::strcmp(cmd, "text") == 0 && argc != 4) return Usage();
    if (std::strcmp(cmd, "brightness") == 0 && (argc != 3 || !ParseNumber(argv[2], 0, 255, &level)))
        return Usage();
    ReportUnopenableNodes();
    if (!Start()) return 1;
    uint32_t rc;
    if (std::strcmp(cmd, "text") == 0)
        rc = Text(type, static_cast<int>(index), argv[2], argv[3]);
    else if (std::strcmp(cmd, "lamps") == 0)
        rc = Lamps(type, static_cast<int>(index), argc - 2, argv + 2);
    else
        rc = Brightness(type, static_cast<int>(index), level);
    // Terminate gives every queued report its last attempt before the units are closed.
    QDDev_Terminate();
    if (rc != QDDEV_OK) {
        std::fprintf(stderr, "qdtool: %s %s %ld: %s (code %u)\n", cmd, QDHWType2Text(type), index,
                     Explain(rc), rc);
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    const char* cmd = argv[1];
    if (std::strcmp(cmd, "list") == 0 && argc == 2) return List();
    if (std::strcmp(cmd, "monitor") == 0 && argc == 2) return Monitor();
    if (std::strcmp(cmd, "text") == 0 || std::strcmp(cmd, "lamps") == 0 ||
        std::strcmp(cmd, "brightness") == 0)
        return Write(cmd, argc - 2, argv + 2);
    return Usage();
}
