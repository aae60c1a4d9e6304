/* The driver's search of PCI configuration space and its answer to the one
   control request. Free of kernel headers so that it also builds natively;
   the HAL's bus reader comes in through PciOps. */
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

enum {
    PCI_CONFIGURATION_BUS_DATA = 4, /* BUS_DATA_TYPE PCIConfiguration */
    PCI_HEADER_READ_LENGTH = 64,
    PCI_CONFIG_BUFFER_SIZE = 256,
    PCI_DEVICES_PER_BUS = 32,
    PCI_FUNCTIONS_PER_DEVICE = 8
};

#define PCI_CLASS_HOST_BRIDGE 0x060000u
#define PCI_CLASS_VGA_DISPLAY 0x030000u
#define PCI_VENDOR_PHILIPS 0x1131u
#define PCI_DEVICE_SAA7146 0x7146u

#define ZPH_STATUS_SUCCESS 0x00000000u
#define ZPH_STATUS_INVALID_PARAMETER 0xC000000Du
#define ZPH_STATUS_DEVICE_DOES_NOT_EXIST 0xC00000C0u
#define ZPH_STATUS_INVALID_BUFFER_SIZE 0xC0000206u

typedef struct PciOps {
    /* HalGetBusData: 0 when the bus does not exist, 2 when no device
       answers at the slot, otherwise the header was read. */
    uint32_t (*HalGetBusData)(int busDataType, uint32_t busNumber, uint32_t slotNumber, void* buffer,
                              uint32_t length);
} PciOps;

typedef struct DeviceControlAnswer {
    uint32_t status;
    uint32_t information; /* the byte count of the I/O status */
} DeviceControlAnswer;

int FindPciDeviceById(const PciOps* ops, uint16_t vendorId, uint16_t deviceId,
                      uint8_t configuration[PCI_CONFIG_BUFFER_SIZE]);
int FindPciDeviceByClass(const PciOps* ops, uint32_t classCode, uint8_t configuration[PCI_CONFIG_BUFFER_SIZE]);

/* Writes nothing when it returns 0 (no host bridge on any bus). */
int QueryHostBridge(const PciOps* ops, uint16_t* vendorId, uint16_t* deviceId, uint8_t* latencyTimer);

/* The decisions of DispatchDeviceControl; writes only bytes 2 to 6 of
   systemBuffer, and only on success. */
DeviceControlAnswer AnswerDeviceControl(const PciOps* ops, uint32_t controlCode, uint32_t outputLength,
                                        uint8_t* systemBuffer);

#ifdef __cplusplus
}
#endif
