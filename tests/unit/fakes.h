// Scripted stand-ins for the platform calls behind the operation tables.
// The tables hold plain function pointers, so each fake keeps its script and
// what it saw in one process-wide record that a test resets before use.
#pragma once

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/machine_record.h"
#include "app/report.h"
#include "app/startup.h"
#include "disktest/drives.h"
#include "machine/processor.h"

// Every fake appends what it was asked to this one log, so a test can check
// the order of calls across fakes ("SelectLanguage" before "LoadText 513").
inline std::vector<std::string> fakeCalls;

inline int CountCalls(const std::string& prefix)
{
    int n = 0;
    for (const std::string& call : fakeCalls) {
        if (call.compare(0, prefix.size(), prefix) == 0) n++;
    }
    return n;
}

inline int FirstCallIndex(const std::string& prefix)
{
    for (size_t i = 0; i < fakeCalls.size(); i++) {
        if (fakeCalls[i].compare(0, prefix.size(), prefix) == 0) return (int)i;
    }
    return -1;
}

// The process-wide records as a freshly started process has them.
inline void ResetProcessState()
{
    memset(&MachineInfo, 0, sizeof MachineInfo);
    moduleInstance = nullptr;
    LanguageOffset = 0;
    showInfoFile = 0;
    allOverlayFormats = 0;
    memset(&CpuidSnapshot, 0, sizeof CpuidSnapshot);
    for (DriveEntry& row : DriveRows) row.fixed = 0;
    memset(&DriveList, 0, sizeof DriveList);
    hasFreeSpaceEx = 0;
    fakeCalls.clear();
}

// ---- Texts -----------------------------------------------------------------

// The English string table, returned like LoadText does: one shared buffer
// that the next call overwrites.
inline const char* FakeLoadText(int baseId)
{
    static char buffer[512];
    fakeCalls.push_back("LoadText " + std::to_string(baseId));
    const char* text;
    switch (baseId) {
    case 502: text = "Overlay supported"; break;
    case 503: text = "Not tested"; break;
    case 504: text = "Overlay not supported"; break;
    case 505: text = "Set resolution to 800x600 or higher"; break;
    case 512: text = "Tessaline Environment Checker\nVersion %s%s"; break;
    case 513:
        text = "Please copy the following files into the same folder\n    zphtest.exe\n    zphtst32.dll\n"
               "    zphtst16.dll\n    zphtstnt.sys\n    readme.txt";
        break;
    default: text = "(no such text)"; break;
    }
    strcpy(buffer, text);
    return buffer;
}

// ---- Current directory -----------------------------------------------------

struct FakeDirectory {
    std::string path = "C:\\Zephon";
    bool fails = false;
};
inline FakeDirectory fakeDirectory;

// GetCurrentDirectoryA: the length without the terminator when the buffer is
// big enough, otherwise the size needed with it, and 0 on failure.
inline uint32_t FakeGetCurrentDirectoryA(uint32_t size, char* buffer)
{
    fakeCalls.push_back("GetCurrentDirectoryA " + std::to_string(size));
    if (fakeDirectory.fails) return 0;
    const uint32_t length = (uint32_t)fakeDirectory.path.size();
    if (length + 1 > size) return length + 1;
    memcpy(buffer, fakeDirectory.path.c_str(), length + 1);
    return length;
}

// ---- Start-up --------------------------------------------------------------

struct ProfileWrite {
    std::string section, key, value, file;
};

struct FakeMessage {
    std::string text, caption;
    void* owner;
};

struct FakeStartup {
    // Script.
    bool profileMissing = false;  // file, section or key absent: the default comes back
    int profileValue = 1;
    intptr_t shellResult = 42;
    int collectResult = 1;
    bool dialogChangesSetting = false;  // what Close does; Esc leaves the setting
    int32_t dialogSetting = 0;
    // Record.
    std::string profileSection, profileKey, profileFile;
    int profileDefault = -999;
    std::vector<std::string> shellPaths;
    std::vector<FakeMessage> messages;
    std::vector<ProfileWrite> writes;
    void* collectInstance = nullptr;
    void* dialogInstance = nullptr;
};
inline FakeStartup fakeStartup;

