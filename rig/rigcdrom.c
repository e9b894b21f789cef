/* rigcdrom.sys: the rig's emulated CD drive as a kernel-mode driver, which Wine runs in
 * winedevice.exe. It makes the device \Device\RigCdRom0 with the drive letter Q: and
 * hands every request to rigdrive.dll (rigdrive.h), where the drive lives: this file
 * only unpacks the requests and completes them. */
/* The DDK headers want a newer Windows than the program's user-mode headers are held to. */
#undef _WIN32_WINNT
#undef WINVER
#include <ntddk.h>

#include "rigdrive.h"

#define DEVICE_NAME L"\\Device\\RigCdRom0"
#define LETTER_LINK L"\\DosDevices\\Q:"

static NTSTATUS Complete(PIRP irp, NTSTATUS status, ULONG_PTR information) {
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

static NTSTATUS WINAPI OnCreate(PDEVICE_OBJECT device, PIRP irp) {
    (void)device;
    return Complete(irp, RigDriveOpen(), 0);
}

static NTSTATUS WINAPI OnClose(PDEVICE_OBJECT device, PIRP irp) {
    (void)device;
    return Complete(irp, STATUS_SUCCESS, 0);
}

/* The caller's buffers: buffered requests share one system buffer; a direct one
 * (raw reads) writes into the caller's memory described by the MDL. */
static NTSTATUS WINAPI OnControl(PDEVICE_OBJECT device, PIRP irp) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    ULONG code = stack->Parameters.DeviceIoControl.IoControlCode;
    void* in = irp->AssociatedIrp.SystemBuffer;
    void* out = in;
    uintptr_t information = 0;
    NTSTATUS status;
    (void)device;
    if ((code & 3) == METHOD_OUT_DIRECT || (code & 3) == METHOD_IN_DIRECT)
        out = irp->MdlAddress ? MmGetSystemAddressForMdlSafe(irp->MdlAddress, NormalPagePriority) : NULL;
    status = RigDriveControl(code, in, stack->Parameters.DeviceIoControl.InputBufferLength, out,
                             stack->Parameters.DeviceIoControl.OutputBufferLength, &information,
                             (uintptr_t)PsGetCurrentProcessId());
    return Complete(irp, status, information);
}

static void WINAPI OnUnload(PDRIVER_OBJECT driver) {
    UNICODE_STRING link;
    RtlInitUnicodeString(&link, LETTER_LINK);
    IoDeleteSymbolicLink(&link);
    if (driver->DeviceObject) IoDeleteDevice(driver->DeviceObject);
}

/* Wine's loader first calls the entry point as a DLL's (image base, reason, 0): such a
 * call returns at once, with TRUE. The driver's own call follows. The mount manager
 * has linked Q: to a device of its own (the prefix names Q: a CD-ROM drive), so that
 * link goes before the drive's own is made. */
NTSTATUS WINAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath) {
    UNICODE_STRING name, link;
    PDEVICE_OBJECT device;
    NTSTATUS status;
    if ((ULONG_PTR)registryPath < 0x10000) return TRUE;
    RtlInitUnicodeString(&name, DEVICE_NAME);
    RtlInitUnicodeString(&link, LETTER_LINK);
    status = IoCreateDevice(driver, 0, &name, FILE_DEVICE_CD_ROM, FILE_REMOVABLE_MEDIA, FALSE, &device);
    if (!NT_SUCCESS(status)) return status;
    IoDeleteSymbolicLink(&link);
    status = IoCreateSymbolicLink(&link, &name);
    if (!NT_SUCCESS(status)) {
        IoDeleteDevice(device);
        return status;
    }
    driver->MajorFunction[IRP_MJ_CREATE] = OnCreate;
    driver->MajorFunction[IRP_MJ_CLOSE] = OnClose;
    driver->MajorFunction[IRP_MJ_CLEANUP] = OnClose;
    driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = OnControl;
    driver->DriverUnload = OnUnload;
    return STATUS_SUCCESS;
}
