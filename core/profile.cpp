#include "profile.h"

#include "globals.h"
#include "log.h"
#include "paths.h"
#include "settings.h"

#include "XPLMPlanes.h"
#include "XPLMUtilities.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <strings.h>
#include <thread>

namespace {

constexpr int kPieceSize = 256;               // lines are read in pieces of 255 characters, as ever
constexpr size_t kSnapshotBytes = 256 * 1024; // larger files are read key by key (DRAV.INI) or refused
constexpr int kSnapshotLines = 16384;
constexpr size_t kLongestProfileLine = 4096; // a longer line is not a hand-written setting
constexpr int kLongestName = 251;            // "<name>.ini" within a file name's 255 bytes

// The raw bytes of the file being loaded; one at a time, so the layers share it.
char g_Raw[kSnapshotBytes + 1];

bool IsLineEnd(char c) {
    return c == '\r' || c == '\n';
}

// One file in memory, cut into lines exactly as QDXP_fgets_multiplatform cuts them, and looked
// up exactly as XP_ReadIniPref looks up a key.
class IniSnapshot {
  public:
    enum class Result { Missing, Loaded, TooBig, Unreadable };

    // strict: refuse what no person wrote as settings (NUL bytes, a line of kilobytes).
    Result Load(const char* path, bool strict, const char** why) {
        Clear();
        *why = "";
        FILE* f = DRAV_OpenFile(path, "r");
        if (f == nullptr) {
            if (DRAV_StampFile(path).exists) {
                *why = "cannot be opened";
                return Result::Unreadable;
            }
            return Result::Missing;
        }
        const size_t n = fread(g_Raw, 1, sizeof g_Raw, f);
        const bool failed = ferror(f) != 0;
        fclose(f);
        if (failed) {
            *why = "cannot be read";
            return Result::Unreadable;
        }
        if (n > kSnapshotBytes) {
            *why = "is larger than 256 KiB";
            return Result::TooBig;
        }
        if (strict && !Plausible(n, why)) return Result::Unreadable;
        if (!Cut(n)) {
            *why = "has too many lines";
            return Result::TooBig;
        }
        loaded_ = true;
        return Result::Loaded;
    }

    void Clear() {
        loaded_ = false;
        count_ = 0;
        used_ = 0;
        cached_header_[0] = '\0';
    }
    bool Loaded() const { return loaded_; }

    // True and the value's start when the key is in the first section with this header text.
    bool Find(const char* header, const char* key, const char** value) {
        int at = SectionStart(header);
        if (at < 0) return false;
        const size_t key_len = strlen(key);
        for (; at < count_; ++at) {
            const char* line = text_ + lines_[at];
            const char* hit = line[0] != ';' ? strstr(line, key) : nullptr;
            if (hit != nullptr) {
                // The character after the key is the "=" and is skipped, whatever it is.
                const char* start = hit + key_len;
                if (*start != '\0') ++start;
                *value = start;
                return true;
            }
            if (line[0] == '[') return false;
        }
        return false;
    }

  private:
    static bool Plausible(size_t n, const char** why) {
        if (memchr(g_Raw, '\0', n) != nullptr) {
            *why = "holds binary data";
            return false;
        }
        size_t run = 0;
        for (size_t i = 0; i < n; ++i) {
            run = IsLineEnd(g_Raw[i]) ? 0 : run + 1;
            if (run > kLongestProfileLine) {
                *why = "has a line longer than 4096 characters";
                return false;
            }
        }
        return true;
    }

    bool Cut(size_t n) {
        size_t i = 0;
        while (i < n) {
            if (count_ == kSnapshotLines || used_ + kPieceSize > sizeof text_) return false;
            const size_t begin = used_;
            size_t len = 0;
            while (len < kPieceSize - 1 && i < n) {
                const char c = g_Raw[i++];
                if (IsLineEnd(c)) {
                    // CRLF and LFCR each end one line.
                    const char partner = c == '\r' ? '\n' : '\r';
                    if (i < n && g_Raw[i] == partner) ++i;
                    break;
                }
                text_[used_ + len++] = c;
            }
            text_[used_ + len] = '\0';
            lines_[count_++] = static_cast<int>(begin);
            used_ += len + 1;
        }
        return true;
    }