inline StartupOps FakeStartupOps()
{
    StartupOps ops;
    ops.SelectLanguage = []() { fakeCalls.push_back("SelectLanguage"); };
    ops.GetPrivateProfileIntA = [](const char* section, const char* key, int defaultValue, const char* file) {
        fakeCalls.push_back("GetPrivateProfileIntA");
        fakeStartup.profileSection = section;
        fakeStartup.profileKey = key;
        fakeStartup.profileFile = file;
        fakeStartup.profileDefault = defaultValue;
        return fakeStartup.profileMissing ? defaultValue : fakeStartup.profileValue;
    };
    ops.GetCurrentDirectoryA = FakeGetCurrentDirectoryA;
    ops.ShellExecuteA = [](const char* path) {
        fakeCalls.push_back("ShellExecuteA");
        fakeStartup.shellPaths.push_back(path);
        return fakeStartup.shellResult;
    };
    ops.MessageBoxA = [](const char* text, const char* caption) {
        fakeCalls.push_back("MessageBoxA");
        fakeStartup.messages.push_back(FakeMessage{text, caption, nullptr});
    };
    ops.LoadText = FakeLoadText;
    ops.CollectMachineInfo = [](void* instance) {
        fakeCalls.push_back("CollectMachineInfo");
        fakeStartup.collectInstance = instance;
        return fakeStartup.collectResult;
    };
    ops.ShowMainDialog = [](void* instance) {
        fakeCalls.push_back("ShowMainDialog");
        fakeStartup.dialogInstance = instance;
        if (fakeStartup.dialogChangesSetting) showInfoFile = fakeStartup.dialogSetting;
    };
    ops.WritePrivateProfileStringA = [](const char* section, const char* key, const char* value, const char* file) {
        fakeCalls.push_back("WritePrivateProfileStringA");
        fakeStartup.writes.push_back(ProfileWrite{section, key, value, file});
        return 1;
    };
    return ops;
}

// ---- Report ----------------------------------------------------------------

inline void* const fakeReportFile = (void*)0x5150;

struct FakeReport {
    // Script.
    bool saveAsAccepted = true;
    std::string chosenPath;  // copied into the request's file when not empty
    bool createFails = false;
    int failingWrite = 0;  // 1-based number of the write that fails; 0 for none
    // Record.
    SaveAsRequest request;
    void* saveAsOwner = nullptr;
    std::vector<std::string> createdPaths;
    std::vector<std::string> writes;  // the bytes of each write, failed ones included
    std::vector<void*> writeHandles;
    std::vector<void*> closedHandles;
    std::vector<FakeMessage> messages;
};
inline FakeReport fakeReport;

inline std::string AllWrittenBytes()
{
    std::string all;
    for (const std::string& w : fakeReport.writes) all += w;
    return all;
}

inline ReportOps FakeReportOps()
{
    ReportOps ops;
    ops.GetCurrentDirectoryA = FakeGetCurrentDirectoryA;
    ops.GetSaveFileNameA = [](void* owner, SaveAsRequest* request) {
        fakeCalls.push_back("GetSaveFileNameA");
        fakeReport.saveAsOwner = owner;
        fakeReport.request = *request;
        if (!fakeReport.saveAsAccepted) return 0;
        if (!fakeReport.chosenPath.empty()) {
            snprintf(request->file, sizeof request->file, "%s", fakeReport.chosenPath.c_str());
        }
        return 1;
    };
    ops.CreateFileA = [](const char* path) -> void* {
        fakeCalls.push_back("CreateFileA");
        fakeReport.createdPaths.push_back(path);
        return fakeReport.createFails ? nullptr : fakeReportFile;
    };
    ops.WriteFile = [](void* file, const char* bytes, uint32_t count) {
        fakeCalls.push_back("WriteFile");
        fakeReport.writes.push_back(std::string(bytes, count));
        fakeReport.writeHandles.push_back(file);
        return (int)fakeReport.writes.size() == fakeReport.failingWrite ? 0 : 1;
    };
    ops.CloseHandle = [](void* file) {
        fakeCalls.push_back("CloseHandle");
        fakeReport.closedHandles.push_back(file);
        return 1;
    };
    ops.MessageBoxA = [](void* owner, const char* text, const char* caption) {
        fakeCalls.push_back("MessageBoxA");
        fakeReport.messages.push_back(FakeMessage{text, caption, owner});
    };
    ops.LoadText = FakeLoadText;
    return ops;
}

