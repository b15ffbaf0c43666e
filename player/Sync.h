// Thin owners of the Win32 locking primitives the player's threads share: a
// critical section with its scoped guard, and a condition variable that waits
// on such a section. Only threads made with CreateThread (and the caller's UI
// thread) use them; the codec library's own worker threads never do.
#pragma once

#include <windows.h>

class CriticalSection {
public:
    CriticalSection() { InitializeCriticalSection(&m_section); }
    ~CriticalSection() { DeleteCriticalSection(&m_section); }
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    void Enter() { EnterCriticalSection(&m_section); }
    void Leave() { LeaveCriticalSection(&m_section); }
    CRITICAL_SECTION* Native() { return &m_section; }

private:
    CRITICAL_SECTION m_section;
};

class SectionLock {
public:
    explicit SectionLock(CriticalSection& section) : m_section(section) { m_section.Enter(); }
    ~SectionLock() { m_section.Leave(); }
    SectionLock(const SectionLock&) = delete;
    SectionLock& operator=(const SectionLock&) = delete;

private:
    CriticalSection& m_section;
};

class ConditionVariable {
public:
    ConditionVariable() { InitializeConditionVariable(&m_condition); }
    // Waits at most `milliseconds` with `section` entered; wakes spuriously too.
    void Wait(CriticalSection& section, DWORD milliseconds)
    {
        SleepConditionVariableCS(&m_condition, section.Native(), milliseconds);
    }
    void WakeAll() { WakeAllConditionVariable(&m_condition); }

private:
    CONDITION_VARIABLE m_condition;
};