    int SectionStart(const char* header) {
        if (strcmp(cached_header_, header) == 0) return cached_start_;
        int start = -1;
        for (int i = 0; i < count_; ++i) {
            if (strstr(text_ + lines_[i], header)) {
                start = i + 1;
                break;
            }
        }
        snprintf(cached_header_, sizeof cached_header_, "%s", header);
        cached_start_ = start;
        return start;
    }

    bool loaded_ = false;
    int count_ = 0;
    size_t used_ = 0;
    int lines_[kSnapshotLines] = {};
    char text_[kSnapshotBytes + kSnapshotBytes / (kPieceSize - 1) + kPieceSize] = {};
    char cached_header_[64] = {};
    int cached_start_ = -1;
};

IniSnapshot g_IniSnap;
IniSnapshot g_ProfileSnap;
bool g_IniDirect = false; // DRAV.INI too large to hold: read key by key
int g_SnapshotDepth = 0;

DRAV_ProfileState g_Profile;
// The aircraft the profile was chosen for, to choose again after a change on disk.
char g_AcfFile[kAircraftNameSize];
char g_AcfPath[kProfilePathSize];

// A profile that cannot be read is reported once per version of the file, not at every read.
DRAV_FileStamp g_ReportedBad;
char g_ReportedBadPath[kProfilePathSize];

bool LoadProfileSnapshot(const char* path) {
    const char* why = "";
    const IniSnapshot::Result r = g_ProfileSnap.Load(path, true, &why);
    if (r == IniSnapshot::Result::Loaded) return true;
    g_ProfileSnap.Clear();
    if (r == IniSnapshot::Result::Missing) return false;
    const DRAV_FileStamp stamp = DRAV_StampFile(path);
    if (stamp == g_ReportedBad && strcmp(path, g_ReportedBadPath) == 0) return false;
    g_ReportedBad = stamp;
    snprintf(g_ReportedBadPath, sizeof g_ReportedBadPath, "%s", path);
    DRAV_Reportf("profile %s skipped: it %s; DRAV.INI serves", path, why);
    return false;
}

void LoadLayers() {
    char path[kProfilePathSize];
    DRAV_BuildPluginPath(kDravIniFile, path, sizeof path);
    const char* why = "";
    g_IniDirect = g_IniSnap.Load(path, false, &why) == IniSnapshot::Result::TooBig;
    if (g_Profile.active_path[0] != '\0')
        LoadProfileSnapshot(g_Profile.active_path);
    else
        g_ProfileSnap.Clear();
}

// ---- Watching the files --------------------------------------------------------------------------

struct Watched {
    char path[kProfilePathSize] = {};
    DRAV_FileStamp applied; // the file as the units were last configured from it
    DRAV_FileStamp seen;    // the file at the last check
    bool pending = false;   // changed, waiting to be the same at one more check
};
constexpr int kWatchedFiles = 3;
// The list is read by the checking thread and changed by the main thread: both under the mutex.
std::mutex g_WatchMutex;
Watched g_Watch[kWatchedFiles];
int g_WatchCount = 0;
// Set by the checking thread, taken by the refresh pass.
std::atomic<bool> g_ChangeReady{false};

void Watch(const char* path) {
    if (path[0] == '\0' || g_WatchCount == kWatchedFiles) return;
    Watched& w = g_Watch[g_WatchCount++];
    snprintf(w.path, sizeof w.path, "%s", path);
    w.applied = w.seen = DRAV_StampFile(path);
    w.pending = false;
}

// DRAV.INI, the user's own profile (also when it does not exist yet: it may be copied in) and a
// shipped profile in use.
void WatchFiles() {
    const std::lock_guard<std::mutex> lock(g_WatchMutex);
    g_WatchCount = 0;
    g_ChangeReady.store(false); // whatever was seen is read now
    char path[kProfilePathSize];
    DRAV_BuildPluginPath(kDravIniFile, path, sizeof path);
    Watch(path);
    Watch(g_Profile.user_path);
    if (g_Profile.source == DRAV_ProfileSource::Aircraft) Watch(g_Profile.shipped_path);
}

Watched* WatchOf(const char* path) {
    for (int i = 0; i < g_WatchCount; ++i)
        if (strcmp(g_Watch[i].path, path) == 0) return &g_Watch[i];
    return nullptr;
}

// ---- Choosing the profile ------------------------------------------------------------------------

// True when snprintf wrote `written` characters into out whole; else out is emptied.
bool Fits(char* out, size_t out_size, int written) {
    if (written >= 0 && static_cast<size_t>(written) < out_size) return true;
    out[0] = '\0';
    return false;
}

// The last separator of a path: the host's, or either slash (Windows paths may carry both, and
// a name with a backslash is refused anyway).
const char* LastSeparator(const char* path, char sep) {
    const char* last = nullptr;
    for (const char* c = path; *c != '\0'; ++c)
        if (*c == sep || *c == '/' || *c == '\\') last = c;
    return last;
}

void FillPaths(DRAV_ProfileState& s, const char* acf_file, const char* acf_path) {
    const char sep = DRAV_PathSeparator();
    // The name: the file name given, else the last part of the path; without ".acf".
    const char* name = acf_file != nullptr ? acf_file : "";
    if (name[0] == '\0' && acf_path != nullptr) {
        const char* slash = LastSeparator(acf_path, sep);
        name = slash != nullptr ? slash + 1 : acf_path;
    }
    size_t len = strnlen(name, kAircraftNameSize);
    if (len >= 4 && strncasecmp(name + len - 4, ".acf", 4) == 0) len -= 4;
    // "<name>.ini" must be a file name the system takes (255 bytes).
    if (len > static_cast<size_t>(kLongestName)) {
        DRAV_Reportf("aircraft name longer than %d bytes: no profile of its own", kLongestName);
        len = 0;
    }
    snprintf(s.aircraft, sizeof s.aircraft, "%.*s", static_cast<int>(len), name);
    const bool usable = len > 0 && strchr(s.aircraft, '/') == nullptr &&
                        strchr(s.aircraft, '\\') == nullptr && strcmp(s.aircraft, ".") != 0 &&
                        strcmp(s.aircraft, "..") != 0;
    if (usable) {
        // Room for the "_TMP" of an atomic write.
        char folder[kProfilePathSize];
        DRAV_BuildPluginPath("", folder, sizeof folder);
        const int n = snprintf(s.user_file, sizeof s.user_file, "aircraft/%s.ini", s.aircraft);
        if (Fits(s.user_file, sizeof s.user_file, n) &&
            strlen(folder) + strlen(s.user_file) + 8 < sizeof s.user_path) {
            DRAV_BuildPluginPath(s.user_file, s.user_path, sizeof s.user_path);
        } else {
            s.user_file[0] = '\0';
            DRAV_Reportf("aircraft %s: the path of its own profile would be too long", s.aircraft);
        }
    }
    if (acf_path != nullptr && acf_path[0] != '\0') {
        const char* slash = LastSeparator(acf_path, sep);
        if (slash != nullptr) {
            const int n = snprintf(s.shipped_path, sizeof s.shipped_path, "%.*s%cDRAV.INI",
                                   static_cast<int>(slash - acf_path), acf_path, *slash);
            if (!Fits(s.shipped_path, sizeof s.shipped_path, n))
                DRAV_Reportf("aircraft folder of %s: path too long for a profile", s.aircraft);
        }
    }
}

void LogProfile() {
    char text[kDravLogLineSize];
    DRAV_DescribeProfile(text, sizeof text);
    DRAV_WriteToLogf("Settings profile: %s", text);
}

} // namespace

