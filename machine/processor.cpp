#include "machine/processor.h"

#include "app/machine_record.h"
#include "app/text_format.h"

CpuidSnapshotRecord CpuidSnapshot;

namespace {

// The vendor words as CPUID leaf 0 leaves them in EBX, EDX and ECX.
const uint32_t kGenu = 0x756E6547, kIneI = 0x49656E69, kNtel = 0x6C65746E;
const uint32_t kAuth = 0x68747541, kEnti = 0x69746E65, kCamd = 0x444D4163;

ProcessorKind IntelKind(uint32_t signature, uint32_t brandWord)
{
    switch (brandWord & 0xFF) {
    case 1: return 114;
    case 2: return 113;
    case 3: return 117;
    case 4: return 113;
    case 8: return 116;
    case 14: return 118;
    default: break;
    }
    const uint32_t model = (signature >> 4) & 0xF;
    const uint32_t family = (signature >> 8) & 0xF;
    switch (family) {
    case 4:
        switch (model) {
        case 0:
        case 1: return 102;
        case 2: return 103;
        case 3: return 104;
        case 4: return 107;
        case 5: return 108;
        case 7: return 105;
        case 8: return 106;
        default: return 101;
        }
    case 5:
        if (model >= 1 && model <= 3) return 109;
        if (model == 4 || model == 8) return 110;
        return 101;
    case 6:
        switch (model) {
        case 1: return 111;
        case 3:
        case 5: return 112;
        case 6: return 114;
        case 7:
        case 8: return 113;
        default: return 101;
        }
    case 15:
        return (model == 0 && (signature & 0x07F80000) == 0) ? 116 : 101;
    default:
        return 101;
    }
}

ProcessorKind AmdKind(uint32_t signature)
{
    const uint32_t model = (signature >> 4) & 0xF;
    const uint32_t family = (signature >> 8) & 0xF;
    switch (family) {
    case 4: return 202;
    case 5:
        if (model <= 3) return 203;
        if (model <= 7) return 204;
        if (model == 8) return 205;
        return 206;
    case 6: return model == 3 ? 208 : 207;
    default: return 201;
    }
}

}  // namespace

void ProbeCpuid(CpuidFunction cpuid)
{
    uint32_t regs[4] = {0, 0, 0, 0};
    if (!cpuid(0, regs)) {
        CpuidSnapshot.probeStatus = 1;
        return;
    }
    CpuidSnapshot.leaf0Ebx = regs[1];
    CpuidSnapshot.leaf0Edx = regs[3];
    CpuidSnapshot.leaf0Ecx = regs[2];
    if (regs[0] != 0) {
        uint32_t leaf1[4] = {0, 0, 0, 0};
        if (!cpuid(1, leaf1)) {
            CpuidSnapshot.probeStatus = 1;
            return;
        }
        CpuidSnapshot.signature = leaf1[0];
        CpuidSnapshot.brandWord = leaf1[1];
    }
    CpuidSnapshot.probeStatus = 2;
}

ProcessorKind DecodeProcessorKind(const CpuidSnapshotRecord& s)
{
    if (s.probeStatus != 2) return 0;
    if (s.leaf0Ebx == kGenu && s.leaf0Edx == kIneI && s.leaf0Ecx == kNtel) {
        return IntelKind(s.signature, s.brandWord);
    }
    if (s.leaf0Ebx == kAuth && s.leaf0Edx == kEnti && s.leaf0Ecx == kCamd) {
        return AmdKind(s.signature);
    }
    return 1;
}

ProcessorKind DetectProcessorKindWith(CpuidFunction cpuid)
{
    if (CpuidSnapshot.probeStatus == 0) ProbeCpuid(cpuid);
    return DecodeProcessorKind(CpuidSnapshot);
}

const char* ProcessorName(ProcessorKind kind)
{
    static const struct {
        ProcessorKind kind;
        const char* name;
    } names[] = {
        {101, "INTEL CPU - Unknown"}, {102, "i486DX"}, {103, "i486SX"}, {104, "i486DX2"},
        {105, "i486DX2E"}, {106, "i486DX4"}, {107, "i486SL"}, {109, "Pentium"},
        {110, "Pentium with MMX"}, {111, "PentiumPRO"}, {112, "Pentium II"},
        {113, "Pentium III"}, {114, "Celeron"}, {116, "Pentium 4"},
        {117, "Pentium III Xeon"}, {118, "Pentium Xeon"},
        {201, "AMD CPU - Unknown"}, {202, "Am486"}, {203, "AMD K5"}, {204, "AMD K6"},
        {205, "AMD K6 2"}, {206, "AMD K6 3"}, {207, "ATHLON"}, {208, "DURON"},
    };
    for (const auto& row : names) {
        if (row.kind == kind) return row.name;
    }
    return "Unknown CPU";
}

void ProcessorCountPrefix(uint32_t count, char* out, int capacity)
{
    if (count == 1) {
        CopyText(out, (size_t)capacity, "");
    } else if (count == 2) {
        CopyText(out, (size_t)capacity, "Dual ");
    } else {
        FormatText(out, (size_t)capacity, "%d ", (int)count);
    }
}

void FormatProcessorText(uint32_t count, const char* name, uint32_t mhz)
{
    char prefix[16];
    ProcessorCountPrefix(count, prefix, sizeof prefix);
    char* out = MachineInfo.processorText;
    const size_t cap = sizeof MachineInfo.processorText;
    if (mhz == 0) {
        FormatText(out, cap, "%s%s ?MHz", prefix, name);
    } else if (mhz < 1000) {
        FormatText(out, cap, "%s%s %dMHz", prefix, name, (int)mhz);
    } else if (mhz % 1000 != 0) {
        FormatText(out, cap, "%s%s %d.%03dGHz", prefix, name, (int)(mhz / 1000), (int)(mhz % 1000));
    } else {
        FormatText(out, cap, "%s%s %dGHz", prefix, name, (int)(mhz / 1000));
    }
}

uint32_t MeasureClockMhzWith(const ClockOps& ops)
{
    void* thread = ops.GetCurrentThread();
    const int priority = ops.GetThreadPriority(thread);
    ops.SetThreadPriority(thread, THREAD_PRIORITY_TIME_CRITICAL_VALUE);

    const uint32_t t0 = ops.timeGetTime();
    while (ops.timeGetTime() == t0) {
    }
    const uint64_t c0 = ops.ReadTimeStampCounter();
    while ((uint32_t)(ops.timeGetTime() - t0) < 1002) {
    }
    const uint64_t c1 = ops.ReadTimeStampCounter();

    ops.SetThreadPriority(thread, priority);

    // A counter that went backwards (the thread moved to a processor whose
    // counter lags) gives no figure at all rather than a huge one.
    if (c1 < c0) return 0;
    return (uint32_t)((int64_t)(c1 - c0) / 1000000);
}
