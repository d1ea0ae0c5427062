/* The interface between the zip component (TZipMaster) and libzipdll.so.
 * Plain C: the library is loaded at run time and called through these types.
 *
 * The fields are in the order of the block's 32-bit layout (4-byte fields at
 * offsets 0 to 132); here integers are int32_t and addresses native pointers,
 * so those offsets hold only where a pointer has 4 bytes. Flags are
 * ZIPDLL_TRUE (-1) or ZIPDLL_FALSE (0). */
#ifndef QUORVIA_ZIP_ZIPDLLINTERFACE_H
#define QUORVIA_ZIP_ZIPDLLINTERFACE_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define ZIPDLL_TRUE (-1)
#define ZIPDLL_FALSE 0

/* Sizes of the zero-terminated buffers the component hands over, with the
 * terminator: longer values are refused before the library is called. */
#define ZIPDLL_NAME_BUFFER 256
#define ZIPDLL_PASSWORD_BUFFER 81
/* Capacity of the table of file patterns. */
#define ZIPDLL_MAX_FSPECS 1024
/* Text carried in a callback record, with the terminator. */
#define ZIPDLL_TEXT_BUFFER 4096

/* Action codes of a callback record. */
#define ZIPDLL_ACTION_NEW_FILE 1     /* a file is being added: name and size */
#define ZIPDLL_ACTION_PROGRESS 2     /* a step of the work */
#define ZIPDLL_ACTION_END_OF_BATCH 3 /* the add is over */
#define ZIPDLL_ACTION_MESSAGE 4      /* a message with its code */

/* Message codes: 0 is information; an errno value (1..999) is a failure the
 * system reported; the library's own failures are 1000 and up. */
#define ZIPDLL_ERR_BAD_BLOCK 1001   /* the parameter block cannot be used */
#define ZIPDLL_ERR_NO_PASSWORD 1002 /* encryption asked for without a password */
#define ZIPDLL_ERR_ARCHIVE 1003     /* the archive cannot be opened or is not a zip file */
#define ZIPDLL_ERR_WRITE 1004       /* the archive could not be written */
#define ZIPDLL_ERR_DUPLICATE 1005   /* two files would get the same name in the archive */
#define ZIPDLL_ERR_INTERNAL 1006    /* anything else that stopped the add */
#define ZIPDLL_ERR_CHANGED                                                                         \
    1007 /* a file changed while it was read; the entry holds what was read */
#define ZIPDLL_ERR_PASSWORD                                                                        \
    1008 /* the archive holds entries under another password, or under one at all */

typedef struct ZipCallbackRecord {
    void* reserved0;
    void* caller; /* the block's caller field, handed back */
    int32_t reserved8;
    int32_t reserved12;
    int32_t actionCode;            /* ZIPDLL_ACTION_... */
    int32_t errorCode;             /* of a message */
    int64_t fileSize;              /* of the file being added; 64-bit so large files count right */
    char text[ZIPDLL_TEXT_BUFFER]; /* file name (new file) or message text; bytes, terminated */
} ZipCallbackRecord;

/* Returns -1 to ask the library to stop, 0 to go on. */
typedef int32_t (*ZipDllCallback)(ZipCallbackRecord* record);

typedef struct ZipParams {
    void* ownerHandle;                  /* the owning form; not used by the library */
    void* caller;                       /* handed back in every callback record */
    int32_t fixed8;                     /* 140 */
    ZipDllCallback callback;            /* may be null */
    int32_t trace;                      /* trace messages */
    char* password;                     /* ZIPDLL_PASSWORD_BUFFER bytes, UTF-8 */
    int32_t unset24;                    /* not written by the component (zero) */
    int32_t encrypt;                    /* AES-256 with the password */
    int32_t addHiddenFiles;             /* take names beginning with "." */
    int32_t fixed36;                    /* 0 */
    int32_t fixed40;                    /* 0 */
    int32_t fixed44;                    /* -1 */
    int32_t fixed48;                    /* 0 */
    int32_t verbose;                    /* information messages */
    int32_t fixed56;                    /* -1 */
    int32_t compLevel;                  /* 0 stored, 1 to 9 deflated */
    int32_t fixed64;                    /* 0 */
    int32_t fixed68;                    /* 0 */
    int32_t junkDirNames;               /* -1: names without their folders */
    int32_t recurse;                    /* walk subfolders */
    int32_t fixed80;                    /* -1 */
    int32_t forceDos;                   /* DOS attributes instead of Unix modes */
    int32_t move;                       /* delete the files once the archive is written */
    int32_t fixed92;                    /* 0 */
    int32_t update;                     /* add new files and files newer than their entry */
    int32_t freshen;                    /* replace only entries older than their file */
    int32_t fixed104;                   /* 0 */
    int32_t zipTime;                    /* archive gets the time of its newest entry */
    int32_t unset112;                   /* not written by the component (zero) */
    int32_t unset116;                   /* not written by the component (zero) */
    int32_t fileSpecCount;              /* entries used in fileSpecs */
    char* zipFilename;                  /* ZIPDLL_NAME_BUFFER bytes, native path */
    int32_t fixed128;                   /* 7 */
    char* fileSpecs[ZIPDLL_MAX_FSPECS]; /* ZIPDLL_NAME_BUFFER bytes each */
} ZipParams;

/* Adds the files the block names to its archive; returns the number added.
 * The archive is replaced only when the whole add succeeded. */
typedef int32_t (*ZipDllExecFunction)(ZipParams* params);
/* 100 * major + minor. */
typedef int32_t (*GetZipDllVersionFunction)(void);

int32_t ZipDllExec(ZipParams* params);
int32_t GetZipDllVersion(void);

#ifdef __cplusplus
}
#endif

#endif
