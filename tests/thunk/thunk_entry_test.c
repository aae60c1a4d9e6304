/* Runs the thunk entry of zphtst32 as 32-bit code against stand-ins for the
   flat-thunk calls and the 16-bit target. */
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>

extern unsigned char zphtst_ThunkData32[100];
extern unsigned char* zphtstQtThunk;
void FakeQtThunk(void);
uint32_t CallEntry(void* a1, void* a2, void* a3, void* a4);

uint32_t espBefore, espAfter, ebpBefore, ebpAfter, savedAfter[3];

enum { MAX_EVENTS = 32 };
static char events[MAX_EVENTS][48];
static int eventCount;
static uint32_t mappedToken[24];  /* by frame offset */
static uint32_t targetArgs[4];    /* in the export's parameter order */
static int targetIndex = -1;
static uint32_t scriptedEax;
static int failures;

static void Event(const char* text)
{
    if (eventCount < MAX_EVENTS) snprintf(events[eventCount++], sizeof events[0], "%s", text);
}

/* The 16:16 pointer a stand-in hands out: a selector per slot. */
uint32_t RecordMap(uint32_t slot, uint32_t flat)
{
    char text[48];
    snprintf(text, sizeof text, "map %u %08x", slot, flat);
    Event(text);
    mappedToken[slot] = (0x1000u + slot * 8) << 16 | (flat & 0xFFFF);
    return mappedToken[slot];
}

void RecordUnmap(uint32_t slot, uint32_t value)
{
    char text[48];
    snprintf(text, sizeof text, "unmap %u%s", slot, value == mappedToken[slot] ? "" : " (not the mapped pointer)");
    Event(text);
}

uint32_t RecordTarget(uint32_t index, uint32_t a1, uint32_t a2, uint32_t a3, uint32_t a4)
{
    Event("target");
    targetIndex = (int)index;
    targetArgs[0] = a1;
    targetArgs[1] = a2;
    targetArgs[2] = a3;
    targetArgs[3] = a4;
    return scriptedEax;
}

#define CHECK(condition, ...)                                   \
    do {                                                        \
        if (!(condition)) {                                     \
            failures++;                                         \
            printf("%s:%d: FAILED %s: ", __FILE__, __LINE__, #condition); \
            printf(__VA_ARGS__);                                \
            printf("\n");                                       \
        }                                                       \
    } while (0)

/* What ThunkConnect32 does to the first patch area, with a jump to the
   stand-in instead of the real way to QT_Thunk. */
static int PatchFirstArea(void)
{
    unsigned char* area = zphtst_ThunkData32 + 36;
    const long page = sysconf(_SC_PAGESIZE);
    uintptr_t start = (uintptr_t)area & ~(uintptr_t)(page - 1);
    if (mprotect((void*)start, (size_t)page * 2, PROT_READ | PROT_WRITE | PROT_EXEC) != 0) return 0;
    const int32_t rel = (int32_t)((uintptr_t)FakeQtThunk - ((uintptr_t)area + 5));
    area[0] = 0xE9;
    memcpy(area + 1, &rel, 4);
    return 1;
}

static void CheckThunkData(void)
{
    const unsigned char* d = zphtst_ThunkData32;
    uint32_t words[9];
    memcpy(words, d, sizeof words);
    CHECK(memcmp(d, "LS01", 4) == 0, "signature");
    CHECK(words[1] == 0x0504, "checksum %08x", words[1]);
    CHECK(words[2] == 0, "jump table %08x", words[2]);
    CHECK(memcmp(d + 12, "LB01", 4) == 0, "second signature");
    CHECK(words[4] == 0 && words[5] == 0 && words[6] == 0, "flags and reserved");
    CHECK(words[7] == 36 && words[8] == 68, "patch area offsets %u %u", words[7], words[8]);
    for (int i = 36; i < 100; i++) CHECK(d[i] == 0xCC, "patch byte %d is %02x", i, d[i]);
    CHECK(zphtstQtThunk == zphtst_ThunkData32 + 36, "the entry calls through %p, not the first patch area",
          (void*)zphtstQtThunk);
}

int main(void)
{
    CheckThunkData();
    if (!PatchFirstArea()) {
        printf("cannot make the patch area executable\n");
        return 1;
    }
    static const struct {
        uint32_t eax;     /* what the 16-bit side leaves in EAX */
        uint32_t result;  /* what the caller must get */
    } cases[] = {
        {0x00000001, 1},
        {0xDEAD8000, 32768},
        {0xFFFFFFFF, 65535},
        {0x12340000, 0},
        {0x00000002, 2},
    };
    for (size_t c = 0; c < sizeof cases / sizeof cases[0]; c++) {
        uint16_t version = 0, vendorId = 0, deviceId = 0;
        uint8_t latency = 0;
        eventCount = 0;
        targetIndex = -1;
        scriptedEax = cases[c].eax;
        const uint32_t result = CallEntry(&version, &vendorId, &deviceId, &latency);

        CHECK(result == cases[c].result, "case %zu: result %u", c, result);
        CHECK(espAfter == espBefore, "case %zu: stack moved by %d bytes", c, (int)(espAfter - espBefore));
        CHECK(ebpAfter == ebpBefore, "case %zu: frame pointer not restored", c);
        CHECK(savedAfter[0] == 0x11111111 && savedAfter[1] == 0x22222222 && savedAfter[2] == 0x33333333,
              "case %zu: EBX/ESI/EDI not kept", c);
        CHECK(targetIndex == 0, "case %zu: thunk index %d", c, targetIndex);

        char expected[10][48];
        snprintf(expected[0], 48, "map 8 %08x", (uint32_t)(uintptr_t)&version);
        snprintf(expected[1], 48, "map 12 %08x", (uint32_t)(uintptr_t)&vendorId);
        snprintf(expected[2], 48, "map 16 %08x", (uint32_t)(uintptr_t)&deviceId);
        snprintf(expected[3], 48, "map 20 %08x", (uint32_t)(uintptr_t)&latency);
        snprintf(expected[4], 48, "target");
        snprintf(expected[5], 48, "unmap 8");
        snprintf(expected[6], 48, "unmap 12");
        snprintf(expected[7], 48, "unmap 16");
        snprintf(expected[8], 48, "unmap 20");
        CHECK(eventCount == 9, "case %zu: %d events", c, eventCount);
        for (int i = 0; i < 9 && i < eventCount; i++) {
            CHECK(strcmp(expected[i], events[i]) == 0, "case %zu: event %d is \"%s\", expected \"%s\"", c, i,
                  events[i], expected[i]);
        }
        /* The PASCAL order: the version's 16:16 pointer was pushed first. */
        const uint32_t slots[4] = {8, 12, 16, 20};
        for (int i = 0; i < 4; i++) {
            CHECK(targetArgs[i] == mappedToken[slots[i]], "case %zu: target argument %d is %08x, expected %08x", c,
                  i + 1, targetArgs[i], mappedToken[slots[i]]);
        }
    }
    printf("%s\n", failures == 0 ? "thunk entry: all checks passed" : "thunk entry: FAILED");
    return failures == 0 ? 0 : 1;
}