// ---- Drives ----------------------------------------------------------------

inline void* const fakeFreeSpaceExFunction = (void*)0xFEE;

struct FakeDrives {
    // Script.
    unsigned driveTypes[DRIVE_COUNT] = {};  // 0 (unknown) for every letter not set
    bool loadLibraryFails = false;
    bool procAddressMissing = false;
    bool freeSpaceExFails = false;
    uint64_t callerFreeBytes = 0;
    bool freeSpaceFails = false;
    uint32_t sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
    // Record.
    std::vector<std::string> typeRoots;
    std::vector<std::string> libraryNames;
    std::vector<std::string> procNames;
    std::vector<void*> procModules;
    std::vector<void*> openModules;  // loaded and not yet freed
    int badFrees = 0;                // FreeLibrary of a handle that was not open
    int nextModule = 0x1000;
    std::vector<std::string> exRoots;
    std::vector<void*> exFunctions;
    std::vector<std::string> oldRoots;
};
inline FakeDrives fakeDrives;

inline DriveOps FakeDriveOps()
{
    DriveOps ops;
    ops.GetDriveTypeA = [](const char* root) -> unsigned {
        fakeDrives.typeRoots.push_back(root);
        const int index = root[0] - 'A';
        return index >= 0 && index < DRIVE_COUNT ? fakeDrives.driveTypes[index] : 1;
    };
    ops.LoadLibraryA = [](const char* name) -> void* {
        fakeCalls.push_back("LoadLibraryA");
        fakeDrives.libraryNames.push_back(name);
        if (fakeDrives.loadLibraryFails) return nullptr;
        // A fresh handle per load, so a free of the wrong one shows.
        void* module = (void*)(intptr_t)fakeDrives.nextModule;
        fakeDrives.nextModule += 0x10;
        fakeDrives.openModules.push_back(module);
        return module;
    };
    ops.GetProcAddress = [](void* module, const char* name) -> void* {
        fakeCalls.push_back("GetProcAddress");
        fakeDrives.procModules.push_back(module);
        fakeDrives.procNames.push_back(name);
        return fakeDrives.procAddressMissing ? nullptr : fakeFreeSpaceExFunction;
    };
    ops.FreeLibrary = [](void* module) {
        fakeCalls.push_back("FreeLibrary");
        std::vector<void*>& open = fakeDrives.openModules;
        for (size_t i = 0; i < open.size(); i++) {
            if (open[i] == module) {
                open.erase(open.begin() + (long)i);
                return 1;
            }
        }
        fakeDrives.badFrees++;
        return 0;
    };
    ops.CallGetDiskFreeSpaceExA = [](void* function, const char* root, uint64_t* callerFree) {
        fakeCalls.push_back("GetDiskFreeSpaceExA");
        fakeDrives.exFunctions.push_back(function);
        fakeDrives.exRoots.push_back(root);
        if (fakeDrives.freeSpaceExFails) return 0;
        *callerFree = fakeDrives.callerFreeBytes;
        return 1;
    };
    ops.GetDiskFreeSpaceA = [](const char* root, uint32_t* spc, uint32_t* bps, uint32_t* freeClusters,
                               uint32_t* totalClusters) {
        fakeCalls.push_back("GetDiskFreeSpaceA");
        fakeDrives.oldRoots.push_back(root);
        if (fakeDrives.freeSpaceFails) return 0;
        *spc = fakeDrives.sectorsPerCluster;
        *bps = fakeDrives.bytesPerSector;
        *freeClusters = fakeDrives.freeClusters;
        *totalClusters = fakeDrives.totalClusters;
        return 1;
    };
    return ops;
}

// Every module the code loaded was freed once, and nothing else was freed.
inline void ExpectModulesBalanced()
{
    EXPECT_TRUE(fakeDrives.openModules.empty()) << fakeDrives.openModules.size() << " module(s) never freed";
    EXPECT_EQ(0, fakeDrives.badFrees) << "FreeLibrary of a module that was not loaded, or twice";
}

