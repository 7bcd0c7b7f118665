#include "scenario.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace cockpit {

namespace {

struct ModelEntry {
    int type;
    const char* name;
};
constexpr ModelEntry kModels[] = {
    {1, "AVX"}, {2, "PBX"},   {3, "TGX"},  {4, "GTP"},  {5, "RSX"},  {6, "APC"},  {7, "KNB"},  {8, "AVY"},
    {9, "THQ"}, {11, "GTP2"}, {12, "APX"}, {13, "NDC"}, {14, "ECP"}, {17, "SSM"}, {18, "ANP"}, {19, "IOB"}};

// XPLM_MSG_PLANE_LOADED, and the x737 add-on's support messages.
constexpr int kMsgPlaneLoaded = 102;
constexpr int kMsgX737On = static_cast<int>(0x8888888E);
constexpr int kMsgX737Off = static_cast<int>(0x8888888F);

std::string Upper(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

struct Token {
    std::string text;
    bool quoted = false;
};

// Splits a line into words; "..." is one word (no escapes); '#' outside quotes starts a comment.
bool Tokenize(const std::string& line, std::vector<Token>* tokens, std::string* source, std::string* error) {
    tokens->clear();
    size_t i = 0, end_of_code = line.size();
    while (i < line.size()) {
        const char c = line[i];
        if (c == '#') {
            end_of_code = i;
            break;
        }
        if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
            continue;
        }
        Token t;
        if (c == '"') {
            const size_t close = line.find('"', i + 1);
            if (close == std::string::npos) {
                *error = "missing closing quote";
                return false;
            }
            t.text = line.substr(i + 1, close - i - 1);
            t.quoted = true;
            i = close + 1;
        } else {
            const size_t start = i;
            while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i])) && line[i] != '#')
                ++i;
            t.text = line.substr(start, i - start);
        }
        tokens->push_back(std::move(t));
    }
    std::string code = line.substr(0, end_of_code);
    const size_t first = code.find_first_not_of(" \t\r");
    const size_t last = code.find_last_not_of(" \t\r");
    *source = first == std::string::npos ? "" : code.substr(first, last - first + 1);
    return true;
}

bool ParseLong(const std::string& text, long long* value) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(text.c_str(), &end, 0);
    if (errno != 0 || *end != '\0') return false;
    *value = v;
    return true;
}

bool ParseInt(const std::string& text, int lo, int hi, int* value) {
    long long v = 0;
    if (!ParseLong(text, &v) || v < lo || v > hi) return false;
    *value = static_cast<int>(v);
    return true;
}

bool ParseDouble(const std::string& text, double* value) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(text.c_str(), &end);
    if (errno != 0 || *end != '\0') return false;
    *value = v;
    return true;
}

bool ParseUnit(const std::string& text, UnitRef* unit) {
    const size_t dot = text.find('.');
    unit->type = ModelByName(text.substr(0, dot));
    unit->number = 1;
    if (unit->type == 0) return false;
    return dot == std::string::npos || ParseInt(text.substr(dot + 1), 1, 99, &unit->number);
}

// "name" or "name[3]".
bool ParseDatarefName(const std::string& text, std::string* name, int* index) {
    *index = -1;
    const size_t open = text.find('[');
    if (open == std::string::npos) {
        *name = text;
        return !text.empty();
    }
    if (text.back() != ']' || open == 0) return false;
    *name = text.substr(0, open);
    return ParseInt(text.substr(open + 1, text.size() - open - 2), 0, 1 << 20, index);
}

// Numbers separated by commas (a dataref value) or, quoted, a text.
bool CheckValue(const Token& t) {
    std::vector<double> numbers;
    return t.quoted || ParseNumberList(t.text, &numbers);
}

class LineParser {
  public:
    LineParser(const std::vector<Token>& t, Step* step) : t_(t), step_(step) {}

