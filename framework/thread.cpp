#include "framework/thread.h"

#include <new>

CWinThread::~CWinThread() {
    if (m_hThread) ::CloseHandle(m_hThread);
}

DWORD WINAPI CWinThread::Trampoline(LPVOID self) {
    auto* thread = static_cast<CWinThread*>(self);
    UINT code = 0;
    try {
        code = thread->m_proc(thread->m_param);
    } catch (...) {
        // Nothing may leave a thread procedure; the pass has no one to report to.
        code = 1;
    }
    delete thread;
    return code;
}

CWinThread* AfxBeginThread(AFX_THREADPROC proc, LPVOID param, int priority, UINT stackSize,
                           DWORD createFlags, LPSECURITY_ATTRIBUTES security) {
    auto* thread = new (std::nothrow) CWinThread(proc, param);
    if (!thread) return nullptr;
    // Always start suspended so the object is complete before the procedure can delete it.
    thread->m_hThread = ::CreateThread(security, stackSize, &CWinThread::Trampoline, thread,
                                       CREATE_SUSPENDED, &thread->m_nThreadID);
    if (!thread->m_hThread) {
        delete thread;
        return nullptr;
    }
    ::SetThreadPriority(thread->m_hThread, priority);
    if (!(createFlags & CREATE_SUSPENDED)) ::ResumeThread(thread->m_hThread);
    return thread;
}
