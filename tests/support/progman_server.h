// The Program Manager a test talks to through DDE. On the host it is the
// machine's built-in one; under Wine, where no Program Manager runs without
// a display, this process serves "PROGMAN" itself from a second thread, with
// groups kept in memory and the same answers: ShowGroup, AddItem, ReplaceItem,
// DeleteItem and DeleteGroup fail for a missing group or item, CreateGroup
// succeeds.
#pragma once

#include <string>
#include <vector>

class ProgmanServer {
  public:
    ProgmanServer();
    ~ProgmanServer();
    ProgmanServer(const ProgmanServer&) = delete;
    ProgmanServer& operator=(const ProgmanServer&) = delete;

    bool Running() const { return running_; }
    // Not answering: no conversation can be opened.
    void SetAnswering(bool answering);
    // The command texts received since the start or the last Clear, with
    // "+" (carried out) or "-" (refused) in front.
    std::vector<std::string> Received() const;
    void Clear();
    // The item titles of a group in order, "title=command line" each;
    // `found` tells whether the group exists.
    std::vector<std::string> Items(const std::string& group, bool* found = nullptr) const;
    // Sends commands as a separate client, to set up groups before a test.
    bool Send(const std::string& command);

  private:
    bool running_ = false;
};
