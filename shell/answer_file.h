// The answers of an unattended run, and the record of an interactive one,
// in INI text. One table names every section and key a file may hold and
// the values each one takes; a file is checked against it, whole, before it
// is used.
//
// A line whose first character other than a blank is ';' is a comment; a
// ';' anywhere else belongs to the value, since directory names may hold
// one. Blanks around section names, keys and values are dropped. Sections
// and keys compare without regard to case. A UTF-8 byte-order mark before
// the first line is passed over.
//
// Written for both programs: no file access here (each front end reads and
// writes the text its own way) and fixed-size storage only.
#pragma once

#include <cstddef>

// What a value may be.
enum AnswerValueKind {
    AnswerButton,      // 1 or 2: the first or the second button
    AnswerFlag,        // 0 or 1
    AnswerPercent,     // a whole number from 0 to 100
    AnswerDirectory,   // a text of 1 to 254 characters, as typed into a prompt
    AnswerDestination, // a directory that the destination prompt takes: a full path
    AnswerDisks,       // DISK1, DISK2, DISK3 or KEEP, or a list of them separated by commas
};

struct AnswerKey {
    const char* section;
    const char* key; // a trailing '#' stands for a number from 1 to 99
    AnswerValueKind kind;
};
// Every key an answer file may hold, in the order a written file has them.
extern const AnswerKey kAnswerKeys[];
extern const int kAnswerKeyCount;

// The `index`-th disk (from 0) of an AnswerDisks value, upper-cased into
// `out` (8 bytes); false past the end of the list or where it is not one.
bool ListedDisk(const char* list, int index, char* out);

// Where the faults of a file go, one "FILE:LINE: what is wrong" each.
class AnswerFaults {
  public:
    virtual ~AnswerFaults() = default;
    virtual void Fault(const char* text) = 0;
};

class AnswerFile {
  public:
    enum { MaxEntries = 64, KeySize = 32, ValueSize = 256, LineSize = 1024, MaxDirectory = 254 };

    // Replaces what is held with the `size` bytes of `text`, read from the
    // file `name`; every fault goes to `faults` (if any). Answers the number
    // of faults; a file with faults is not to be used.
    int Parse(const char* name, const char* text, size_t size, AnswerFaults* faults);

    // The value of a key, or null when the file does not give it.
    const char* Get(const char* section, const char* key) const;
    // Gives a key of the table a value; false when the key is not in the
    // table, the value is not one the key takes, or the file is full.
    bool Set(const char* section, const char* key, const char* value);
    void Clear() { count_ = 0; }
    int Count() const { return count_; }

    // The text of the file, sections in the table's order, each line ended
    // with `lineEnd`. Answers the length the whole text needs; when that is
    // `size` or more, `out` holds as much as fits.
    size_t Format(char* out, size_t size, const char* lineEnd) const;

  private:
    struct Entry {
        int row; // in kAnswerKeys
        char key[KeySize];
        char value[ValueSize];
        int line; // where the file gave it; 0 when set
    };
    Entry* Find(int row, const char* key);
    const Entry* Find(int row, const char* key) const;

    Entry entries_[MaxEntries];
    int count_ = 0;
};
