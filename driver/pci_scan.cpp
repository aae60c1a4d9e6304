#include "driver/pci_scan.h"

#include "driver/zphtstnt_interface.h"

namespace {

enum {
    HAL_NO_SUCH_BUS = 0,
    HAL_NO_DEVICE = 2,
    HEADER_VENDOR_ID = 0x00,
    HEADER_DEVICE_ID = 0x02,
    HEADER_PROGRAMMING_INTERFACE = 0x09,
    HEADER_SUB_CLASS = 0x0A,
    HEADER_BASE_CLASS = 0x0B,
    HEADER_LATENCY_TIMER = 0x0D
};

uint16_t Read16(const uint8_t* bytes, unsigned offset)
{
    return (uint16_t)(bytes[offset] | bytes[offset + 1] << 8);
}

void Write16(uint8_t* bytes, unsigned offset, uint16_t value)
{
    bytes[offset] = (uint8_t)value;
    bytes[offset + 1] = (uint8_t)(value >> 8);
}

struct Criterion {
    int byClass;
    uint16_t vendorId, deviceId;
    uint32_t classCode;
};

int Matches(const Criterion& wanted, const uint8_t* header)
{
    if (!wanted.byClass) {
        return Read16(header, HEADER_VENDOR_ID) == wanted.vendorId && Read16(header, HEADER_DEVICE_ID) == wanted.deviceId;
    }
    return header[HEADER_BASE_CLASS] == (uint8_t)(wanted.classCode >> 16) &&
           header[HEADER_SUB_CLASS] == (uint8_t)(wanted.classCode >> 8) &&
           header[HEADER_PROGRAMMING_INTERFACE] == (uint8_t)wanted.classCode;
}

// Buses ascending until the HAL reports one missing. The header type's
// multi-function bit is not looked at: the first absent function ends the
// device, which finds every function a well-behaved device reports.
int Scan(const PciOps* ops, const Criterion& wanted, uint8_t* configuration)
{
    for (uint32_t bus = 0;; bus++) {
        for (uint32_t device = 0; device < PCI_DEVICES_PER_BUS; device++) {
            for (uint32_t function = 0; function < PCI_FUNCTIONS_PER_DEVICE; function++) {
                const uint32_t slot = device + function * 32;
                const uint32_t got = ops->HalGetBusData(PCI_CONFIGURATION_BUS_DATA, bus, slot, configuration,
                                                        PCI_HEADER_READ_LENGTH);
                if (got == HAL_NO_SUCH_BUS) return 0;
                if (got == HAL_NO_DEVICE) break;
                if (Matches(wanted, configuration)) return 1;
            }
        }
    }
}

}  // namespace

extern "C" int FindPciDeviceById(const PciOps* ops, uint16_t vendorId, uint16_t deviceId,
                                 uint8_t configuration[PCI_CONFIG_BUFFER_SIZE])
{
    const Criterion wanted = {0, vendorId, deviceId, 0};
    return Scan(ops, wanted, configuration);
}

extern "C" int FindPciDeviceByClass(const PciOps* ops, uint32_t classCode,
                                    uint8_t configuration[PCI_CONFIG_BUFFER_SIZE])
{
    const Criterion wanted = {1, 0, 0, classCode};
    return Scan(ops, wanted, configuration);
}

extern "C" int QueryHostBridge(const PciOps* ops, uint16_t* vendorId, uint16_t* deviceId, uint8_t* latencyTimer)
{
    uint8_t configuration[PCI_CONFIG_BUFFER_SIZE];
    if (!FindPciDeviceByClass(ops, PCI_CLASS_HOST_BRIDGE, configuration)) return 0;
    *vendorId = Read16(configuration, HEADER_VENDOR_ID);
    *deviceId = Read16(configuration, HEADER_DEVICE_ID);
    if (FindPciDeviceById(ops, PCI_VENDOR_PHILIPS, PCI_DEVICE_SAA7146, configuration)) {
        *latencyTimer = configuration[HEADER_LATENCY_TIMER];
    } else if (FindPciDeviceByClass(ops, PCI_CLASS_VGA_DISPLAY, configuration)) {
        *latencyTimer = configuration[HEADER_LATENCY_TIMER];
    } else {
        *latencyTimer = 0;
    }
    return 1;
}

extern "C" DeviceControlAnswer AnswerDeviceControl(const PciOps* ops, uint32_t controlCode, uint32_t outputLength,
                                                   uint8_t* systemBuffer)
{
    DeviceControlAnswer answer = {ZPH_STATUS_SUCCESS, 0};
    // The code is tested first: another code with a short buffer is an
    // invalid parameter, not a short buffer.
    if (controlCode != IOCTL_GET_BRIDGE_DATA) {
        answer.status = ZPH_STATUS_INVALID_PARAMETER;
    } else if (outputLength < BRIDGE_RESPONSE_LENGTH) {
        answer.status = ZPH_STATUS_INVALID_BUFFER_SIZE;
    } else {
        uint16_t vendorId = 0, deviceId = 0;
        uint8_t latencyTimer = 0;
        if (!QueryHostBridge(ops, &vendorId, &deviceId, &latencyTimer)) {
            answer.status = ZPH_STATUS_DEVICE_DOES_NOT_EXIST;
        } else {
            Write16(systemBuffer, BRIDGE_RESPONSE_VENDOR_OFFSET, vendorId);
            Write16(systemBuffer, BRIDGE_RESPONSE_DEVICE_OFFSET, deviceId);
            systemBuffer[BRIDGE_RESPONSE_LATENCY_OFFSET] = latencyTimer;
            answer.information = BRIDGE_RESPONSE_LENGTH;
        }
    }
    return answer;
}
