// AKrip32.dll, the CD extraction library: the list of CD drives, a handle to one of
// them, its table of contents and raw reads of audio frames. Every export is cdecl
// and undecorated; records are those of akrip_records.h.
//
//   GetCDList(list)          fills the drive list (the rig's virtual drive first while
//                            HKCU\Software\VirtualAudioRig exists, then the machine's
//                            CD drives); returns the number of drives listed.
//   GetCDHandle(request)     a nonzero handle to the drive at the request's address,
//                            0 when there is none or the request is malformed.
//   ModifyCDParms(cd, p, v)  sets a parameter of the handle: kParmMsfToc (36) chooses
//                            MSF (v != 0, the default) or LBA (v == 0) addresses for
//                            ReadTOC. kResultOk, or a failure code.
//   ReadTOC(cd, toc)         reads the disc's table of contents (MMC READ TOC format 0).
//   ReadFullTOC(cd, toc)     reads the full table of contents (format 2: sessions, and
//                            each session's lead-out). A drive that refuses format 2
//                            but gives the session information (format 1) of a disc of
//                            several sessions gets a table of one point: the first
//                            session's lead-out, a session gap before the last session.
//   ReadCDAudioLBA(cd, buf)  reads the buffer's frames into its data area; sets the
//                            delivered byte count, the offset and the status word.
//   GetCDFeatures(cd, f)     what the drive says it can do (C2 error pointers, the size
//                            of its read cache), asked once per handle.
//   ReadCDAudioLBAC2(cd, buf, errors)
//                            ReadCDAudioLBA with the drive's C2 error pointers: errors[k]
//                            (room for the buffer's frames) is 1 where the drive flagged
//                            a byte of frame k as uncorrected, else 0. kResultUnsupported,
//                            reading nothing, where the drive has no C2 pointers or has
//                            refused both forms of them (then GetCDFeatures says so).
//   ReadCDText(cd, buffer, capacity, bytes)
//                            the disc's CD-Text as the drive answers READ TOC format 5:
//                            the 4-byte header (its length big-endian) and the 18-byte
//                            packs, up to `capacity` bytes (at least 4; kCdTextAnswerBytes
//                            of cdtext.h hold a block), their count in *bytes. kResultOk
//                            with *bytes 0: the disc has none, or the drive reads none.
//                            cdtext.h's ParseCdText reads the answer.
//   CloseCDHandle(cd)        ends the handle; 1, or 0 for a handle that is not open.
//
// ReadTOC, ReadFullTOC, ReadCDText and ReadCDAudioLBA return kResultOk (1) on success. On failure
// ReadCDAudioLBA returns the Result, and the status word of the buffer holds it with
// the drive's sense (sense.h: StatusResult, StatusSense); ReadTOC, ReadFullTOC and
// ReadCDText return such a status word. Nothing is written beyond a record or beyond the data
// area's capacity.
#pragma once

#include <stdint.h>

#include "akrip_records.h"

#ifdef AKRIP32_BUILD
#define AKRIP32_API extern "C" __declspec(dllexport)
#else
#define AKRIP32_API extern "C" __declspec(dllimport)
#endif

typedef uint32_t HCDROM;   // 0: no drive

AKRIP32_API uint32_t __cdecl GetCDList(akrip::DriveList* list);
AKRIP32_API HCDROM __cdecl GetCDHandle(akrip::HandleRequest* request);
AKRIP32_API uint32_t __cdecl ModifyCDParms(HCDROM cd, int parameter, uint32_t value);
AKRIP32_API uint32_t __cdecl ReadTOC(HCDROM cd, akrip::Toc* toc);
AKRIP32_API uint32_t __cdecl ReadFullTOC(HCDROM cd, akrip::FullToc* toc);
AKRIP32_API uint32_t __cdecl ReadCDAudioLBA(HCDROM cd, akrip::TransferHeader* buffer);
AKRIP32_API uint32_t __cdecl GetCDFeatures(HCDROM cd, akrip::DriveFeatures* features);
AKRIP32_API uint32_t __cdecl ReadCDAudioLBAC2(HCDROM cd, akrip::TransferHeader* buffer, uint8_t* errors);
AKRIP32_API uint32_t __cdecl ReadCDText(HCDROM cd, uint8_t* buffer, uint32_t capacity, uint32_t* bytes);
AKRIP32_API int __cdecl CloseCDHandle(HCDROM cd);