    bool Parse(std::string* error) {
        const std::string& verb = t_[0].text;
        if (verb == "plug" || verb == "unplug") {
            step_->op = verb == "plug" ? Op::Plug : Op::Unplug;
            return Args(1, error) && Unit(1, error);
        }
        if (verb == "turn") {
            step_->op = Op::Turn;
            return Args(3, error) && Unit(1, error) && Int(2, 1, 16, &step_->a, "encoder", error) &&
                   Int(3, -32768, 32767, &step_->b, "step count", error);
        }
        if (verb == "press" || verb == "release" || verb == "toggle") {
            step_->op = verb == "press" ? Op::Press : verb == "release" ? Op::Release : Op::Toggle;
            return Args(2, error) && Unit(1, error) && Int(2, 1, 64, &step_->a, "switch", error);
        }
        if (verb == "lever" || verb == "selector") {
            step_->op = verb == "lever" ? Op::Lever : Op::Selector;
            return Args(3, error) && Unit(1, error) && Int(2, 1, 8, &step_->a, verb.c_str(), error) &&
                   Int(3, 0, 255, &step_->b, "position", error);
        }
        if (verb == "set") {
            step_->op = Op::Set;
            return Args(2, error) && Dataref(1, error) && Value(2, error);
        }
        if (verb == "wait") return Wait(error);
        if (verb == "message") return Message(error);
        if (verb == "show") {
            step_->op = Op::Show;
            return Args(0, error);
        }
        if (verb == "aircraft") {
            step_->op = Op::Aircraft;
            if (!Args(1, error)) return false;
            step_->name = t_[1].text;
            return true;
        }
        if (verb == "copy") {
            step_->op = Op::Copy;
            if (!Args(2, error)) return false;
            step_->name = t_[1].text;
            step_->text = t_[2].text;
            if (!step_->text.empty() && step_->text[0] != '/' && step_->text.find("..") == std::string::npos)
                return true;
            *error = "copy goes to a place inside the plug-in's folder, such as aircraft/NAME.ini";
            return false;
        }
        if (verb == "expect") return Expect(error);
        *error = "unknown step \"" + verb + "\"";
        return false;
    }

  private:
    bool Args(size_t n, std::string* error) {
        if (t_.size() == n + 1) return true;
        *error = "\"" + t_[0].text + "\" takes " + std::to_string(n) + " argument" + (n == 1 ? "" : "s") +
                 ", got " + std::to_string(t_.size() - 1);
        return false;
    }
    bool Unit(size_t i, std::string* error) {
        if (ParseUnit(t_[i].text, &step_->unit)) return true;
        *error = "unknown unit \"" + t_[i].text + "\" (a model such as RSX, or RSX.2 for the second)";
        return false;
    }
    bool Int(size_t i, int lo, int hi, int* value, const char* what, std::string* error) {
        if (ParseInt(t_[i].text, lo, hi, value)) return true;
        *error = std::string("bad ") + what + " \"" + t_[i].text + "\" (" + std::to_string(lo) + " to " +
                 std::to_string(hi) + ")";
        return false;
    }
    bool Dataref(size_t i, std::string* error) {
        if (ParseDatarefName(t_[i].text, &step_->name, &step_->a)) return true;
        *error = "bad dataref name \"" + t_[i].text + "\"";
        return false;
    }
    bool Value(size_t i, std::string* error) {
        if (!CheckValue(t_[i])) {
            *error = "bad value \"" + t_[i].text + "\" (a number, numbers separated by commas, or \"text\")";
            return false;
        }
        step_->text = t_[i].text;
        step_->exact = t_[i].quoted;
        return true;
    }

    bool Wait(std::string* error) {
        // "wait 10 frames", "wait 2 s", "wait 0.5s", "wait 1 second"
        std::string amount = t_.size() > 1 ? t_[1].text : "";
        std::string unit = t_.size() > 2 ? t_[2].text : "";
        if (t_.size() == 2 && amount.size() > 1 && amount.back() == 's') {
            unit = "s";
            amount.pop_back();
        }
        if (t_.size() > 3 || unit.empty()) {
            *error = "write \"wait N frames\" or \"wait N s\"";
            return false;
        }
        if (unit == "frame" || unit == "frames") {
            step_->op = Op::WaitFrames;
            return Int(1, 0, 1000000, &step_->b, "frame count", error);
        }
        if (unit == "s" || unit == "second" || unit == "seconds") {
            step_->op = Op::WaitSeconds;
            if (ParseDouble(amount, &step_->seconds) && step_->seconds >= 0 && step_->seconds <= 3600)
                return true;
            *error = "bad number of seconds \"" + amount + "\"";
            return false;
        }
        *error = "unknown unit of time \"" + unit + "\" (frames or s)";
        return false;
    }

