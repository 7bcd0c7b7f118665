// Data access: the simulator's datarefs from the data file, plug-in datarefs through their
// accessors, and the test API to read and write both by name.
#include "host.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace hostsim {

void Dataref::ClearAccessors() {
    gi = nullptr;
    si = nullptr;
    gf = nullptr;
    sf = nullptr;
    gd = nullptr;
    sd = nullptr;
    gvi = nullptr;
    svi = nullptr;
    gvf = nullptr;
    svf = nullptr;
    gb = nullptr;
    sb = nullptr;
    read_ref = nullptr;
    write_ref = nullptr;
}

namespace {

Dataref* Live(XPLMDataRef ref) {
    auto* d = static_cast<Dataref*>(ref);
    return (d != nullptr && d->alive) ? d : nullptr;
}

bool ParseNumberList(const std::string& text, std::vector<double>* out) {
    out->clear();
    std::stringstream ss(text);
    std::string item;
    while (std::getline(ss, item, ',')) {
        if (item.empty()) return false;
        char* end = nullptr;
        errno = 0;
        const double v = std::strtod(item.c_str(), &end);
        if (errno != 0 || end == item.c_str() || *end != '\0') return false;
        out->push_back(v);
    }
    return !out->empty();
}

// Copies elements [offset, offset + max) of a stored array, clipped to its end.
template <typename T> int CopyOut(const std::vector<T>& from, T* out, int offset, int max) {
    const int size = static_cast<int>(from.size());
    if (out == nullptr) return size;
    if (offset < 0 || max <= 0 || offset >= size) return 0;
    const int n = std::min(max, size - offset);
    std::copy(from.begin() + offset, from.begin() + offset + n, out);
    return n;
}

template <typename T> void CopyIn(std::vector<T>* to, const T* in, int offset, int count) {
    const int size = static_cast<int>(to->size());
    if (in == nullptr || offset < 0 || count <= 0 || offset >= size) return;
    const int n = std::min(count, size - offset);
    std::copy(in, in + n, to->begin() + offset);
}

bool StoreTable(const std::string& text, std::string* error) {
    std::vector<std::unique_ptr<Dataref>> fresh;
    std::istringstream in(text);
    std::string line;
    int line_no = 0;
    while (std::getline(in, line)) {
        ++line_no;
        std::string name, type, initial;
        bool writable = true;
        const size_t first = line.find_first_not_of(" \t\r");
        if (first == std::string::npos || line[first] == '#') continue;
        std::unique_ptr<Dataref> d;
        if (!ParseDatarefLine(line, &name, &type, &initial, &writable) ||
            !MakeSimDataref(name, type, initial, writable, &d)) {
            if (error != nullptr) *error = "bad dataref line " + std::to_string(line_no) + ": " + line;
            return false;
        }
        fresh.push_back(std::move(d));
    }
    Host& h = H();
    // Simulator datarefs are replaced; plug-in datarefs stay.
    for (auto& [name, d] : h.dataref_by_name) {
        if (!d->plugin_owned) d->alive = false;
    }
    for (auto it = h.dataref_by_name.begin(); it != h.dataref_by_name.end();) {
        if (!it->second->alive) {
            it = h.dataref_by_name.erase(it);
        } else {
            ++it;
        }
    }
    for (auto& d : fresh) {
        if (h.dataref_by_name.count(d->name) != 0) continue; // a plug-in's dataref of the same name wins
        h.dataref_by_name[d->name] = d.get();
        h.datarefs.push_back(std::move(d));
    }
    return true;
}

bool ReadFile(const std::string& path, std::string* text, std::string* error) {
    std::ifstream f(path);
    if (!f) {
        if (error != nullptr) *error = "cannot read " + path;
        return false;
    }
    std::stringstream ss;
    ss << f.rdbuf();
    *text = ss.str();
    return true;
}

} // namespace

bool ParseDatarefLine(const std::string& line, std::string* name, std::string* type, std::string* initial,
                      bool* writable) {
    std::istringstream in(line);
    std::string flag;
    if (!(in >> *name >> *type >> *initial)) return false;
    *writable = true;
    if (in >> flag) {
        if (flag != "ro") return false;
        *writable = false;
    }
    return !(in >> flag);
}

