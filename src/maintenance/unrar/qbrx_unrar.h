/*
 * libunrar: list, test and extract RAR archives (RAR 1.5-4.x and RAR 5.x)
 * through the classic UnRAR-style C interface, built on libarchive.
 *
 * Layout: x86-64, wchar_t is 4 bytes, every 8-bit name and comment is UTF-8.
 * Names use "/" between folders whatever the archive stored.
 *
 * What this library does on its own, beside libarchive:
 *  - it reads the RAR 4 and RAR 5 block headers itself for the archive flags,
 *    comments, entry flags, host system, CRC, method, sizes, time and
 *    attributes;
 *  - every extracted or tested file is checked for its size and CRC32;
 *    a mismatch is ERAR_BAD_DATA;
 *  - a file is written under a temporary name beside its destination and
 *    renamed onto it only after the checks passed, so an existing file is
 *    never left half-overwritten;
 *  - entries whose names leave the destination (".." parts, absolute paths,
 *    drive letters), links of every kind, file copies and encrypted entries
 *    are refused before anything of them is written;
 *  - a RAR 4 symbolic link is tested by its target (its stored data), which
 *    is checked for its size and CRC32 like a file's data;
 *  - files are written with mode 0644 and folders with 0755, files with the
 *    entry's modification time: the extended time of RAR 4 entries (to the
 *    second and its fraction) when stored, else the DOS time;
 *  - a RAR 5 entry stored as version N of its file (rar -ver) is listed and
 *    extracted as "name;N", as libarchive names it, so that no version
 *    overwrites another;
 *  - names without the Unicode flag are read as code page 936 (GBK), or as
 *    UTF-8 when the archive was made on Unix and they read as such;
 *  - solid RAR 4 archives and volumes of a multi-volume set are refused when
 *    opened for extraction (they can still be listed);
 *  - an archive without its end-of-archive block counts as cut off
 *    (ERAR_BAD_ARCHIVE after its last entry).
 *
 * Comments: the archive comment of a RAR 4 "CMT" block or a RAR 5 comment
 * block (stored or packed, unpacked by libarchive) is read; the RAR 2
 * comment inside the archive header and RAR 2 entry comments are not
 * (CmtState 0, CmtSize 0). RAR 5 entries that carry a hash other than CRC32
 * are checked for their size only.
 *
 * Decryption is not offered: an encrypted entry asks the password callback
 * (UCM_NEEDPASSWORD) when no password was set, then fails.
 */
#ifndef QBRX_UNRAR_H
#define QBRX_UNRAR_H

#include <stdint.h>
#include <wchar.h>

