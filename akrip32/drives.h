// The two kinds of drive behind AKrip32.dll's handles.
#pragma once

#include "akrip_records.h"

namespace akrip {

// ---- the virtual audio rig's drive (virtualdrive.cpp) ----

// The rig's drive exists while its registry key does and the rig does not offer its
// emulated drive instead (value Drive); its SCSI address is fixed.
bool VirtualDrivePresent();
bool IsVirtualAddress(uint8_t hostAdapter, uint8_t target, uint8_t lun);
void DescribeVirtualDrive(DriveRecord* record);
// They see the rig's state and disc as they are now: the tray, the disc, the bad
// sectors. Call them under the library's lock.
Result VirtualReadToc(bool msf, Toc* toc);
Result VirtualReadFullToc(FullToc* toc);
Result VirtualRead(TransferHeader* request, uint8_t* data);
// The CD-Text the drive answers for the disc's CUE sheet (READ TOC format 5): up to
// `capacity` bytes of it into `buffer`, their count in *bytes (left 0 for a disc without
// text).
Result VirtualReadCdText(uint8_t* buffer, uint32_t capacity, uint32_t* bytes);
// Lets go of the disc (its files stay open between the reads of a track) once no handle
// names the drive.
void ReleaseVirtualDisc();

// ---- real drives through SCSI pass-through (scsidrive.cpp) ----

struct ScsiDrive;

// Fills up to `room` records with the CD-ROM drives that answer with a SCSI address
// (the virtual drive's address excluded), then those that refuse the access reading
// needs (kDriveRefused); returns how many.
int ListScsiDrives(DriveRecord* records, int room);
// The drive at that address, opened; null when there is none.
ScsiDrive* OpenScsiDrive(uint8_t hostAdapter, uint8_t target, uint8_t lun);
void CloseScsiDrive(ScsiDrive* drive);
// These return a status word (sense.h): the result, and the sense of a drive's refusal.
uint32_t ScsiReadToc(ScsiDrive* drive, bool msf, Toc* toc);
uint32_t ScsiReadFullToc(ScsiDrive* drive, FullToc* toc);
// With `errors` the read asks for C2 pointers (errors[k]: 1 where frame k has a C2
// error); kResultUnsupported where the drive has none or refuses them.
uint32_t ScsiRead(ScsiDrive* drive, TransferHeader* request, uint8_t* data, uint8_t* errors = nullptr);
// READ TOC format 5 with an allocation of up to `capacity` bytes: the answer into
// `buffer`, its count in *bytes; kResultOk with *bytes left 0 where the drive refuses the
// format (ILLEGAL REQUEST: no CD-Text) or answers no whole pack.
uint32_t ScsiReadCdText(ScsiDrive* drive, uint8_t* buffer, uint32_t capacity, uint32_t* bytes);
// Asked of the drive at the first call.
uint32_t ScsiFeatures(ScsiDrive* drive, DriveFeatures* features);

}  // namespace akrip