bool MakeSimDataref(const std::string& name, const std::string& type, const std::string& initial,
                    bool writable, std::unique_ptr<Dataref>* out) {
    auto d = std::make_unique<Dataref>();
    d->name = name;
    d->toggles_autopilot = name == kAutopilotState;
    d->writable = writable;
    d->registered_at = H().now;
    std::string base = type;
    int size = 1;
    const size_t br = type.find('[');
    if (br != std::string::npos) {
        if (type.back() != ']') return false;
        base = type.substr(0, br);
        const std::string n = type.substr(br + 1, type.size() - br - 2);
        char* end = nullptr;
        const long v = std::strtol(n.c_str(), &end, 10);
        if (n.empty() || *end != '\0' || v <= 0 || v > 65536) return false;
        size = static_cast<int>(v);
    }
    const bool is_array = br != std::string::npos;
    if (base == "byte") {
        if (!is_array) return false;
        d->types = xplmType_Data;
        d->b.assign(static_cast<size_t>(size), 0);
        if (initial != "-") {
            for (size_t k = 0; k < initial.size() && k < d->b.size(); ++k)
                d->b[k] = static_cast<uint8_t>(initial[k]);
        }
        *out = std::move(d);
        return true;
    }
    std::vector<double> values;
    if (!ParseNumberList(initial, &values)) return false;
    if (!is_array && values.size() != 1) return false;
    if (is_array && values.size() != 1 && static_cast<int>(values.size()) > size) return false;
    auto value_at = [&](int k) {
        if (values.size() == 1) return values[0];
        return k < static_cast<int>(values.size()) ? values[static_cast<size_t>(k)] : 0.0;
    };
    if (base == "int") {
        if (is_array) {
            d->types = xplmType_IntArray;
            for (int k = 0; k < size; ++k)
                d->vi.push_back(static_cast<int>(value_at(k)));
        } else {
            d->types = xplmType_Int;
            d->i = static_cast<int>(values[0]);
        }
    } else if (base == "float") {
        if (is_array) {
            d->types = xplmType_FloatArray;
            for (int k = 0; k < size; ++k)
                d->vf.push_back(static_cast<float>(value_at(k)));
        } else {
            d->types = xplmType_Float;
            d->f = static_cast<float>(values[0]);
        }
    } else if (base == "double" && !is_array) {
        d->types = xplmType_Double;
        d->d = values[0];
    } else {
        return false;
    }
    *out = std::move(d);
    return true;
}

void LoadBuiltinDatarefs() {
    std::string error;
    StoreTable(EmbeddedDatarefs(), &error);
}

Dataref* FindLiveDataref(const std::string& name) {
    auto it = H().dataref_by_name.find(name);
    if (it == H().dataref_by_name.end() || !it->second->alive) return nullptr;
    return it->second;
}

// The simulator toggles the autopilot modes of the bits written to autopilot_state.
void ToggleAutopilotBits(int bits) {
    Dataref* d = FindLiveDataref(kAutopilotState);
    if (d != nullptr && !d->plugin_owned && (d->types & xplmType_Int) != 0) d->i ^= bits;
}

// ---------------------------------------------------------------------------------------------
// Test API

bool LoadDatarefFile(const std::string& path, std::string* error) {
    std::string text;
    if (!ReadFile(path, &text, error)) return false;
    return StoreTable(text, error);
}

void RemoveDataref(const std::string& name) {
    Host& h = H();
    auto it = h.dataref_by_name.find(name);
    if (it == h.dataref_by_name.end()) return;
    it->second->alive = false;
    it->second->ClearAccessors();
    h.dataref_by_name.erase(it);
}

void RemoveDatarefs(const std::string& prefix) {
    std::vector<std::string> names;
    for (const auto& [name, d] : H().dataref_by_name) {
        if (!d->plugin_owned && name.compare(0, prefix.size(), prefix) == 0) names.push_back(name);
    }
    for (const auto& name : names)
        RemoveDataref(name);
}

bool AddDataref(const std::string& name, const std::string& type, const std::string& initial, bool writable) {
    std::unique_ptr<Dataref> d;
    if (!MakeSimDataref(name, type, initial, writable, &d)) return false;
    RemoveDataref(name);
    Host& h = H();
    h.dataref_by_name[name] = d.get();
    h.datarefs.push_back(std::move(d));
    return true;
}

bool HasDataref(const std::string& name) {
    return FindLiveDataref(name) != nullptr;
}

int GetInt(const std::string& name) {
    return XPLMGetDatai(FindLiveDataref(name));
}
float GetFloat(const std::string& name) {
    return XPLMGetDataf(FindLiveDataref(name));
}
double GetDouble(const std::string& name) {
    return XPLMGetDatad(FindLiveDataref(name));
}

