// The C interface of libcdrip, the CD ripping library: drive enumeration, drive parameters, the
// table of contents and a chunked, jitter-corrected rip, plus a handle-based reader for players.
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Result codes of the CR_ calls.
enum {
    CR_OK = 0,
    CR_ERROR = 1,            // drive or read failure
    CR_FILE_OPEN_ERROR = 2,  // the drive, image or settings file could not be opened
    CR_RIP_COMPLETE = 4,     // the last chunk of the open rip has been delivered
    CR_JITTER_ERROR = -1,
};

// The per-drive parameters record: exactly 1380 bytes, little-endian, fields at fixed offsets
// (every field lies at its natural alignment, so no packing is needed; the library checks the
// layout when it is built). Fields without a name are kept by the library and handed back
// unchanged.
typedef struct CR_DriveTable {
    int32_t driveType;      // 0 GENERIC .. 19 CUSTOMDRIVE
    int32_t readMethod;     // 0 jitter-corrected (paranoia), 1 plain reads
    int32_t reserved[5];
} CR_DriveTable;

typedef struct CR_CdromParameters {
    char id[255];           // drive identifier, NUL-padded (no NUL when all 255 bytes are used)
    uint8_t pad0;
    int32_t readSectors;    // sectors per chunk
    int32_t readOverlap;    // sectors re-read around a chunk boundary when verifying
    int32_t blockCompare;   // sectors compared per verification block
    int32_t startOffset;    // read offset in samples applied at the start of a rip
    int32_t endOffset;      // read offset in samples applied at the end of a rip
    int32_t cdSpeed;        // drive speed (x 176.4 kB/s); 0 = the drive's maximum
    int32_t spinUpTime;     // seconds to wait for a drive to spin up
    int32_t reserved284;
    int32_t reserved288;
    CR_DriveTable driveTable;  // offset 292
    uint8_t reserved320[3];
    uint8_t pad1;
    int32_t reserved324;
    int16_t retries;        // offset 328: reads retried before a sector is given up
    int16_t reserved330;
    int32_t reserved332;
    int32_t reserved336;
    int16_t reserved340;
    uint8_t pad2[2];
    int32_t reserved344;
    int16_t reserved348;
    int16_t reserved350;
    uint8_t reserved352[1028];
} CR_CdromParameters;

// One table-of-contents entry as returned by value: 8 bytes, of which callers use the first 6.
typedef struct CR_TocEntry {
    int32_t startSector;    // LSN: sector 0 is disc time 00:02.00
    uint8_t entryType;      // 0 audio, 4 data
    uint8_t trackNumber;
    uint8_t reserved[2];
} CR_TocEntry;

// Library-wide: initialise with the settings file, choose the active drive for what follows.
int32_t CR_Init(const char* iniFile);
int32_t CR_GetNumCDROM(void);
int32_t CR_SetActiveCDROM(int32_t index);
int32_t CR_GetCDROMParameters(CR_CdromParameters* params);
int32_t CR_SetCDROMParameters(CR_CdromParameters* params);
int32_t CR_IsUnitReady(void);
// Why the active drive was not ready at the last CR_IsUnitReady or CR_ReadToc, as a sentence: for
// a disc image, which file is missing or broken; empty for a drive that simply holds no disc, or
// when it was ready. Copies at most SIZE - 1 bytes and a NUL into TEXT (TEXT may be null when
// SIZE is 0); returns the whole text's length. Touches no drive.
int32_t CR_GetNotReadyReason(char* text, int32_t size);
int32_t CR_ReadToc(void);
int32_t CR_GetNumTocEntries(void);
CR_TocEntry CR_GetTocEntry(int32_t index);  // index == count gives the lead-out

// One rip at a time on the active drive: sectors [start, end).
int32_t CR_OpenRipper(int32_t* bufferSize, int32_t startSector, int32_t endSector);
int32_t CR_RipChunk(uint8_t* buffer, int32_t* bytesRead, int32_t* abort);
int32_t CR_GetPercentCompleted(void);
int32_t CR_GetNumberOfJitterErrors(void);
int32_t CR_CloseRipper(void);

// A player's own handle on one drive, independent of the active drive and of a rip, so that it
// may be used from another thread. Every call may block on the drive (spin-up, scratches).
typedef struct CR_Disc CR_Disc;
// Opens drive INDEX (0-based, as CR_GetNumCDROM counts them) of the settings file INIFILE;
// null when there is no such drive.
CR_Disc* CR_DiscOpen(const char* iniFile, int32_t index);
// Reads the disc's table of contents into ENTRIES (count + 1 entries, the last the lead-out).
// Returns the number of tracks, 0 when there is no disc; at most CAPACITY - 1 tracks are given.
int32_t CR_DiscReadToc(CR_Disc* disc, CR_TocEntry* entries, int32_t capacity);
// Reads COUNT raw audio sectors from SECTOR (2352 bytes each) into BUFFER. CR_OK or CR_ERROR.
int32_t CR_DiscReadAudio(CR_Disc* disc, int32_t sector, int32_t count, void* buffer);
// Whether the drive has a tray to open (a disc image has not). Touches no drive.
int32_t CR_DiscCanEject(CR_Disc* disc);
// Opens the drive's tray. CR_OK, or CR_ERROR when the drive cannot eject (a disc image).
int32_t CR_DiscEject(CR_Disc* disc);
void CR_DiscClose(CR_Disc* disc);

// For tests: while HOLD is nonzero, every call that reads a drive or an image (CR_IsUnitReady,
// CR_ReadToc, CR_OpenRipper, CR_RipChunk, CR_DiscReadToc, CR_DiscReadAudio) waits inside the
// call, as it would for a drive that takes seconds to spin up; setting it back to 0 lets them go.
void CR_TestHoldDrive(int32_t hold);

#ifdef __cplusplus
}
#endif