// ---- Processor -------------------------------------------------------------

// A vendor word as CPUID leaves it in a register: the four characters in
// memory order, little-endian.
inline uint32_t VendorWord(const char four[5])
{
    return (uint32_t)(unsigned char)four[0] | (uint32_t)(unsigned char)four[1] << 8 |
           (uint32_t)(unsigned char)four[2] << 16 | (uint32_t)(unsigned char)four[3] << 24;
}

struct FakeCpuid {
    bool faults = false;
    uint32_t leaf0[4] = {};  // eax (maximum leaf), ebx, ecx, edx
    uint32_t leaf1[4] = {};
    std::vector<uint32_t> leaves;
};
inline FakeCpuid fakeCpuid;

// Leaf 0 of a processor whose vendor string is the 12 characters given.
inline void SetFakeVendor(uint32_t maxLeaf, const char vendor[13])
{
    fakeCpuid.leaf0[0] = maxLeaf;
    fakeCpuid.leaf0[1] = VendorWord(vendor);      // EBX: characters 0 to 3
    fakeCpuid.leaf0[3] = VendorWord(vendor + 4);  // EDX: 4 to 7
    fakeCpuid.leaf0[2] = VendorWord(vendor + 8);  // ECX: 8 to 11
}

inline int FakeCpuidFunction(uint32_t leaf, uint32_t regs[4])
{
    fakeCpuid.leaves.push_back(leaf);
    if (fakeCpuid.faults) return 0;
    const uint32_t* source = leaf == 0 ? fakeCpuid.leaf0 : leaf == 1 ? fakeCpuid.leaf1 : nullptr;
    for (int i = 0; i < 4; i++) regs[i] = source != nullptr ? source[i] : 0;
    return 1;
}

// ---- Clock -----------------------------------------------------------------

inline void* const fakeThread = (void*)-2;  // what GetCurrentThread's pseudo handle looks like

struct FakeClock {
    // Script.
    int rememberedPriority = 2;
    std::vector<uint32_t> times;     // successive timeGetTime results
    std::vector<uint64_t> counters;  // successive counter readings
    // Record.
    size_t timeReads = 0;
    size_t counterReads = 0;
    bool ranOut = false;
    std::vector<void*> threads;
};
inline FakeClock fakeClock;

inline ClockOps FakeClockOps()
{
    ClockOps ops;
    ops.GetCurrentThread = []() -> void* {
        fakeCalls.push_back("GetCurrentThread");
        return fakeThread;
    };
    ops.GetThreadPriority = [](void* thread) {
        fakeCalls.push_back("GetThreadPriority");
        fakeClock.threads.push_back(thread);
        return fakeClock.rememberedPriority;
    };
    ops.SetThreadPriority = [](void* thread, int priority) {
        fakeCalls.push_back("SetThreadPriority " + std::to_string(priority));
        fakeClock.threads.push_back(thread);
        return 1;
    };
    ops.timeGetTime = []() -> uint32_t {
        if (fakeClock.timeReads < fakeClock.times.size()) {
            const uint32_t t = fakeClock.times[fakeClock.timeReads++];
            fakeCalls.push_back("timeGetTime " + std::to_string(t));
            return t;
        }
        // Past the script, answer what ends both waits of a correct
        // measurement; a wait that still spins is a fault, not a slow test.
        fakeClock.ranOut = true;
        if (++fakeClock.timeReads > fakeClock.times.size() + 100000) {
            fprintf(stderr, "timeGetTime polled 100000 times past its script\n");
            abort();
        }
        const uint32_t first = fakeClock.times.empty() ? 0 : fakeClock.times[0];
        return first + 0x80000000u + (uint32_t)(fakeClock.timeReads & 1);
    };
    ops.ReadTimeStampCounter = []() -> uint64_t {
        fakeCalls.push_back("ReadTimeStampCounter");
        const size_t i = fakeClock.counterReads++;
        return i < fakeClock.counters.size() ? fakeClock.counters[i] : 0;
    };
    return ops;
}