    bool Message(std::string* error) {
        step_->op = Op::Message;
        if (t_.size() == 2 && t_[1].text == "aircraft-loaded") {
            step_->a = kMsgPlaneLoaded;
            return true;
        }
        if (t_.size() == 3 && t_[1].text == "x737" && (t_[2].text == "on" || t_[2].text == "off")) {
            step_->a = t_[2].text == "on" ? kMsgX737On : kMsgX737Off;
            step_->from_sim = false;
            return true;
        }
        long long number = 0, param = 0;
        if ((t_.size() == 2 || t_.size() == 3) && ParseLong(t_[1].text, &number) &&
            (t_.size() == 2 || ParseLong(t_[2].text, &param))) {
            step_->a = static_cast<int>(number);
            step_->param = static_cast<intptr_t>(param);
            return true;
        }
        *error = "write \"message aircraft-loaded\", \"message x737 on|off\" or \"message NUMBER [PARAM]\"";
        return false;
    }

    bool Expect(std::string* error) {
        const std::string what = t_.size() > 1 ? t_[1].text : "";
        if (what == "display") {
            step_->op = Op::ExpectDisplay;
            if (t_.size() < 4) {
                *error = "write \"expect display UNIT DISPLAY TEXT\"";
                return false;
            }
            if (!Unit(2, error)) return false;
            step_->name = t_[3].text;
            // The rest of the line is the text; in quotes it is compared exactly, spaces and all.
            if (t_.size() == 5 && t_[4].quoted) {
                step_->text = t_[4].text;
                step_->exact = true;
            } else {
                for (size_t i = 4; i < t_.size(); ++i)
                    step_->text += (i > 4 ? " " : "") + t_[i].text;
            }
            return true;
        }
        if (what == "lamp") {
            step_->op = Op::ExpectLamp;
            if (t_.size() != 5 || (t_[4].text != "on" && t_[4].text != "off")) {
                *error = "write \"expect lamp UNIT N on|off\"";
                return false;
            }
            step_->on = t_[4].text == "on";
            return Unit(2, error) && Int(3, 1, 32, &step_->a, "lamp", error);
        }
        if (what == "lamps") {
            step_->op = Op::ExpectLamps;
            if (t_.size() < 4 || !Unit(2, error)) {
                if (error->empty()) *error = "write \"expect lamps UNIT N...\" or \"expect lamps UNIT -\"";
                return false;
            }
            if (t_.size() == 4 && t_[3].text == "-") return true;
            for (size_t i = 3; i < t_.size(); ++i) {
                int n = 0;
                if (!Int(i, 1, 32, &n, "lamp", error)) return false;
                step_->lamps.push_back(n);
            }
            return true;
        }
        if (what == "colour" || what == "color") {
            step_->op = Op::ExpectColour;
            if (t_.size() != 5) {
                *error = "write \"expect colour UNIT N R/G/B\"";
                return false;
            }
            if (!Unit(2, error) || !Int(3, 1, 6, &step_->a, "lamp", error)) return false;
            std::stringstream ss(t_[4].text);
            std::string part;
            while (std::getline(ss, part, '/')) {
                int v = 0;
                if (!ParseInt(part, 0, 255, &v)) break;
                step_->lamps.push_back(v);
            }
            if (step_->lamps.size() == 3 && ss.eof()) return true;
            *error = "bad colour \"" + t_[4].text + "\" (red/green/blue, 0 to 255 each)";
            return false;
        }
        if (what == "dataref") {
            step_->op = Op::ExpectDataref;
            // "expect dataref NAME VALUE" or "expect dataref NAME = VALUE"
            const bool eq = t_.size() == 5 && t_[3].text == "=" && !t_[3].quoted;
            if (t_.size() != 4 && !eq) {
                *error = "write \"expect dataref NAME = VALUE\"";
                return false;
            }
            return Dataref(2, error) && Value(eq ? 4 : 3, error);
        }
        if (what == "command") {
            step_->op = Op::ExpectCommand;
            if (t_.size() != 3) {
                *error = "write \"expect command NAME\"";
                return false;
            }
            step_->name = t_[2].text;
            return true;
        }
        if (what == "key" || what == "button") {
            step_->op = what == "key" ? Op::ExpectKey : Op::ExpectButton;
            if (t_.size() != 3) {
                *error = "write \"expect " + what + " NUMBER\"";
                return false;
            }
            return Int(2, 0, 100000, &step_->a, what.c_str(), error);
        }
        *error = "unknown expectation \"" + what +
                 "\" (display, lamp, lamps, colour, dataref, command, key, button)";
        return false;
    }

    const std::vector<Token>& t_;
    Step* step_;
};

std::string Folder(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

} // namespace

