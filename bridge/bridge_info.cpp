#include "bridge/bridge_info.h"

#include "app/machine_record.h"
#include "app/text_format.h"
#include "bridge/chipset_table.h"
#include "driver/zphtstnt_interface.h"

namespace {

const char notAvailable[] = "N/A";
const char thunkDllName[] = "zphtst32.dll";
const char thunkExportName[] = "QVRGetBridgeData";
const char driverFileName[] = "ZPHTSTNT.SYS";
const char driverServiceName[] = "ZPHTSTNT";

// Windows 9x: the thunk DLL, loaded for this one call. Writes pciBiosText.
int QueryBridgeViaThunk(const BridgeOps& ops, BridgeData* data)
{
    void* module = ops.LoadLibraryA(thunkDllName);
    int ok = 0;
    if (module != nullptr) {
        void* function = ops.GetProcAddress(module, thunkExportName);
        if (function != nullptr) {
            ok = ops.CallQVRGetBridgeData(function, &data->pciBiosVersion, &data->vendorId, &data->deviceId,
                                          &data->latencyTimer) != 0;
        }
        ops.FreeLibrary(module);
    }
    if (ok) {
        // Plain decimal bytes: 0x0210 reads 2.16, not BCD 2.10.
        FormatText(MachineInfo.pciBiosText, sizeof MachineInfo.pciBiosText, "%d.%d", data->pciBiosVersion >> 8,
                   data->pciBiosVersion & 0xFF);
    } else {
        CopyText(MachineInfo.pciBiosText, sizeof MachineInfo.pciBiosText, notAvailable);
    }
    return ok;
}

}  // namespace

int QueryBridgeViaDriverWith(const BridgeOps& ops, uint16_t* vendorId, uint16_t* deviceId, uint8_t* latencyTimer)
{
    int installed = 0;
    void* device = ops.CreateFileA(ZPHTSTNT_USER_PATH);
    if (device == nullptr) {
        ops.InstallDriverService(driverFileName, driverServiceName);
        device = ops.CreateFileA(ZPHTSTNT_USER_PATH);
        // Whatever the installation left behind stays: this call cannot tell
        // a service it started from one that was there before.
        if (device == nullptr) return 0;
        installed = 1;
    }
    uint8_t response[BRIDGE_RESPONSE_LENGTH] = {};
    uint32_t bytesReturned = 0;
    const int ok = ops.DeviceIoControl(device, IOCTL_GET_BRIDGE_DATA, response, sizeof response, &bytesReturned);
    // The driver cannot be stopped while its device is open.
    ops.CloseHandle(device);
    if (installed) ops.RemoveDriverService(driverServiceName);
    if (!ok) return 0;
    *vendorId = (uint16_t)(response[BRIDGE_RESPONSE_VENDOR_OFFSET] | response[BRIDGE_RESPONSE_VENDOR_OFFSET + 1] << 8);
    *deviceId = (uint16_t)(response[BRIDGE_RESPONSE_DEVICE_OFFSET] | response[BRIDGE_RESPONSE_DEVICE_OFFSET + 1] << 8);
    *latencyTimer = response[BRIDGE_RESPONSE_LATENCY_OFFSET];
    return ok;
}

void CollectBridgeInfoWith(const BridgeOps& ops, int32_t isNt, uint32_t majorVersion)
{
    BridgeData data = {};
    int ok;
    if (isNt == 1) {
        // NT 3.x has no such driver to offer.
        ok = majorVersion >= 4 && QueryBridgeViaDriverWith(ops, &data.vendorId, &data.deviceId, &data.latencyTimer);
        CopyText(MachineInfo.pciBiosText, sizeof MachineInfo.pciBiosText, notAvailable);
    } else {
        ok = QueryBridgeViaThunk(ops, &data);
    }
    if (ok) {
        FormatText(MachineInfo.latencyText, sizeof MachineInfo.latencyText, "%d", (int)data.latencyTimer);
        FormatChipsetName(data.vendorId, data.deviceId, MachineInfo.chipsetText);
    } else {
        CopyText(MachineInfo.chipsetText, sizeof MachineInfo.chipsetText, notAvailable);
        CopyText(MachineInfo.latencyText, sizeof MachineInfo.latencyText, notAvailable);
    }
}
