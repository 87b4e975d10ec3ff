#include "answer_file.h"

#include <fstream>
#include <sstream>
#include <strings.h>

namespace {

std::string Trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos)
        return "";
    return s.substr(b, s.find_last_not_of(" \t\r") - b + 1);
}

bool Same(const std::string& a, const std::string& b) {
    return strcasecmp(a.c_str(), b.c_str()) == 0;
}

} // namespace

bool AnswerFile::Parse(const std::string& text, std::string* error) {
    entries_.clear();
    std::istringstream in(text);
    std::string line, section;
    for (int number = 1; std::getline(in, line); ++number) {
        line = Trim(line.substr(0, line.find(';')));
        if (line.empty() || line[0] == '#')
            continue;
        if (line[0] == '[' && line.back() == ']') {
            section = Trim(line.substr(1, line.size() - 2));
            continue;
        }
        size_t eq = line.find('=');
        if (eq == std::string::npos || section.empty() || Trim(line.substr(0, eq)).empty()) {
            if (error)
                *error = "line " + std::to_string(number) + ": " + line;
            return false;
        }
        Set(section, Trim(line.substr(0, eq)), Trim(line.substr(eq + 1)));
    }
    return true;
}

bool AnswerFile::Load(const std::string& path, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (error)
            *error = "cannot read " + path;
        return false;
    }
    std::ostringstream s;
    s << in.rdbuf();
    return Parse(s.str(), error);
}

bool AnswerFile::Save(const std::string& path) const {
    std::ofstream out(path, std::ios::binary);
    out << Text();
    return out.good();
}

bool AnswerFile::Get(const std::string& section, const std::string& key, std::string* value) const {
    for (const Entry& e : entries_) {
        if (Same(e.section, section) && Same(e.key, key)) {
            *value = e.value;
            return true;
        }
    }
    return false;
}

void AnswerFile::Set(const std::string& section, const std::string& key, const std::string& value) {
    for (Entry& e : entries_) {
        if (Same(e.section, section) && Same(e.key, key)) {
            e.value = value;
            return;
        }
    }
    // A new key goes after the last one of its section, so sections stay whole.
    auto at = entries_.end();
    for (auto it = entries_.begin(); it != entries_.end(); ++it)
        if (Same(it->section, section))
            at = it + 1;
    entries_.insert(at, Entry{section, key, value});
}

std::string AnswerFile::Text() const {
    std::string text, section;
    for (const Entry& e : entries_) {
        if (text.empty() || !Same(e.section, section)) {
            section = e.section;
            text += (text.empty() ? "[" : "\n[") + section + "]\n";
        }
        text += e.key + "=" + e.value + "\n";
    }
    return text;
}