std::vector<int> GetInts(const std::string& name) {
    Dataref* d = FindLiveDataref(name);
    const int n = XPLMGetDatavi(d, nullptr, 0, 0);
    std::vector<int> v(static_cast<size_t>(std::max(n, 0)));
    if (n > 0) v.resize(static_cast<size_t>(std::max(XPLMGetDatavi(d, v.data(), 0, n), 0)));
    return v;
}

std::vector<float> GetFloats(const std::string& name) {
    Dataref* d = FindLiveDataref(name);
    const int n = XPLMGetDatavf(d, nullptr, 0, 0);
    std::vector<float> v(static_cast<size_t>(std::max(n, 0)));
    if (n > 0) v.resize(static_cast<size_t>(std::max(XPLMGetDatavf(d, v.data(), 0, n), 0)));
    return v;
}

std::vector<uint8_t> GetBytes(const std::string& name) {
    Dataref* d = FindLiveDataref(name);
    const int n = XPLMGetDatab(d, nullptr, 0, 0);
    std::vector<uint8_t> v(static_cast<size_t>(std::max(n, 0)));
    if (n > 0) v.resize(static_cast<size_t>(std::max(XPLMGetDatab(d, v.data(), 0, n), 0)));
    return v;
}

std::string GetString(const std::string& name) {
    const std::vector<uint8_t> b = GetBytes(name);
    std::string s(b.begin(), b.end());
    const size_t nul = s.find('\0');
    return nul == std::string::npos ? s : s.substr(0, nul);
}

// Test setters store simulator values as they are; plug-in datarefs get their setters called.
bool SetInt(const std::string& name, int value) {
    Dataref* d = FindLiveDataref(name);
    if (d == nullptr || (d->types & xplmType_Int) == 0) return false;
    if (d->plugin_owned) {
        if (d->si == nullptr) return false;
        d->si(d->write_ref, value);
    } else {
        d->i = value;
    }
    return true;
}

bool SetFloat(const std::string& name, float value) {
    Dataref* d = FindLiveDataref(name);
    if (d == nullptr || (d->types & xplmType_Float) == 0) return false;
    if (d->plugin_owned) {
        if (d->sf == nullptr) return false;
        d->sf(d->write_ref, value);
    } else {
        d->f = value;
    }
    return true;
}

bool SetDouble(const std::string& name, double value) {
    Dataref* d = FindLiveDataref(name);
    if (d == nullptr || (d->types & xplmType_Double) == 0) return false;
    if (d->plugin_owned) {
        if (d->sd == nullptr) return false;
        d->sd(d->write_ref, value);
    } else {
        d->d = value;
    }
    return true;
}

bool SetInts(const std::string& name, const std::vector<int>& values, int offset) {
    Dataref* d = FindLiveDataref(name);
    if (d == nullptr || (d->types & xplmType_IntArray) == 0) return false;
    std::vector<int> copy = values;
    if (d->plugin_owned) {
        if (d->svi == nullptr) return false;
        d->svi(d->write_ref, copy.data(), offset, static_cast<int>(copy.size()));
    } else {
        CopyIn(&d->vi, copy.data(), offset, static_cast<int>(copy.size()));
    }
    return true;
}

bool SetFloats(const std::string& name, const std::vector<float>& values, int offset) {
    Dataref* d = FindLiveDataref(name);
    if (d == nullptr || (d->types & xplmType_FloatArray) == 0) return false;
    std::vector<float> copy = values;
    if (d->plugin_owned) {
        if (d->svf == nullptr) return false;
        d->svf(d->write_ref, copy.data(), offset, static_cast<int>(copy.size()));
    } else {
        CopyIn(&d->vf, copy.data(), offset, static_cast<int>(copy.size()));
    }
    return true;
}

bool SetBytes(const std::string& name, const std::vector<uint8_t>& values, int offset) {
    Dataref* d = FindLiveDataref(name);
    if (d == nullptr || (d->types & xplmType_Data) == 0) return false;
    std::vector<uint8_t> copy = values;
    if (d->plugin_owned) {
        if (d->sb == nullptr) return false;
        d->sb(d->write_ref, copy.data(), offset, static_cast<int>(copy.size()));
    } else {
        CopyIn(&d->b, copy.data(), offset, static_cast<int>(copy.size()));
    }
    return true;
}

