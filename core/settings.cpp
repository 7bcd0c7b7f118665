#include "settings.h"

#include "globals.h"
#include "log.h"
#include "paths.h"
#include "platform.h"

#include "XPLMUtilities.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kLineSize = 256; // lines are read in pieces of at most 255 characters
constexpr int kPathSize = 1024;

// Copies src into dst of dst_size bytes; always terminates.
void CopyBounded(char* dst, size_t dst_size, const char* src) {
    if (dst_size == 0) return;
    snprintf(dst, dst_size, "%s", src ? src : "");
}

bool IsLineEnd(char c) {
    return c == '\r' || c == '\n';
}

} // namespace

char* QDXP_fgets_multiplatform(char* buf, int size, FILE* file) {
    if (!buf || !file || size < 2) return nullptr;
    int n = 0;
    bool at_eof = false;
    while (n < size - 1) {
        const int c = fgetc(file);
        if (c == EOF) {
            at_eof = true;
            break;
        }
        buf[n++] = static_cast<char>(c);
        if (IsLineEnd(static_cast<char>(c))) break;
    }
    if (n == 0 && at_eof) return nullptr;

    buf[n] = '\0';
    int end = n > 0 && IsLineEnd(buf[n - 1]) ? buf[n - 1] : EOF;
    if (end != EOF) {
        buf[n - 1] = '\0';
    } else if (!at_eof) {
        // A line end right after a full piece belongs to that piece, not to an empty line
        // (else every rewrite would add one).
        const int c = fgetc(file);
        if (c != EOF && IsLineEnd(static_cast<char>(c)))
            end = c;
        else if (c != EOF)
            ungetc(c, file);
    }
    // CRLF and LFCR each end one line: swallow the partner of the line end just read.
    if (end != EOF) {
        const int partner = end == '\r' ? '\n' : '\r';
        const int c = fgetc(file);
        if (c != partner && c != EOF) ungetc(c, file);
    }
    return buf;
}

void XP_ReadIniPref(const char* file, const char* section, const char* key, char* out, size_t out_size,
                    const char* def) {
    char path[kPathSize];
    const bool path_ok = DRAV_BuildPluginPath(file, path, sizeof path);
    char header[kLineSize];
    snprintf(header, sizeof header, "[%s]", section);

    // Build the result apart from out: a caller may pass its own buffer as the default.
    char value[kLineSize];
    bool found = false;
    if (FILE* f = path_ok ? DRAV_OpenFile(path, "r") : nullptr) {
        char line[kLineSize];
        bool in_section = false;
        while (QDXP_fgets_multiplatform(line, sizeof line, f)) {
            if (strstr(line, header)) {
                in_section = true;
                break;
            }
        }
        const size_t key_len = strlen(key);
        while (in_section && QDXP_fgets_multiplatform(line, sizeof line, f)) {
            char* at = line[0] != ';' ? strstr(line, key) : nullptr;
            if (at) {
                if (char* lf = strchr(line, '\n')) *lf = '\0';
                // The character after the key is the "=" and is skipped, whatever it is;
                // a key at the very end of the line has an empty value.
                const char* start = at + key_len;
                if (*start != '\0') ++start;
                CopyBounded(value, sizeof value, start);
                found = true;
                break;
            }
            if (line[0] == '[') break;
        }
        fclose(f);
    }
    if (!found) CopyBounded(value, sizeof value, def);

    if (strcmp(header, "[DEBUG]") != 0 && g_DRAV_DebugEnabled == 1 && g_DRAV_DebugFunctionAssignments == 1) {
        DRAV_WriteToLogf("file: %s, found: %d, section: %s, key: %s, value: %s, default: %s", file,
                         found ? 1 : 0, header, key, value, def ? def : "");
    }
    CopyBounded(out, out_size, value);
}

namespace {

// Writes text + LF; remembers a failure so that a short write never replaces the file.
struct LineWriter {
    FILE* f;
    bool failed = false;
    void Line(const char* a, const char* b = "") {
        if (fputs(a, f) < 0 || fputs(b, f) < 0 || fputc('\n', f) == EOF) failed = true;
    }
};

// Says in the simulator's log (and DRAV's) that a pick was not saved.
void LogWriteFailure(const char* path, const char* why) {
    char line[kPathSize + 96];
    snprintf(line, sizeof line, "DRAV: settings not saved to %s: %s\n", path, why);
    XPLMDebugString(line);
    line[strcspn(line, "\n")] = '\0';
    DRAV_WriteToLog(line);
}

} // namespace

