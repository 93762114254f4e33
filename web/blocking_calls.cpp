#include "web/blocking_calls.h"

#include <algorithm>
#include <deque>
#include <string>
#include <vector>

#include "runtime/address_word.h"
#include "runtime/dll_commands.h"
#include "runtime/error_boundary.h"
#include "runtime/worker_threads.h"

namespace web {

namespace {
constexpr uint32_t kMaxWords = 6;
constexpr LONG kUsers = 2;  // the calling side and the helper
using CloseHandleFunction = BOOL(WINAPI*)(uint32_t handle);

// An SRW lock: no system call unless contended, so a job may take it per chunk.
class Locked {
public:
    explicit Locked(SRWLOCK& lock) : lock_(lock) { AcquireSRWLockExclusive(&lock_); }
    ~Locked() { ReleaseSRWLockExclusive(&lock_); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;

private:
    SRWLOCK& lock_;
};
}  // namespace

// What both sides use; freed by the one that lets go last.
struct BlockingCalls::Shared {
    SRWLOCK lock = SRWLOCK_INIT;
    HANDLE posted = nullptr;    // a job is waiting for the helper (auto-reset)
    HANDLE finished = nullptr;  // the helper has finished it (auto-reset)
    LONG users = kUsers;
    bool leaving = false;  // the calling side has gone
    bool reached = false;  // the helper holds the lock for the job (set and read by the helper only)
    DWORD lastSign = 0;    // tick of the running job's last sign of life
    Job job = nullptr;
    // The posted job counts as a running worker until it ends, or until it
    // was given up on as stalled (then it is inside a blocking call and
    // touches nothing the shutdown takes away before it returns).
    bool jobCounted = false;
    void* context = nullptr;
    uint32_t command = 0;
    uint32_t words[kMaxWords] = {};
    uint32_t wordCount = 0;
    uint64_t result = 0;
    std::deque<std::string> texts;  // a deque keeps its elements in place
    std::vector<uint8_t> buffer;
    uint32_t outWord = 0;
    // Touched by the calling side until it leaves, then by the helper only.
    std::vector<uint32_t> handles;
    // Resolved up front: the helper may close the handles during shutdown,
    // when the command tables are going; its module reference keeps the code.
    CloseHandleFunction closeHandle = nullptr;
    HMODULE module = nullptr;
};

bool BlockingCalls::JobSide::reach() {
    AcquireSRWLockExclusive(&shared_->lock);
    if (shared_->leaving) {
        ReleaseSRWLockExclusive(&shared_->lock);
        return false;
    }
    shared_->lastSign = GetTickCount();
    shared_->reached = true;
    return true;
}

void BlockingCalls::JobSide::letGo() {
    shared_->reached = false;
    ReleaseSRWLockExclusive(&shared_->lock);
}
uint8_t* BlockingCalls::JobSide::buffer() { return shared_->buffer.data(); }
uint32_t* BlockingCalls::JobSide::outWord() { return &shared_->outWord; }

BlockingCalls::BlockingCalls(HANDLE stopEvent, uint32_t stallMs, uint32_t bufferSize)
    : shared_(new Shared), stopEvent_(stopEvent), stallMs_(stallMs) {
    shared_->buffer.assign(bufferSize, 0);
    void* closeAddress = rt::resolveDllCommand(rt::kDllInternetCloseHandle);
    shared_->closeHandle = reinterpret_cast<CloseHandleFunction>(closeAddress);
    shared_->posted = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    shared_->finished = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (!shared_->posted || !shared_->finished) return;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, static_cast<LPCSTR>(closeAddress),
                            &shared_->module))
        return;
    HANDLE thread = CreateThread(nullptr, 0, &helperMain, shared_, 0, nullptr);
    if (!thread) {
        FreeLibrary(shared_->module);
        shared_->module = nullptr;
        return;
    }
    CloseHandle(thread);
    helperRunning_ = true;
}

BlockingCalls::~BlockingCalls() { leave(); }

BlockingCalls::Outcome BlockingCalls::run(Job job, void* context) {
    if (left_) return givenUp_;
    JobSide side(shared_);
    // Without a helper the job simply blocks here.
    if (!helperRunning_) {
        job(side, context);
        return kAnswered;
    }
    shared_->job = job;
    shared_->context = context;
    // Counted from before the helper can see it until it ended: the job uses
    // the DLL command tables, which shutdown resets once no worker runs.
    rt::beginCountedWork();
    {
        Locked guard(shared_->lock);
        shared_->lastSign = GetTickCount();
        shared_->jobCounted = true;
    }
    SetEvent(shared_->posted);
    return await();
}

