// Status values shared by the engine, its hooks, the dialogs and the services.
#pragma once

typedef unsigned ResultCode;

// One number may carry several names: each names the meaning in one place.
enum : ResultCode {
    Ok = 0,
    GroupFailed = 1,
    Abort = 2,
    OutOfMemory = 3,
    CommandFailed = 3,
    MalformedScript = 3,
    ScriptError = 4,
    NoSuchLine = 4,
    NotApplicable = 5,
    GroupNotOpen = 5,
    CannotCreateTarget = 6,
    KeyNotApplicable = 6,
    CannotOpenSource = 7,
    ValueNotApplicable = 7,
    ReadFailed = 8,
    WriteFailed = 9,
    DeleteFailed = 11,
    EndOfFile = 12,
    Skip = 13,
    WindowFailed = 15,
    AlreadyRunning = 17,
};
