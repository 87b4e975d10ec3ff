// The answers of an unattended run, and the record of an interactive one:
// INI text with sections and "key=value" lines; ';' starts a comment.
// Sections and keys compare case-insensitively.
#pragma once

#include <string>
#include <vector>

class AnswerFile {
  public:
    // False with a line number in *error when a line is neither a section,
    // a key=value pair, a comment nor blank.
    bool Parse(const std::string& text, std::string* error);
    bool Load(const std::string& path, std::string* error);
    bool Save(const std::string& path) const;

    bool Get(const std::string& section, const std::string& key, std::string* value) const;
    void Set(const std::string& section, const std::string& key, const std::string& value);
    std::string Text() const;

  private:
    struct Entry {
        std::string section, key, value;
    };
    std::vector<Entry> entries_;
};
