// Fault switches: make chosen platform calls of the emulated machine fail.
#include "machine.h"

#include <csignal>
#include <cstring>
#include <strings.h>

namespace hostwin {

namespace {

struct ActiveRule {
    FaultRule rule;
    unsigned seen = 0;
};

std::vector<ActiveRule> g_rules;
std::vector<std::string> g_triggered;
unsigned g_calls = 0;
unsigned g_stopAt = 0;
bool g_logging = false;
bool g_readOnly = false;
std::vector<std::string> g_log;

const char* OpName(FaultOp op) {
    static const char* const names[] = {"any",     "create",   "open",   "read", "write",
                                        "close",   "delete",   "copy",   "move", "mkdir",
                                        "setattr", "registry", "profile"};
    return names[static_cast<int>(op)];
}

bool IsWrite(FaultOp op) {
    switch (op) {
    case FaultOp::Create:
    case FaultOp::Write:
    case FaultOp::Delete:
    case FaultOp::Copy:
    case FaultOp::Move:
    case FaultOp::MakeDir:
    case FaultOp::SetAttr:
    case FaultOp::Profile:
        return true;
    default:
        return false;
    }
}

} // namespace

void SetReadOnly(bool readOnly) {
    g_readOnly = readOnly;
}

bool MachineIsReadOnly() {
    return g_readOnly;
}

void AddFault(const FaultRule& rule) {
    g_rules.push_back({rule, 0});
}

void ClearFaults() {
    g_rules.clear();
    g_triggered.clear();
    g_calls = 0;
    g_stopAt = 0;
    g_log.clear();
}

void StopAtFallibleCall(unsigned n) {
    g_stopAt = n;
}

void LogFallibleCalls(bool on) {
    g_logging = on;
}

const std::vector<std::string>& FallibleCalls() {
    return g_log;
}

unsigned FallibleCallCount() {
    return g_calls;
}

const std::vector<std::string>& TriggeredFaults() {
    return g_triggered;
}

bool ShouldFail(FaultOp op, const char* path, FaultKind* kind) {
    if (g_readOnly && IsWrite(op))
        return true;
    if (++g_calls == g_stopAt)
        raise(SIGSTOP);
    if (g_logging)
        g_log.push_back(std::string(OpName(op)) + " " + (path ? path : ""));
    for (ActiveRule& r : g_rules) {
        if (r.rule.op != FaultOp::Any && r.rule.op != op)
            continue;
        if (!r.rule.pathContains.empty()) {
            if (!path || !strcasestr(path, r.rule.pathContains.c_str()))
                continue;
        }
        if (++r.seen != r.rule.nth)
            continue;
        if (kind)
            *kind = r.rule.kind;
        g_triggered.push_back(std::string(OpName(op)) + " " + (path ? path : ""));
        return true;
    }
    return false;
}

} // namespace hostwin
