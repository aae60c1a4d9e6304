/* A stand-in for the HAL of a PCI machine, for the end-to-end tests only.
   Wine's own hal.dll knows no PCI bus; loaded in its place through a DLL
   override, this one answers HalGetBusData from a synthetic bus topology
   read from C:\fakepci.txt:

       buses N                       buses 0 to N-1 exist
       BUS DEVICE FUNCTION VENDOR DEVICE CLASS LATENCY   (hexadecimal)

   Absent functions answer 2, missing buses 0, as a real HAL does. */
#include <windows.h>

enum { MAX_FUNCTIONS = 64, HEADER_SIZE = 256 };

typedef struct {
    ULONG bus, device, function;
    ULONG vendorId, deviceId, classCode, latency;
} FakeFunction;

static FakeFunction functions[MAX_FUNCTIONS];
static int functionCount;
static ULONG busCount;
static int loaded;

static const char* ParseHex(const char* p, ULONG* value)
{
    ULONG v = 0;
    while (*p == ' ' || *p == '\t') p++;
    for (;; p++) {
        const char c = *p;
        if (c >= '0' && c <= '9') v = v * 16 + (ULONG)(c - '0');
        else if (c >= 'a' && c <= 'f') v = v * 16 + (ULONG)(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F') v = v * 16 + (ULONG)(c - 'A' + 10);
        else break;
    }
    *value = v;
    return p;
}

static void LoadTopology(void)
{
    static char text[8192];
    DWORD size = 0;
    HANDLE file;
    const char* p;

    loaded = 1;
    file = CreateFileA("C:\\fakepci.txt", GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) return;
    ReadFile(file, text, sizeof text - 1, &size, NULL);
    CloseHandle(file);
    text[size] = '\0';
    for (p = text; *p;) {
        if (strncmp(p, "buses", 5) == 0) {
            p = ParseHex(p + 5, &busCount);
        } else if (*p != '#' && *p != '\r' && *p != '\n' && functionCount < MAX_FUNCTIONS) {
            FakeFunction* f = &functions[functionCount++];
            p = ParseHex(p, &f->bus);
            p = ParseHex(p, &f->device);
            p = ParseHex(p, &f->function);
            p = ParseHex(p, &f->vendorId);
            p = ParseHex(p, &f->deviceId);
            p = ParseHex(p, &f->classCode);
            p = ParseHex(p, &f->latency);
        }
        while (*p && *p != '\n') p++;
        if (*p) p++;
    }
}

ULONG WINAPI HalGetBusData(int busDataType, ULONG bus, ULONG slot, void* buffer, ULONG length)
{
    unsigned char header[HEADER_SIZE];
    const ULONG device = slot & 31, function = (slot >> 5) & 7;
    int i;

    if (!loaded) LoadTopology();
    if (busDataType != 4 /* PCIConfiguration */ || bus >= busCount) return 0;
    for (i = 0; i < functionCount; i++) {
        const FakeFunction* f = &functions[i];
        if (f->bus != bus || f->device != device || f->function != function) continue;
        memset(header, 0, sizeof header);
        header[0] = (unsigned char)f->vendorId;
        header[1] = (unsigned char)(f->vendorId >> 8);
        header[2] = (unsigned char)f->deviceId;
        header[3] = (unsigned char)(f->deviceId >> 8);
        header[9] = (unsigned char)f->classCode;
        header[10] = (unsigned char)(f->classCode >> 8);
        header[11] = (unsigned char)(f->classCode >> 16);
        header[13] = (unsigned char)f->latency;
        if (length > HEADER_SIZE) length = HEADER_SIZE;
        memcpy(buffer, header, length);
        return length;
    }
    return 2;
}