const DRAV_ProfileState& DRAV_Profile() {
    return g_Profile;
}

bool DRAV_SelectProfileFor(const char* acf_file, const char* acf_path) {
    // Cut to the buffers, a name is still longer than any usable one and is refused below.
    snprintf(g_AcfFile, sizeof g_AcfFile, "%s", acf_file ? acf_file : "");
    snprintf(g_AcfPath, sizeof g_AcfPath, "%s", acf_path ? acf_path : "");
    DRAV_ProfileState s;
    FillPaths(s, g_AcfFile, g_AcfPath);
    if (s.user_path[0] != '\0' && LoadProfileSnapshot(s.user_path)) {
        s.source = DRAV_ProfileSource::User;
        snprintf(s.active_path, sizeof s.active_path, "%s", s.user_path);
    } else if (s.shipped_path[0] != '\0' && LoadProfileSnapshot(s.shipped_path)) {
        s.source = DRAV_ProfileSource::Aircraft;
        snprintf(s.active_path, sizeof s.active_path, "%s", s.shipped_path);
    }
    g_ProfileSnap.Clear();
    const bool changed = s.source != g_Profile.source || strcmp(s.active_path, g_Profile.active_path) != 0 ||
                         strcmp(s.aircraft, g_Profile.aircraft) != 0;
    g_Profile = s;
    WatchFiles();
    LogProfile();
    return changed;
}