bool SetString(const std::string& name, const std::string& text) {
    std::vector<uint8_t> bytes(text.begin(), text.end());
    bytes.push_back(0);
    return SetBytes(name, bytes, 0);
}

std::vector<std::string> DatarefNames() {
    std::vector<std::string> names;
    for (const auto& d : H().datarefs)
        if (d->alive) names.push_back(d->name);
    return names;
}

int DatarefTypes(const std::string& name) {
    const Dataref* d = FindLiveDataref(name);
    return d != nullptr ? d->types : 0;
}

namespace {
template <typename T> std::string NumberText(T value) {
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, r.ptr);
}
template <typename T> std::string ListText(const std::vector<T>& values) {
    std::string text;
    for (size_t i = 0; i < values.size(); ++i)
        text += (i ? "," : "") + NumberText(values[i]);
    return text;
}
} // namespace

std::string DatarefText(const std::string& name) {
    const int types = DatarefTypes(name);
    if (types & xplmType_Float) return NumberText(GetFloat(name));
    if (types & xplmType_Double) return NumberText(GetDouble(name));
    if (types & xplmType_Int) return NumberText(GetInt(name));
    if (types & xplmType_FloatArray) return ListText(GetFloats(name));
    if (types & xplmType_IntArray) return ListText(GetInts(name));
    if (types & xplmType_Data) return GetString(name);
    return {};
}

std::vector<RegisteredDataref> PluginDatarefs() {
    std::vector<RegisteredDataref> out;
    for (const auto& d : H().datarefs) {
        if (!d->plugin_owned) continue;
        RegisteredDataref r;
        r.name = d->name;
        r.types = d->types;
        r.writable = d->writable;
        r.registered = d->unregistered_at < 0;
        r.registered_at = d->registered_at;
        r.unregistered_at = d->unregistered_at;
        out.push_back(r);
    }
    return out;
}

} // namespace hostsim

// -------------------------------------------------------------------------------------------------
// SDK functions

using hostsim::Dataref;
using hostsim::H;

XPLMDataRef XPLMFindDataRef(const char* inDataRefName) {
    if (inDataRefName == nullptr) return nullptr;
    return hostsim::FindLiveDataref(inDataRefName);
}

int XPLMCanWriteDataRef(XPLMDataRef inDataRef) {
    Dataref* d = hostsim::Live(inDataRef);
    return (d != nullptr && d->writable) ? 1 : 0;
}

int XPLMIsDataRefGood(XPLMDataRef inDataRef) {
    return hostsim::Live(inDataRef) != nullptr ? 1 : 0;
}

XPLMDataTypeID XPLMGetDataRefTypes(XPLMDataRef inDataRef) {
    Dataref* d = hostsim::Live(inDataRef);
    return d != nullptr ? d->types : xplmType_Unknown;
}

int XPLMCountDataRefs(void) {
    return static_cast<int>(H().dataref_by_name.size());
}

void XPLMGetDataRefsByIndex(int offset, int count, XPLMDataRef* outDataRefs) {
    if (outDataRefs == nullptr || offset < 0 || count <= 0) return;
    int index = 0;
    int written = 0;
    for (const auto& d : H().datarefs) {
        if (!d->alive) continue;
        if (index++ < offset) continue;
        if (written == count) break;
        outDataRefs[written++] = d.get();
    }
    for (; written < count; ++written)
        outDataRefs[written] = nullptr;
}

void XPLMGetDataRefInfo(XPLMDataRef inDataRef, XPLMDataRefInfo_t* outInfo) {
    Dataref* d = hostsim::Live(inDataRef);
    if (outInfo == nullptr || d == nullptr) return;
    outInfo->name = d->name.c_str();
    outInfo->type = d->types;
    outInfo->writable = d->writable ? 1 : 0;
    outInfo->owner = d->owner;
}

int XPLMGetDatai(XPLMDataRef inDataRef) {
    Dataref* d = hostsim::Live(inDataRef);
    if (d == nullptr || (d->types & xplmType_Int) == 0) return 0;
    if (!d->plugin_owned) return d->i;
    return d->gi != nullptr ? d->gi(d->read_ref) : 0;
}