bool ParseNumberList(const std::string& text, std::vector<double>* out) {
    out->clear();
    std::stringstream ss(text);
    std::string item;
    double v = 0;
    while (std::getline(ss, item, ',')) {
        if (!ParseDouble(item, &v)) return false;
        out->push_back(v);
    }
    return !out->empty() && text.back() != ',';
}

const char* ModelName(int type) {
    for (const ModelEntry& m : kModels)
        if (m.type == type) return m.name;
    return "";
}

int ModelByName(const std::string& name) {
    std::string n = Upper(name);
    if (n.rfind("QD-", 0) == 0) {
        n = n.substr(3);
    } else if (n.rfind("QD", 0) == 0 && n.size() > 3) {
        n = n.substr(2);
    }
    for (const ModelEntry& m : kModels)
        if (n == m.name) return m.type;
    return 0;
}

std::string UnitName(const UnitRef& unit) {
    return std::string(ModelName(unit.type)) + "." + std::to_string(unit.number);
}

bool ParseUnitList(const std::string& list, std::vector<UnitRef>* units, std::string* error) {
    units->clear();
    std::string spaced = list;
    for (char& c : spaced)
        if (c == ',') c = ' ';
    std::stringstream ss(spaced);
    std::string word;
    std::vector<std::string> words;
    while (ss >> word)
        words.push_back(word);
    if (words.size() == 1 && (words[0] == "none" || words[0] == "all")) {
        if (words[0] == "all")
            for (const ModelEntry& m : kModels)
                units->push_back({m.type, 1});
        return true;
    }
    if (words.empty()) {
        *error = "no units given (a list such as RSX,PBX, or all, or none)";
        return false;
    }
    for (const std::string& w : words) {
        UnitRef u;
        u.type = ModelByName(w);
        if (u.type == 0) {
            *error = "unknown model \"" + w + "\"";
            return false;
        }
        for (const UnitRef& before : *units)
            if (before.type == u.type) ++u.number;
        units->push_back(u);
    }
    return true;
}

bool ParseScenario(const std::string& text, const std::string& path, Scenario* out, std::string* error) {
    *out = Scenario{};
    out->path = path;
    std::istringstream in(text);
    std::string line;
    int line_no = 0;
    bool in_settings = false;
    int settings_line = 0;
    auto fail = [&](const std::string& why) {
        *error = path + ":" + std::to_string(line_no) + ": " + why;
        return false;
    };
    while (std::getline(in, line)) {
        ++line_no;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (in_settings) {
            if (line == "end") {
                in_settings = false;
            } else {
                out->settings_text += line + "\n";
            }
            continue;
        }
        std::vector<Token> tokens;
        std::string source, why;
        if (!Tokenize(line, &tokens, &source, &why)) return fail(why);
        if (tokens.empty()) continue;
        const std::string& verb = tokens[0].text;
        if (verb == "units" || verb == "settings") {
            if (!out->steps.empty()) return fail("\"" + verb + "\" must come before the first step");
            if (verb == "units") {
                std::string list;
                for (size_t i = 1; i < tokens.size(); ++i)
                    list += tokens[i].text + " ";
                if (!ParseUnitList(list, &out->units, &why)) return fail(why);
                out->has_units = true;
            } else if (tokens.size() == 1) {
                in_settings = true;
                settings_line = line_no;
                out->has_settings_text = true;
                out->settings_text.clear();
            } else if (tokens.size() == 2) {
                const std::string& file = tokens[1].text;
                out->settings_file = file[0] == '/' ? file : Folder(path) + file;
            } else {
                return fail("write \"settings FILE\", or \"settings\" then the file's lines and \"end\"");
            }
            continue;
        }
        Step step;
        step.line = line_no;
        step.source = source;
        LineParser parser(tokens, &step);
        if (!parser.Parse(&why)) return fail(why);
        // Files the steps name are found beside the scenario.
        if ((step.op == Op::Aircraft || step.op == Op::Copy) && step.name[0] != '/')
            step.name = Folder(path) + step.name;
        out->steps.push_back(std::move(step));
    }
    if (in_settings) {
        line_no = settings_line;
        return fail("settings block without \"end\"");
    }
    return true;
}

bool LoadScenario(const std::string& path, Scenario* out, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *error = path + ": cannot read the scenario";
        return false;
    }
    std::stringstream s;
    s << in.rdbuf();
    return ParseScenario(s.str(), path, out, error);
}

} // namespace cockpit