bool DRAV_SelectAircraftProfile() {
    // The SDK fills at most 256 and 512 bytes.
    char file[kAircraftNameSize] = {};
    char path[kProfilePathSize] = {};
    XPLMGetNthAircraftModel(0, file, path);
    file[sizeof file - 1] = '\0';
    path[sizeof path - 1] = '\0';
    return DRAV_SelectProfileFor(file, path);
}

void DRAV_DescribeProfile(char* out, size_t out_size) {
    switch (g_Profile.source) {
    case DRAV_ProfileSource::User:
        snprintf(out, out_size, "%s (own profile of aircraft %s)", g_Profile.active_path, g_Profile.aircraft);
        break;
    case DRAV_ProfileSource::Aircraft:
        snprintf(out, out_size, "%s (shipped with aircraft %s)", g_Profile.active_path, g_Profile.aircraft);
        break;
    default:
        snprintf(out, out_size, "none for aircraft %s, DRAV.INI alone",
                 g_Profile.aircraft[0] ? g_Profile.aircraft : "(unknown)");
        break;
    }
}

DRAV_SettingsSnapshot::DRAV_SettingsSnapshot() {
    if (g_SnapshotDepth++ == 0) LoadLayers();
}

DRAV_SettingsSnapshot::~DRAV_SettingsSnapshot() {
    if (--g_SnapshotDepth == 0) {
        g_IniSnap.Clear();
        g_ProfileSnap.Clear();
    }
}

void DRAV_ReadLayeredPref(const char* section, const char* key, char* out, size_t out_size, const char* def,
                          DRAV_PrefOrigin* origin) {
    const DRAV_SettingsSnapshot snapshot; // one read outside a pass takes its own
    char header[64];
    snprintf(header, sizeof header, "[%s]", section);
    const char* value = nullptr;
    DRAV_PrefOrigin from = DRAV_PrefOrigin::Default;
    if (g_ProfileSnap.Loaded() && g_ProfileSnap.Find(header, key, &value)) {
        from = DRAV_PrefOrigin::Profile;
    } else if (g_IniDirect) {
        // Read as ever; XP_ReadIniPref logs the read itself.
        if (origin != nullptr) *origin = DRAV_PrefOrigin::AllAircraft;
        XP_ReadIniPref(kDravIniFile, section, key, out, out_size, def);
        return;
    } else if (g_IniSnap.Loaded() && g_IniSnap.Find(header, key, &value)) {
        from = DRAV_PrefOrigin::AllAircraft;
    }
    if (from == DRAV_PrefOrigin::Default) value = def != nullptr ? def : "";
    if (g_DRAV_DebugEnabled == 1 && g_DRAV_DebugFunctionAssignments == 1) {
        DRAV_WriteToLogf("file: %s, found: %d, section: %s, key: %s, value: %s, default: %s",
                         from == DRAV_PrefOrigin::Profile ? g_Profile.active_path : kDravIniFile,
                         from == DRAV_PrefOrigin::Default ? 0 : 1, header, key, value, def ? def : "");
    }
    if (origin != nullptr) *origin = from;
    if (out_size > 0) snprintf(out, out_size, "%s", value);
}

