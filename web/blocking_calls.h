// The WinINet work of one download that waits for the network, done on a
// helper thread so that the download can stop waiting for it: under Wine
// neither a receive time-out nor closing a handle from another thread ends
// a read that waits for data. Work given up on keeps blocking on the
// helper, which closes the held handles once the caller has gone and no job
// uses them: a handle value is never used after it was closed, nor closed
// twice.
#pragma once

#include <windows.h>

#include <cstdint>
#include <initializer_list>

namespace web {

class BlockingCalls {
public:
    enum Outcome { kAnswered, kTimedOut, kStopped };
    struct Shared;

    // What a job on the helper may use besides its own locals.
    class JobSide {
    public:
        explicit JobSide(Shared* shared) : shared_(shared) {}
        // After each wait for the network: true while the caller still
        // waits, and then the job's context (the caller's memory) may be
        // used until `letGo`. Also the sign of life the stall limit looks for.
        bool reach();
        void letGo();
        uint8_t* buffer();
        uint32_t* outWord();

    private:
        friend class BlockingCalls;
        Shared* shared_;
    };
    using Job = void (*)(JobSide& side, void* context);

    // `stopEvent` (may be null) ends any wait at once when set; a job that
    // shows no sign of life for `stallMs` is given up on.
    BlockingCalls(HANDLE stopEvent, uint32_t stallMs, uint32_t bufferSize);
    ~BlockingCalls();
    BlockingCalls(const BlockingCalls&) = delete;
    BlockingCalls& operator=(const BlockingCalls&) = delete;

    // Runs `job` on the helper until it returns. After one job was given
    // up on, every later one gives up at once with the same outcome.
    Outcome run(Job job, void* context);
    // A stdcall DLL command with up to six word arguments, as a job. Pointer
    // arguments must point into memory of this object (keepText, buffer,
    // outWord): a call given up on may still write there.
    Outcome call(uint32_t command, std::initializer_list<uint32_t> words, uint32_t* result);

    // The address word of a copy of `text` that lives as long as the helper.
    uint32_t keepText(const char* text);
    uint8_t* buffer();
    uint32_t* outWord();

    // Handles closed after the caller has gone, the last one held first.
    void hold(uint32_t handle);
    // Closes a held handle now, on the calling thread.
    void close(uint32_t handle);
    // Drops a held handle that closing its parent closes.
    void forget(uint32_t handle);

private:
    static DWORD WINAPI helperMain(void* shared);
    static void callJob(JobSide& side, void* context);
    static void closeHandles(Shared* shared);
    static void endJobCount(Shared* shared);
    static void release(Shared* shared);
    Outcome await();
    void leave();

    Shared* shared_;
    HANDLE stopEvent_;
    uint32_t stallMs_;
    bool helperRunning_ = false;
    bool left_ = false;
    Outcome givenUp_ = kAnswered;
};

}  // namespace web