#ifdef __cplusplus
extern "C" {
#endif

#define RAR_DLL_VERSION 9

/* Result codes. */
#define ERAR_SUCCESS 0
#define ERAR_END_ARCHIVE 10
#define ERAR_NO_MEMORY 11
#define ERAR_BAD_DATA 12       /* CRC or size mismatch, damaged or cut-off data */
#define ERAR_BAD_ARCHIVE 13    /* damaged block structure */
#define ERAR_UNKNOWN_FORMAT 14 /* not a RAR archive, a feature this library refuses, or an
                                  encrypted entry when a password was given */
#define ERAR_EOPEN 15
#define ERAR_ECREATE 16        /* the entry cannot be created (also: unsafe name, link) */
#define ERAR_ECLOSE 17
#define ERAR_EREAD 18
#define ERAR_EWRITE 19         /* errno tells why (ENOSPC: the disk is full) */
#define ERAR_SMALL_BUF 20
#define ERAR_UNKNOWN 21
#define ERAR_MISSING_PASSWORD 22 /* encrypted, and no password was given */

/* Open modes. */
#define RAR_OM_LIST 0
#define RAR_OM_EXTRACT 1
#define RAR_OM_LIST_INCSPLIT 2

/* RARProcessFile operations. */
#define RAR_SKIP 0
#define RAR_TEST 1
#define RAR_EXTRACT 2

/* Callback messages. */
#define UCM_CHANGEVOLUME 0   /* P1: volume name (char[1024]), P2: RAR_VOL_ASK / RAR_VOL_NOTIFY;
                                never sent: volumes are refused for extraction */
#define UCM_PROCESSDATA 1    /* P1: data (unsigned char *), P2: its size */
#define UCM_NEEDPASSWORD 2   /* P1: password buffer (char *), P2: its size */

#define RAR_VOL_ASK 0
#define RAR_VOL_NOTIFY 1

/* Archive flags (RAROpenArchiveDataEx.Flags). */
#define ROADF_VOLUME 0x0001
#define ROADF_COMMENT 0x0002
#define ROADF_LOCK 0x0004
#define ROADF_SOLID 0x0008
#define ROADF_NEWNUMBERING 0x0010
#define ROADF_SIGNED 0x0020
#define ROADF_RECOVERY 0x0040
#define ROADF_ENCHEADERS 0x0080
#define ROADF_FIRSTVOLUME 0x0100

/* Entry flags (RARHeaderData(Ex).Flags). Bits 5 to 7 hold the dictionary
 * size code 0..6 (64 KB << code); all three set (RHDF_DIRECTORY) marks a
 * folder. */
#define RHDF_SPLITBEFORE 0x01
#define RHDF_SPLITAFTER 0x02
#define RHDF_ENCRYPTED 0x04
#define RHDF_COMMENT 0x08
#define RHDF_SOLID 0x10
#define RHDF_DICTMASK 0xe0
#define RHDF_DIRECTORY 0xe0

/* Host systems (HostOS). */
#define RAR_HOST_DOS 0
#define RAR_HOST_OS2 1
#define RAR_HOST_WINDOWS 2
#define RAR_HOST_UNIX 3

/* Answer -1 to stop the library, 0 (or more) to let it go on. */
typedef int (*UNRARCALLBACK)(unsigned int msg, intptr_t userData, intptr_t p1, intptr_t p2);
typedef int (*CHANGEVOLPROC)(char *arcName, int mode);
typedef int (*PROCESSDATAPROC)(unsigned char *addr, int size);

struct RAROpenArchiveData {
  const char *ArcName;  /* in */
  unsigned int OpenMode; /* in */
  unsigned int OpenResult;
  char *CmtBuf;          /* in: comment buffer or NULL */
  unsigned int CmtBufSize; /* in */
  unsigned int CmtSize;  /* bytes written into CmtBuf, with the closing zero */
  unsigned int CmtState; /* 0 no comment, 1 read, else an ERAR_ code */
};

struct RAROpenArchiveDataEx {
  const char *ArcName;      /* in: UTF-8 name, or NULL to use ArcNameW */
  const wchar_t *ArcNameW;  /* in */
  unsigned int OpenMode;    /* in */
  unsigned int OpenResult;
  char *CmtBuf;             /* in */
  unsigned int CmtBufSize;  /* in */
  unsigned int CmtSize;
  unsigned int CmtState;
  unsigned int Flags;       /* ROADF_ */
  UNRARCALLBACK Callback;   /* in, may be NULL */
  intptr_t UserData;        /* in */
  unsigned int Reserved[28];
};

struct RARHeaderData {
  char ArcName[260];
  char FileName[260];
  unsigned int Flags;
  unsigned int PackSize;
  unsigned int UnpSize;
  unsigned int HostOS;
  unsigned int FileCRC;
  unsigned int FileTime; /* DOS date (high 16 bits) and time, local time */
  unsigned int UnpVer;   /* version needed, major * 10 + minor */
  unsigned int Method;   /* 0x30 stored ... 0x35 best */
  unsigned int FileAttr;
  char *CmtBuf;          /* in */
  unsigned int CmtBufSize; /* in */
  unsigned int CmtSize;
  unsigned int CmtState;
};

struct RARHeaderDataEx {
  char ArcName[1024];
  wchar_t ArcNameW[1024];
  char FileName[1024];
  wchar_t FileNameW[1024];
  unsigned int Flags;
  unsigned int PackSize;
  unsigned int PackSizeHigh;
  unsigned int UnpSize;
  unsigned int UnpSizeHigh;
  unsigned int HostOS;
  unsigned int FileCRC;
  unsigned int FileTime;
  unsigned int UnpVer;
  unsigned int Method;
  unsigned int FileAttr;
  char *CmtBuf;            /* in: entry comment buffer or NULL */
  unsigned int CmtBufSize; /* in */
  unsigned int CmtSize;    /* size of the entry's comment (0: none) */
  unsigned int CmtState;
  /* The modification time in 100 ns units since 1601-01-01 00:00 UTC, to the
   * precision stored (FileTime is its DOS form, in 2-second steps). An entry
   * that stores no time has 1980-01-01 00:00 local time, here, in FileTime
   * and on disk. Since version 9; 0 from older versions. */
  unsigned int MtimeLow;
  unsigned int MtimeHigh;
  unsigned int Reserved[1022];
};

typedef void *HANDLE_RAR;

HANDLE_RAR RAROpenArchive(struct RAROpenArchiveData *data);
HANDLE_RAR RAROpenArchiveEx(struct RAROpenArchiveDataEx *data);
int RARCloseArchive(HANDLE_RAR arc);
int RARReadHeader(HANDLE_RAR arc, struct RARHeaderData *header);
int RARReadHeaderEx(HANDLE_RAR arc, struct RARHeaderDataEx *header);
/* destPath: the folder the stored name is recreated under; destName: the
 * full name of the file to write instead (then destPath is ignored). UTF-8. */
int RARProcessFile(HANDLE_RAR arc, int operation, const char *destPath, const char *destName);
void RARSetCallback(HANDLE_RAR arc, UNRARCALLBACK callback, intptr_t userData);
void RARSetChangeVolProc(HANDLE_RAR arc, CHANGEVOLPROC proc);
void RARSetProcessDataProc(HANDLE_RAR arc, PROCESSDATAPROC proc);
void RARSetPassword(HANDLE_RAR arc, const char *password);
int RARGetDllVersion(void);

#ifdef __cplusplus
}
#endif

#endif
