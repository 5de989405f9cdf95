#include "framework/win32/threads.h"

namespace dp {

WorkerThread* WorkerThread::Begin(Procedure procedure, int priority, bool autoDelete,
                                  bool suspended) {
    auto* thread = new WorkerThread(std::move(procedure), autoDelete);
    // Always created suspended so the handle is stored before the procedure can run (and, with
    // auto-delete, delete the object).
    HANDLE handle = ::CreateThread(nullptr, 0, ThreadStart, thread, CREATE_SUSPENDED, nullptr);
    if (!handle) {
        delete thread;
        return nullptr;
    }
    if (autoDelete) {
        // The object dies with the thread; the handle is ours only until the thread starts.
        ::SetThreadPriority(handle, priority);
        if (!suspended) {
            ::ResumeThread(handle);
            ::CloseHandle(handle);
            return thread;
        }
        thread->handle_.reset(handle);
        return thread;
    }
    thread->handle_.reset(handle);
    ::SetThreadPriority(handle, priority);
    if (!suspended)
        ::ResumeThread(handle);
    return thread;
}

bool WorkerThread::Join(DWORD timeoutMs) const {
    return ::WaitForSingleObject(handle_.get(), timeoutMs) == WAIT_OBJECT_0;
}

DWORD WINAPI WorkerThread::ThreadStart(void* parameter) {
    auto* thread = static_cast<WorkerThread*>(parameter);
    if (thread->procedure_)
        thread->procedure_();
    if (thread->autoDelete_)
        delete thread;
    return 0;
}

} // namespace dp