namespace {

// Copies src to dst through dst + "_TMP" and an atomic replace.
bool CopyFileAtomic(const char* src, const char* dst) {
    char tmp[kProfilePathSize + 8];
    if (!Fits(tmp, sizeof tmp, snprintf(tmp, sizeof tmp, "%s_TMP", dst))) return false;
    FILE* in = DRAV_OpenFile(src, "r");
    if (in == nullptr) return false;
    FILE* out = DRAV_OpenFile(tmp, "w");
    if (out == nullptr) {
        fclose(in);
        return false;
    }
    char buf[4096];
    bool ok = true;
    size_t n = 0;
    while (ok && (n = fread(buf, 1, sizeof buf, in)) > 0)
        ok = fwrite(buf, 1, n, out) == n;
    ok = ok && ferror(in) == 0 && DRAV_SyncFile(out);
    fclose(in);
    if (fclose(out) != 0) ok = false;
    if (ok && DRAV_ReplaceFile(tmp, dst)) return true;
    remove(tmp);
    return false;
}

// The user's own profile exists afterwards (a shipped one copied into it), or false.
bool PrepareUserProfile() {
    const DRAV_ProfileState& s = g_Profile;
    if (s.user_file[0] == '\0') return false;
    if (DRAV_StampFile(s.user_path).exists) return true;
    char folder[kProfilePathSize];
    DRAV_BuildPluginPath("aircraft", folder, sizeof folder);
    if (!DRAV_MakeFolder(folder)) {
        DRAV_Reportf("cannot make the folder %s", folder);
        return false;
    }
    if (s.source == DRAV_ProfileSource::Aircraft && !CopyFileAtomic(s.shipped_path, s.user_path)) {
        DRAV_Reportf("cannot copy %s to %s", s.shipped_path, s.user_path);
        return false;
    }
    return true;
}

} // namespace

bool DRAV_WriteLayerPref(DRAV_SettingsLayer layer, const char* section, const char* key, const char* value) {
    char path[kProfilePathSize];
    const char* file = kDravIniFile;
    if (layer == DRAV_SettingsLayer::ThisAircraft) {
        if (!PrepareUserProfile()) return false;
        file = g_Profile.user_file;
        snprintf(path, sizeof path, "%s", g_Profile.user_path);
    } else {
        DRAV_BuildPluginPath(kDravIniFile, path, sizeof path);
    }
    // A change someone else made before this write is still picked up by the watch.
    bool was_applied = false;
    {
        const std::lock_guard<std::mutex> lock(g_WatchMutex);
        const Watched* w = WatchOf(path);
        was_applied = w != nullptr && !w->pending && DRAV_StampFile(path) == w->applied;
    }
    if (!XP_WriteIniPref(file, section, key, value)) return false;
    if (layer == DRAV_SettingsLayer::ThisAircraft && g_Profile.source != DRAV_ProfileSource::User) {
        DRAV_ReselectProfile(); // the new file is the active profile now
        return true;
    }
    const std::lock_guard<std::mutex> lock(g_WatchMutex);
    Watched* w = WatchOf(path);
    if (was_applied && w != nullptr) {
        w->applied = w->seen = DRAV_StampFile(path);
        w->pending = false;
    }
    return true;
}