void XPLMSetDatai(XPLMDataRef inDataRef, int inValue) {
    Dataref* d = hostsim::Live(inDataRef);
    if (d == nullptr || !d->writable || (d->types & xplmType_Int) == 0) return;
    if (d->plugin_owned) {
        if (d->si != nullptr) d->si(d->write_ref, inValue);
    } else if (d->toggles_autopilot) {
        d->i ^= inValue; // the simulator toggles the modes of the bits written
    } else {
        d->i = inValue;
    }
}

float XPLMGetDataf(XPLMDataRef inDataRef) {
    Dataref* d = hostsim::Live(inDataRef);
    if (d == nullptr || (d->types & xplmType_Float) == 0) return 0.0f;
    if (!d->plugin_owned) return d->f;
    return d->gf != nullptr ? d->gf(d->read_ref) : 0.0f;
}

void XPLMSetDataf(XPLMDataRef inDataRef, float inValue) {
    Dataref* d = hostsim::Live(inDataRef);
    if (d == nullptr || !d->writable || (d->types & xplmType_Float) == 0) return;
    if (d->plugin_owned) {
        if (d->sf != nullptr) d->sf(d->write_ref, inValue);
    } else {
        d->f = inValue;
    }
}

double XPLMGetDatad(XPLMDataRef inDataRef) {
    Dataref* d = hostsim::Live(inDataRef);
    if (d == nullptr || (d->types & xplmType_Double) == 0) return 0.0;
    if (!d->plugin_owned) return d->d;
    return d->gd != nullptr ? d->gd(d->read_ref) : 0.0;
}

void XPLMSetDatad(XPLMDataRef inDataRef, double inValue) {
    Dataref* d = hostsim::Live(inDataRef);
    if (d == nullptr || !d->writable || (d->types & xplmType_Double) == 0) return;
    if (d->plugin_owned) {
        if (d->sd != nullptr) d->sd(d->write_ref, inValue);
    } else {
        d->d = inValue;
    }
}

int XPLMGetDatavi(XPLMDataRef inDataRef, int* outValues, int inOffset, int inMax) {
    Dataref* d = hostsim::Live(inDataRef);
    if (d == nullptr || (d->types & xplmType_IntArray) == 0) return 0;
    if (!d->plugin_owned) return hostsim::CopyOut(d->vi, outValues, inOffset, inMax);
    return d->gvi != nullptr ? d->gvi(d->read_ref, outValues, inOffset, inMax) : 0;
}

void XPLMSetDatavi(XPLMDataRef inDataRef, int* inValues, int inoffset, int inCount) {
    Dataref* d = hostsim::Live(inDataRef);
    if (d == nullptr || !d->writable || (d->types & xplmType_IntArray) == 0) return;
    if (d->plugin_owned) {
        if (d->svi != nullptr) d->svi(d->write_ref, inValues, inoffset, inCount);
    } else {
        hostsim::CopyIn(&d->vi, inValues, inoffset, inCount);
    }
}

int XPLMGetDatavf(XPLMDataRef inDataRef, float* outValues, int inOffset, int inMax) {
    Dataref* d = hostsim::Live(inDataRef);
    if (d == nullptr || (d->types & xplmType_FloatArray) == 0) return 0;
    if (!d->plugin_owned) return hostsim::CopyOut(d->vf, outValues, inOffset, inMax);
    return d->gvf != nullptr ? d->gvf(d->read_ref, outValues, inOffset, inMax) : 0;
}

void XPLMSetDatavf(XPLMDataRef inDataRef, float* inValues, int inoffset, int inCount) {
    Dataref* d = hostsim::Live(inDataRef);
    if (d == nullptr || !d->writable || (d->types & xplmType_FloatArray) == 0) return;
    if (d->plugin_owned) {
        if (d->svf != nullptr) d->svf(d->write_ref, inValues, inoffset, inCount);
    } else {
        hostsim::CopyIn(&d->vf, inValues, inoffset, inCount);
    }
}

int XPLMGetDatab(XPLMDataRef inDataRef, void* outValue, int inOffset, int inMaxBytes) {
    Dataref* d = hostsim::Live(inDataRef);
    if (d == nullptr || (d->types & xplmType_Data) == 0) return 0;
    if (!d->plugin_owned)
        return hostsim::CopyOut(d->b, static_cast<uint8_t*>(outValue), inOffset, inMaxBytes);
    return d->gb != nullptr ? d->gb(d->read_ref, outValue, inOffset, inMaxBytes) : 0;
}

