#include "web/request_deadline.h"

#include "runtime/runtime_app.h"

namespace web {

RequestDeadline::RequestDeadline(IUnknown* requestObject, uint32_t milliseconds) : milliseconds_(milliseconds) {
    if (!requestObject || FAILED(requestObject->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch_))))
        return;
    OLECHAR name[] = L"Abort";
    LPOLESTR names[] = {name};
    if (FAILED(dispatch_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &abortId_))) return;
    finished_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (finished_) thread_ = CreateThread(nullptr, 0, &watch, this, 0, nullptr);
}

RequestDeadline::~RequestDeadline() {
    finish();
    if (finished_) CloseHandle(finished_);
    if (dispatch_) dispatch_->Release();
}

bool RequestDeadline::finish() {
    if (thread_) {
        SetEvent(finished_);
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
        thread_ = nullptr;
    }
    return aborted_ != 0;
}

DWORD WINAPI RequestDeadline::watch(void* context) {
    auto self = static_cast<RequestDeadline*>(context);
    HANDLE events[] = {self->finished_, rt::RuntimeApp::instance().closePendingEvent()};
    const DWORD count = events[1] ? 2 : 1;
    const DWORD limit = self->milliseconds_ ? self->milliseconds_ : INFINITE;
    if (WaitForMultipleObjects(count, events, FALSE, limit) == WAIT_OBJECT_0) return 0;
    InterlockedExchange(&self->aborted_, 1);
    DISPPARAMS none{};
    self->dispatch_->Invoke(self->abortId_, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, nullptr, nullptr,
                            nullptr);
    return 0;
}

}  // namespace web