bool DRAV_SettingsChangedOnDisk() {
    const std::lock_guard<std::mutex> lock(g_WatchMutex);
    bool stable = false;
    bool settling = false;
    for (int i = 0; i < g_WatchCount; ++i) {
        Watched& w = g_Watch[i];
        const DRAV_FileStamp now = DRAV_StampFile(w.path);
        if (now == w.applied) {
            w.pending = false;
            w.seen = now;
        } else if (!w.pending || !(now == w.seen)) {
            w.seen = now;
            w.pending = true;
            settling = true;
        } else {
            stable = true;
        }
    }
    return stable && !settling;
}

bool DRAV_ReselectProfile() {
    char file[kAircraftNameSize];
    char path[kProfilePathSize];
    snprintf(file, sizeof file, "%s", g_AcfFile);
    snprintf(path, sizeof path, "%s", g_AcfPath);
    return DRAV_SelectProfileFor(file, path);
}

namespace {

int ConfigInt(const char* key, const char* def) {
    char value[kPieceSize];
    DRAV_ReadLayeredPref("CONFIG", key, value, sizeof value, def);
    return DRAV_ParseIniInt(value);
}

float ConfigFloat(const char* key, const char* def) {
    char value[kPieceSize];
    DRAV_ReadLayeredPref("CONFIG", key, value, sizeof value, def);
    return DRAV_ParseIniFloat(value);
}

} // namespace

void DRAV_ReadConfigSettings() {
    const DRAV_SettingsSnapshot snapshot;
    g_QKNBReverseFix = ConfigInt("QKNBReverseFix", "0");
    g_RMKRSXEncoderType = ConfigInt("RMKRSXEncoderType", "1");
    g_ShowCustomDatarefs = ConfigInt("ShowCustomDatarefs", "0");
    g_QDGTP2AileronReverseFix = ConfigInt("QDGTP2AileronReverseFix", "0");
    g_QDGTP2ElevatorReverseFix = ConfigInt("QDGTP2ElevatorReverseFix", "0");
    g_QDGTP2RudderReverseFix = ConfigInt("QDGTP2RudderReverseFix", "0");
    g_QDGTP2LandingLightsReverseFix = ConfigInt("QDGTP2LandingLightsReverseFix", "0");
    g_ElevatorTrimIncrement = ConfigFloat("ElevatorTrimIncrement", "0.005");
    g_AileronTrimIncrement = ConfigFloat("AileronTrimIncrement", "0.001");
    g_RudderTrimIncrement = ConfigFloat("RudderTrimIncrement", "0.001");
    g_RotorTrimIncrement = ConfigFloat("RotorTrimIncrement", "0.001");
    g_QDTHQUsePropMinimumOfZero = ConfigInt("QDTHQUsePropMinimumOfZero", "0");
    g_QDTHQUseSpeedBrakeArmed = ConfigInt("QDTHQUseSpeedBrakeArmed", "0");
    g_ComChannelSpacing = ConfigInt("ComChannelSpacing", "25");
}

namespace {

// Checks the files four times a second off the simulator's thread: a stat is a system call, and
// the refresh pass only looks at the flag. A change is stable after two checks, so the refresh
// after it registers the units within a second of the edit.
class WatchThread {
  public:
    ~WatchThread() { Stop(); }
    void Start() {
        Stop();
        stop_ = false;
        thread_ = std::thread([this] { Run(); });
    }
    void Stop() {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        if (thread_.joinable()) thread_.join();
    }

  private:
    void Run() {
        std::unique_lock<std::mutex> lock(mutex_);
        while (!wake_.wait_for(lock, std::chrono::milliseconds(250), [this] { return stop_; })) {
            lock.unlock();
            if (DRAV_SettingsChangedOnDisk()) g_ChangeReady.store(true, std::memory_order_release);
            lock.lock();
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
    std::thread thread_;
};

WatchThread g_WatchThread;

} // namespace

void DRAV_StartSettingsWatch() {
    g_WatchThread.Start();
}

void DRAV_StopSettingsWatch() {
    g_WatchThread.Stop();
}

bool DRAV_TakeSettingsChange() {
    return g_ChangeReady.load(std::memory_order_acquire) && g_ChangeReady.exchange(false);
}
