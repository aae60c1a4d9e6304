// Processor identification from CPUID, and the clock from the time-stamp counter.
#pragma once

#include <stdint.h>

struct CpuidSnapshotRecord {
    int32_t probeStatus;  // 0 not probed, 1 CPUID faulted, 2 CPUID ran
    uint32_t leaf0Ebx;
    uint32_t leaf0Edx;
    uint32_t leaf0Ecx;
    uint32_t signature;
    uint32_t brandWord;
};

extern CpuidSnapshotRecord CpuidSnapshot;

typedef int32_t ProcessorKind;

// Runs CPUID leaf `leaf` into regs (eax, ebx, ecx, edx); 0 when the
// instruction faulted.
typedef int (*CpuidFunction)(uint32_t leaf, uint32_t regs[4]);

// Fills CpuidSnapshot through the given CPUID executor.
void ProbeCpuid(CpuidFunction cpuid);

// Decodes a snapshot by the Intel and AMD rules.
ProcessorKind DecodeProcessorKind(const CpuidSnapshotRecord& snapshot);

// The first call probes the processor through `cpuid`; later calls reuse the snapshot.
ProcessorKind DetectProcessorKindWith(CpuidFunction cpuid);
ProcessorKind DetectProcessorKind();

const char* ProcessorName(ProcessorKind kind);

// "" for one processor, "Dual " for two, "%d " otherwise.
void ProcessorCountPrefix(uint32_t count, char* out, int capacity);

void FormatProcessorText(uint32_t count, const char* name, uint32_t mhz);

// What the clock measurement needs from the platform.
struct ClockOps {
    void* (*GetCurrentThread)();
    int (*GetThreadPriority)(void* thread);
    int (*SetThreadPriority)(void* thread, int priority);
    uint32_t (*timeGetTime)();
    uint64_t (*ReadTimeStampCounter)();
};

enum { THREAD_PRIORITY_TIME_CRITICAL_VALUE = 15 };

uint32_t MeasureClockMhzWith(const ClockOps& ops);

// Platform side.
uint64_t ReadTimeStampCounter();
uint32_t MeasureClockMhz();
// Count prefix, kind, name, clock and memory, in that order, into the record.
void CollectProcessorAndMemory();
