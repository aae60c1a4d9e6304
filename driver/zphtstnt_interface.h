/* What the program and the driver zphtstnt must agree on: the device's names,
   its one control code and the layout of the response. C and C++. */
#pragma once

#define ZPHTSTNT_DEVICE_NAME L"\\Device\\ZPHTSTNT"
#define ZPHTSTNT_LINK_NAME L"\\DosDevices\\ZPHTSTNT"
#define ZPHTSTNT_USER_PATH "\\\\.\\ZPHTSTNT"

#define FILE_DEVICE_BRIDGE_QUERY 0x9C41u
/* CTL_CODE(FILE_DEVICE_BRIDGE_QUERY, 0x800, METHOD_BUFFERED, FILE_ANY_ACCESS) */
#define IOCTL_GET_BRIDGE_DATA 0x9C412000u

/* The response: bytes 0, 1 and 7 are left as the caller gave them. */
#define BRIDGE_RESPONSE_LENGTH 8u
#define BRIDGE_RESPONSE_VENDOR_OFFSET 2u
#define BRIDGE_RESPONSE_DEVICE_OFFSET 4u
#define BRIDGE_RESPONSE_LATENCY_OFFSET 6u
