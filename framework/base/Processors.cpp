#include "framework/base/Processors.h"

#include <windows.h>

#include <algorithm>
#include <bitset>

unsigned UsableProcessorCount()
{
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    unsigned processors = std::max<unsigned>(info.dwNumberOfProcessors, 1);
    DWORD_PTR process = 0, system = 0;
    if (GetProcessAffinityMask(GetCurrentProcess(), &process, &system) && process != 0)
        processors = std::min<unsigned>(processors, std::bitset<sizeof(DWORD_PTR) * 8>(process).count());
    return processors;
}
