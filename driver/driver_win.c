/* The kernel side of zphtstnt: device, link and the three dispatch entries.
   The scan and the answer to the request live in pci_scan.cpp. */
#include <ntddk.h>

#include "driver/pci_scan.h"
#include "driver/zphtstnt_interface.h"

/* Exported by the NT 4.0 HAL, but not declared by mingw-w64's DDK headers. */
NTHALAPI ULONG NTAPI HalGetBusData(BUS_DATA_TYPE busDataType, ULONG busNumber, ULONG slotNumber, PVOID buffer,
                                   ULONG length);

DRIVER_INITIALIZE DriverEntry;
static DRIVER_DISPATCH DispatchCreateClose;
static DRIVER_DISPATCH DispatchDeviceControl;
static DRIVER_UNLOAD UnloadDriver;

/* Reads one function's header through the HAL for the scan. */
static uint32_t ReadBusData(int busDataType, uint32_t busNumber, uint32_t slotNumber, void* buffer, uint32_t length)
{
    return HalGetBusData((BUS_DATA_TYPE)busDataType, busNumber, slotNumber, buffer, length);
}

static const PciOps halPciOps = {ReadBusData};

/* DriverEntry: creates the exclusive device and its DOS link.
   driverObject: ours; registryPath: not used.
   Returns the failing step's status, with nothing left created. */
NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driverObject, PUNICODE_STRING registryPath)
{
    UNICODE_STRING deviceName, linkName;
    PDEVICE_OBJECT device = NULL;
    NTSTATUS status;

    (void)registryPath;
    RtlInitUnicodeString(&deviceName, ZPHTSTNT_DEVICE_NAME);
    status = IoCreateDevice(driverObject, 0, &deviceName, FILE_DEVICE_BRIDGE_QUERY, 0, TRUE, &device);
    if (!NT_SUCCESS(status)) return status;
    device->Flags |= DO_BUFFERED_IO;

    driverObject->MajorFunction[IRP_MJ_CREATE] = DispatchCreateClose;
    driverObject->MajorFunction[IRP_MJ_CLOSE] = DispatchCreateClose;
    driverObject->MajorFunction[IRP_MJ_DEVICE_CONTROL] = DispatchDeviceControl;
    driverObject->DriverUnload = UnloadDriver;

    RtlInitUnicodeString(&linkName, ZPHTSTNT_LINK_NAME);
    status = IoCreateSymbolicLink(&linkName, &deviceName);
    if (!NT_SUCCESS(status)) {
        IoDeleteDevice(device);
        return status;
    }
    return STATUS_SUCCESS;
}

/* DispatchCreateClose: opening and closing always succeed. */
static NTSTATUS NTAPI DispatchCreateClose(PDEVICE_OBJECT device, PIRP irp)
{
    (void)device;
    irp->IoStatus.Status = STATUS_SUCCESS;
    irp->IoStatus.Information = 0;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return STATUS_SUCCESS;
}

/* DispatchDeviceControl: answers IOCTL_GET_BRIDGE_DATA from a fresh scan.
   Returns the status it completed the request with. */
static NTSTATUS NTAPI DispatchDeviceControl(PDEVICE_OBJECT device, PIRP irp)
{
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    DeviceControlAnswer answer;

    (void)device;
    irp->IoStatus.Information = 0;
    answer = AnswerDeviceControl(&halPciOps, stack->Parameters.DeviceIoControl.IoControlCode,
                                 stack->Parameters.DeviceIoControl.OutputBufferLength,
                                 (uint8_t*)irp->AssociatedIrp.SystemBuffer);
    irp->IoStatus.Status = (NTSTATUS)answer.status;
    irp->IoStatus.Information = answer.information;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return (NTSTATUS)answer.status;
}

/* UnloadDriver: removes what DriverEntry made, in reverse order. */
static VOID NTAPI UnloadDriver(PDRIVER_OBJECT driverObject)
{
    UNICODE_STRING linkName;

    RtlInitUnicodeString(&linkName, ZPHTSTNT_LINK_NAME);
    IoDeleteSymbolicLink(&linkName);
    IoDeleteDevice(driverObject->DeviceObject);
}
