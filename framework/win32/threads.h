// Worker threads and events. A worker either deletes itself when its procedure returns
// (auto-delete) or is kept by its owner, who waits on it with Join and then deletes it.
#pragma once

#include <windows.h>

#include <functional>

#include "framework/win32/handles.h"

namespace dp {

class WorkerThread {
public:
    using Procedure = std::function<void()>;

    // Starts the procedure on a new thread at the given priority. With autoDelete the returned
    // object deletes itself at thread end and must not be touched afterwards; without it the
    // caller owns the object. nullptr when the thread could not be created.
    static WorkerThread* Begin(Procedure procedure, int priority = THREAD_PRIORITY_NORMAL,
                               bool autoDelete = true, bool suspended = false);

    ~WorkerThread() = default;
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    void Resume() { ::ResumeThread(handle_.get()); }
    // Waits for the thread to end; true when it ended within the time-out.
    bool Join(DWORD timeoutMs = INFINITE) const;
    HANDLE Handle() const { return handle_.get(); }

private:
    WorkerThread(Procedure procedure, bool autoDelete)
        : procedure_(std::move(procedure)), autoDelete_(autoDelete) {}
    static DWORD WINAPI ThreadStart(void* parameter);

    Procedure procedure_;
    bool autoDelete_;
    UniqueHandle handle_;
};

class Event {
public:
    explicit Event(bool manualReset = false, bool initiallySet = false)
        : handle_(::CreateEventW(nullptr, manualReset, initiallySet, nullptr)) {}
    void Set() { ::SetEvent(handle_.get()); }
    void Reset() { ::ResetEvent(handle_.get()); }
    // True when the event was set within the time-out.
    bool Wait(DWORD timeoutMs = INFINITE) const {
        return ::WaitForSingleObject(handle_.get(), timeoutMs) == WAIT_OBJECT_0;
    }
    HANDLE Handle() const { return handle_.get(); }

private:
    UniqueHandle handle_;
};

} // namespace dp