void XPLMSetDatab(XPLMDataRef inDataRef, void* inValue, int inOffset, int inLength) {
    Dataref* d = hostsim::Live(inDataRef);
    if (d == nullptr || !d->writable || (d->types & xplmType_Data) == 0) return;
    if (d->plugin_owned) {
        if (d->sb != nullptr) d->sb(d->write_ref, inValue, inOffset, inLength);
    } else {
        hostsim::CopyIn(&d->b, static_cast<const uint8_t*>(inValue), inOffset, inLength);
    }
}

XPLMDataRef XPLMRegisterDataAccessor(const char* inDataName, XPLMDataTypeID inDataType, int inIsWritable,
                                     XPLMGetDatai_f inReadInt, XPLMSetDatai_f inWriteInt,
                                     XPLMGetDataf_f inReadFloat, XPLMSetDataf_f inWriteFloat,
                                     XPLMGetDatad_f inReadDouble, XPLMSetDatad_f inWriteDouble,
                                     XPLMGetDatavi_f inReadIntArray, XPLMSetDatavi_f inWriteIntArray,
                                     XPLMGetDatavf_f inReadFloatArray, XPLMSetDatavf_f inWriteFloatArray,
                                     XPLMGetDatab_f inReadData, XPLMSetDatab_f inWriteData,
                                     void* inReadRefcon, void* inWriteRefcon) {
    if (inDataName == nullptr || inDataName[0] == '\0') return nullptr;
    hostsim::Host& h = H();
    auto d = std::make_unique<Dataref>();
    d->name = inDataName;
    d->types = inDataType;
    d->writable = inIsWritable != 0;
    d->plugin_owned = true;
    d->owner = h.loaded != nullptr ? h.loaded->id : hostsim::kSimulatorId;
    d->registered_at = h.now;
    d->gi = inReadInt;
    d->si = inWriteInt;
    d->gf = inReadFloat;
    d->sf = inWriteFloat;
    d->gd = inReadDouble;
    d->sd = inWriteDouble;
    d->gvi = inReadIntArray;
    d->svi = inWriteIntArray;
    d->gvf = inReadFloatArray;
    d->svf = inWriteFloatArray;
    d->gb = inReadData;
    d->sb = inWriteData;
    d->read_ref = inReadRefcon;
    d->write_ref = inWriteRefcon;
    // A second registration of a name replaces the first for later lookups.
    auto old = h.dataref_by_name.find(d->name);
    if (old != h.dataref_by_name.end() && !old->second->plugin_owned) old->second->alive = false;
    h.dataref_by_name[d->name] = d.get();
    Dataref* raw = d.get();
    h.datarefs.push_back(std::move(d));
    return raw;
}

void XPLMUnregisterDataAccessor(XPLMDataRef inDataRef) {
    Dataref* d = hostsim::Live(inDataRef);
    if (d == nullptr || !d->plugin_owned) return;
    hostsim::Host& h = H();
    d->alive = false;
    d->unregistered_at = h.now;
    d->ClearAccessors();
    auto it = h.dataref_by_name.find(d->name);
    if (it != h.dataref_by_name.end() && it->second == d) h.dataref_by_name.erase(it);
}

// Shared data: a plain stored dataref that any plug-in may create; change notifications are not
// delivered (nothing in the plug-in relies on them).
int XPLMShareData(const char* inDataName, XPLMDataTypeID inDataType, XPLMDataChanged_f, void*) {
    if (inDataName == nullptr) return 0;
    Dataref* existing = hostsim::FindLiveDataref(inDataName);
    if (existing != nullptr) return existing->types == inDataType ? 1 : 0;
    const char* type = nullptr;
    switch (inDataType) {
    case xplmType_Int:
        type = "int";
        break;
    case xplmType_Float:
        type = "float";
        break;
    case xplmType_Double:
        type = "double";
        break;
    case xplmType_IntArray:
        type = "int[8]";
        break;
    case xplmType_FloatArray:
        type = "float[8]";
        break;
    case xplmType_Data:
        type = "byte[256]";
        break;
    default:
        return 0;
    }
    return hostsim::AddDataref(inDataName, type, inDataType == xplmType_Data ? "-" : "0", true) ? 1 : 0;
}

int XPLMUnshareData(const char* inDataName, XPLMDataTypeID inDataType, XPLMDataChanged_f, void*) {
    Dataref* d = inDataName != nullptr ? hostsim::FindLiveDataref(inDataName) : nullptr;
    return (d != nullptr && d->types == inDataType) ? 1 : 0;
}
