#include <windows.h>
#include <mmsystem.h>

// winnt.h maps this name onto the compiler intrinsic; the program has its own,
// fault-guarded routine of that name.
#undef ReadTimeStampCounter

#include "app/machine_record.h"
#include "machine/processor.h"

#if defined(__i386__)
extern "C" int ZphGuardedCpuid(unsigned leaf, unsigned regs[4]);
extern "C" int ZphGuardedRdtsc(unsigned long long* count);

static int ExecuteCpuid(uint32_t leaf, uint32_t regs[4])
{
    return ZphGuardedCpuid(leaf, (unsigned*)regs);
}

uint64_t ReadTimeStampCounter()
{
    unsigned long long count = 0;
    return ZphGuardedRdtsc(&count) ? count : 0;
}
#else
// The 64-bit build is a test build: every x86-64 processor has CPUID and a
// time-stamp counter, so no fault guard is needed there.
#include <cpuid.h>
#include <x86intrin.h>

static int ExecuteCpuid(uint32_t leaf, uint32_t regs[4])
{
    __cpuid(leaf, regs[0], regs[1], regs[2], regs[3]);
    return 1;
}

uint64_t ReadTimeStampCounter()
{
    return __rdtsc();
}
#endif

ProcessorKind DetectProcessorKind()
{
    return DetectProcessorKindWith(ExecuteCpuid);
}

uint32_t MeasureClockMhz()
{
    static const ClockOps ops = {
        []() -> void* { return GetCurrentThread(); },
        [](void* thread) { return GetThreadPriority((HANDLE)thread); },
        [](void* thread, int priority) { return (int)SetThreadPriority((HANDLE)thread, priority); },
        []() -> uint32_t { return timeGetTime(); },
        ReadTimeStampCounter,
    };
    return MeasureClockMhzWith(ops);
}

void CollectProcessorAndMemory()
{
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    const ProcessorKind kind = DetectProcessorKind();
    const char* name = ProcessorName(kind);
    const uint32_t mhz = MeasureClockMhz();
    FormatProcessorText(system.dwNumberOfProcessors, name, mhz);

    MEMORYSTATUS memory;
    memory.dwLength = sizeof memory;  // 32 in the 32-bit program
    GlobalMemoryStatus(&memory);
    // The 32-bit record tops out below 4 GiB; the 64-bit test build may see more.
    const unsigned long long total = memory.dwTotalPhys;
    MachineInfo.totalMemory = total > 0xFFFFFFFFull ? 0xFFFFFFFFu : (uint32_t)total;
}