// Sleeps until the job is finished, a stop comes or the job has been quiet
// for the stall limit; the job's signs of life only move the deadline.
BlockingCalls::Outcome BlockingCalls::await() {
    HANDLE events[] = {shared_->finished, stopEvent_};
    const DWORD count = stopEvent_ ? 2 : 1;
    for (;;) {
        DWORD quiet;
        {
            Locked guard(shared_->lock);
            quiet = GetTickCount() - shared_->lastSign;
        }
        if (quiet >= stallMs_) break;
        DWORD waited = WaitForMultipleObjects(count, events, FALSE, stallMs_ - quiet);
        if (waited == WAIT_OBJECT_0) return kAnswered;
        if (waited == WAIT_OBJECT_0 + 1) {
            givenUp_ = kStopped;
            leave();
            return givenUp_;
        }
        if (waited != WAIT_TIMEOUT) break;
    }
    givenUp_ = kTimedOut;
    {
        Locked guard(shared_->lock);
        endJobCount(shared_);
    }
    leave();
    return givenUp_;
}

BlockingCalls::Outcome BlockingCalls::call(uint32_t command, std::initializer_list<uint32_t> words, uint32_t* result) {
    if (left_) return givenUp_;
    Shared* s = shared_;
    s->command = command;
    s->wordCount = static_cast<uint32_t>(std::min<size_t>(words.size(), kMaxWords));
    std::copy_n(words.begin(), s->wordCount, s->words);
    Outcome outcome = run(&callJob, nullptr);
    if (outcome == kAnswered) *result = static_cast<uint32_t>(s->result);
    return outcome;
}

// Everything it touches is shared memory.
void BlockingCalls::callJob(JobSide& side, void*) {
    Shared* s = side.shared_;
    s->result = rt::callDllWords(s->command, s->words, s->wordCount, rt::Stdcall);
}

uint32_t BlockingCalls::keepText(const char* text) {
    shared_->texts.emplace_back(text ? text : "");
    return rt::wordOf(shared_->texts.back().c_str());
}

uint8_t* BlockingCalls::buffer() { return shared_->buffer.data(); }
uint32_t* BlockingCalls::outWord() { return &shared_->outWord; }

void BlockingCalls::hold(uint32_t handle) {
    if (!left_ && handle) shared_->handles.push_back(handle);
}

void BlockingCalls::forget(uint32_t handle) {
    if (left_) return;
    auto& handles = shared_->handles;
    handles.erase(std::remove(handles.begin(), handles.end(), handle), handles.end());
}

void BlockingCalls::close(uint32_t handle) {
    if (left_ || !handle) return;
    forget(handle);
    rt::callDll<int32_t, rt::Stdcall>(rt::kDllInternetCloseHandle, handle);
}

// Runs the posted jobs until the calling side has gone, then closes the
// handles: only now is no job using them, and a close may take its time
// (WinINet reads what is left of a response to keep the connection).
DWORD WINAPI BlockingCalls::helperMain(void* context) {
    auto* s = static_cast<Shared*>(context);
    HMODULE module = s->module;
    for (;;) {
        WaitForSingleObject(s->posted, INFINITE);
        {
            Locked guard(s->lock);
            if (s->leaving) {
                endJobCount(s);
                break;
            }
            s->lastSign = GetTickCount();
        }
        // The job may call the application (the progress callback): it runs
        // inside the error boundary, and a job that threw lets go of the lock.
        JobSide side(s);
        if (!rt::protectedRun([&] { s->job(side, s->context); }) && s->reached) side.letGo();
        {
            Locked guard(s->lock);
            endJobCount(s);
            if (s->leaving) break;
        }
        SetEvent(s->finished);
    }
    closeHandles(s);
    release(s);
    FreeLibraryAndExitThread(module, 0);
}

// Under the lock: the job's count ends once, whoever comes first.
void BlockingCalls::endJobCount(Shared* s) {
    if (!s->jobCounted) return;
    s->jobCounted = false;
    rt::endCountedWork();
}

void BlockingCalls::closeHandles(Shared* s) {
    for (auto at = s->handles.rbegin(); at != s->handles.rend(); ++at) s->closeHandle(*at);
    s->handles.clear();
}

void BlockingCalls::release(Shared* s) {
    if (InterlockedDecrement(&s->users) != 0) return;
    if (s->posted) CloseHandle(s->posted);
    if (s->finished) CloseHandle(s->finished);
    delete s;
}

// The calling side goes and leaves the handles to the helper. Taking the
// lock waits for a job that is using the caller's memory.
void BlockingCalls::leave() {
    if (left_) return;
    left_ = true;
    Shared* s = shared_;
    {
        Locked guard(s->lock);
        s->leaving = true;
    }
    if (!helperRunning_) {
        closeHandles(s);
        InterlockedDecrement(&s->users);  // the helper's share, never taken
        release(s);
        return;
    }
    SetEvent(s->posted);  // an idle helper wakes and ends
    release(s);
}

}  // namespace web
