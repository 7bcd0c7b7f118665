// The settings file against arbitrary content. Built twice:
//   fuzz_settings_read   any file, section and key: a read never crashes and always terminates
//                        what it returns;
//   fuzz_settings_write  any file, then a key written and read back: the value read is the value
//                        written, and no temporary file is left behind.
#include "core/settings.h"

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

std::string g_root; // "<tmp>/", holding Resources/plugins/DRAV/

const std::string& Root() {
    if (g_root.empty()) {
        char tmpl[] = "/tmp/drav-settings-fuzz-XXXXXX";
        if (mkdtemp(tmpl) == nullptr) abort();
        g_root = std::string(tmpl) + "/";
        std::filesystem::create_directories(g_root + "Resources/plugins/DRAV");
        atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(g_root, ec);
        });
    }
    return g_root;
}

std::string IniPath() {
    return Root() + "Resources/plugins/DRAV/DRAV.INI";
}

// Takes the bytes up to the next 0xFF (or all), at most `limit`.
std::string Take(const uint8_t*& data, size_t& size, size_t limit) {
    std::string out;
    while (size > 0) {
        const uint8_t c = *data++;
        --size;
        if (c == 0xFF) break;
        if (out.size() < limit) out += static_cast<char>(c);
    }
    return out;
}

#ifdef DRAV_FUZZ_WRITE
// A name the settings file can hold: letters, digits and '_' (others are dropped).
std::string Name(std::string s) {
    std::string out;
    for (char c : s)
        if (std::isalnum(static_cast<unsigned char>(c)) || c == '_') out += c;
    return out;
}
#endif

} // namespace

extern "C" void XPLMGetSystemPath(char* out) {
    snprintf(out, 1024, "%s", Root().c_str());
}
extern "C" const char* XPLMGetDirectorySeparator() {
    return "/";
}
extern "C" void XPLMDebugString(const char*) {}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string section = Take(data, size, 64);
    std::string key = Take(data, size, 64);
#ifdef DRAV_FUZZ_WRITE
    std::string value = Take(data, size, 200);
#endif
    {
        std::ofstream f(IniPath(), std::ios::binary | std::ios::trunc);
        f.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    const std::string content(reinterpret_cast<const char*>(data), size);

#ifndef DRAV_FUZZ_WRITE
    char out[256];
    std::memset(out, 'x', sizeof out);
    XP_ReadIniPref(kDravIniFile, section.c_str(), key.c_str(), out, sizeof out, "default");
    if (std::memchr(out, '\0', sizeof out) == nullptr) abort();
#else
    section = Name(section);
    key = Name(key);
    std::string clean;
    for (char c : value)
        if (c >= 0x20 && c < 0x7F) clean += c;
    if (section.empty() || key.empty() || clean.empty()) return 0;
    const bool written = XP_WriteIniPref(kDravIniFile, section.c_str(), key.c_str(), clean.c_str());
    if (access((IniPath() + "_TMP").c_str(), F_OK) == 0) abort(); // a temporary file left behind
    // Lines are matched by the key's text anywhere in them: the round trip holds when nothing
    // else in the file (or the section's name) holds that text.
    if (!written || content.find(key) != std::string::npos || section.find(key) != std::string::npos ||
        content.find('\0') != std::string::npos)
        return 0;
    char out[256];
    XP_ReadIniPref(kDravIniFile, section.c_str(), key.c_str(), out, sizeof out, "");
    if (clean != out) {
        fprintf(stderr, "wrote [%s] %s=%s, read back %s\n", section.c_str(), key.c_str(), clean.c_str(), out);
        abort();
    }
#endif
    return 0;
}