bool XP_WriteIniPref(const char* file, const char* section, const char* key, const char* value) {
    char path[kPathSize];
    if (!DRAV_BuildPluginPath(file, path, sizeof path)) return false;
    char tmp_path[kPathSize + 8];
    snprintf(tmp_path, sizeof tmp_path, "%s_TMP", path);
    char header[kLineSize];
    snprintf(header, sizeof header, "[%s]", section);
    char prefix[kLineSize];
    snprintf(prefix, sizeof prefix, "%s=", key);
    if (!value) value = "";
    const bool has_value = value[0] != '\0';

    FILE* in = DRAV_OpenFile(path, "r");
    if (!in) {
        if (FILE* created = DRAV_OpenFile(path, "w")) fclose(created);
        in = DRAV_OpenFile(path, "r");
    }
    // A DRAV.INI_TMP left by a killed write is truncated and reused.
    FILE* out = DRAV_OpenFile(tmp_path, "w");
    if (!in || !out) {
        const int why = errno;
        if (in) fclose(in);
        if (out) fclose(out);
        remove(tmp_path);
        LogWriteFailure(path, strerror(why));
        return false;
    }

    LineWriter w{out};
    bool changed = false;
    bool section_found = false;
    bool in_section = false;
    bool key_done = false;
    char line[kLineSize];
    while (QDXP_fgets_multiplatform(line, sizeof line, in)) {
        if (in_section) {
            if (line[0] == '[') {
                if (!key_done && has_value) {
                    w.Line(prefix, value);
                    changed = true;
                }
                key_done = true;
                in_section = false;
            } else if (line[0] != ';' && strstr(line, prefix)) {
                // First key line is replaced (or dropped for an empty value); later ones are dropped.
                if (!key_done && has_value) w.Line(prefix, value);
                key_done = true;
                changed = true;
                continue;
            } else {
                w.Line(line);
                continue;
            }
        }
        w.Line(line);
        // A later section with the same header is handled the same way.
        if (strstr(line, header)) {
            section_found = true;
            in_section = true;
        }
    }
    if (!section_found && has_value) {
        w.Line(header);
        w.Line(prefix, value);
        changed = true;
    } else if (in_section && !key_done && has_value) {
        w.Line(prefix, value);
        changed = true;
    }
    // A read error (DRAV.INI a folder, an I/O error) must not pass for the end of the file:
    // the copy would lose the rest of the settings.
    bool ok = !ferror(in) && !w.failed;
    fclose(in);

    // Only a complete, flushed file may take the settings file's place; the replacement is
    // atomic, so a crash leaves either the old or the new file, never neither.
    ok = ok && DRAV_SyncFile(out);
    if (fclose(out) != 0) ok = false;
    const int why = errno;
    if (!changed && ok) {
        remove(tmp_path);
        return true;
    }
    if (ok && DRAV_ReplaceFile(tmp_path, path)) return true;
    const int replace_why = errno;
    remove(tmp_path);
    LogWriteFailure(path, strerror(ok ? replace_why : why));
    return false;
}

int DRAV_ParseIniInt(const char* text) {
    if (!text) return 0;
    errno = 0;
    const long v = strtol(text, nullptr, 10);
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return static_cast<int>(v);
}

float DRAV_ParseIniFloat(const char* text) {
    return text ? strtof(text, nullptr) : 0.0f;
}

namespace {

int ReadInt(const char* section, const char* key, const char* def) {
    char value[kLineSize];
    XP_ReadIniPref(kDravIniFile, section, key, value, def);
    return DRAV_ParseIniInt(value);
}

} // namespace

void DRAV_ReadDebugSettings() {
    g_DRAV_DebugEnabled = ReadInt("DEBUG", "DebugEnabled", "0");
    g_DRAV_DebugViewEnabled = ReadInt("DEBUG", "DebugViewEnabled", "0");
    g_DRAV_DebugFunctionAssignments = ReadInt("DEBUG", "DebugFunctionAssignments", "0");
    g_DRAV_DebugDeviceInfo = ReadInt("DEBUG", "DebugDeviceInfo", "0");
    g_DRAV_DebugRegisterFunction = ReadInt("DEBUG", "DebugRegisterFunction", "0");
    g_DRAV_DebugGetButtonFunction = ReadInt("DEBUG", "DebugGetButtonFunction", "0");
    g_DRAV_DebugHandleInputFunction = ReadInt("DEBUG", "DebugHandleInputFunction", "0");
    g_DRAV_DebugSetDisplayFunction = ReadInt("DEBUG", "DebugSetDisplayFunction", "0");
}
