/* rigdrive.dll: the rig's emulated CD drive behind rigcdrom.sys. The driver calls these
 * two for each request it gets; they return an NTSTATUS. Plain C, for the driver. */
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#ifdef RIGDRIVE_BUILD
#define RIGDRIVE_API __declspec(dllexport)
#else
#define RIGDRIVE_API __declspec(dllimport)
#endif

/* An open of the drive: refused while the rig does not offer it (no such device).
 * (Wine opens the device whatever the driver answers; every request is refused too.) */
RIGDRIVE_API long __stdcall RigDriveOpen(void);

/* A device control request `code`: `in` holds inLength bytes, `out` takes outLength
 * (for buffered requests both are the one system buffer); *information gets the bytes
 * given back. `caller` is the process that sent it, whose memory a direct SCSI
 * pass-through's data buffer lies in. */
RIGDRIVE_API long __stdcall RigDriveControl(unsigned long code, void* in, unsigned long inLength, void* out,
                                            unsigned long outLength, uintptr_t* information, uintptr_t caller);

#ifdef __cplusplus
}
#endif
