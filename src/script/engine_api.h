/* C interface of the script engine library (libkestrow_ps.so, kestrow_ps64.dll,
   kestrow_ps32.dll). The library is written in Free Pascal; its side of this
   interface lives in src/script/engine/ks_api.pas and must be kept in step.

   One call of ks_run_script compiles and runs one start-up script. The script
   sees four routines and the methods of the object "Sentrel"; each of them is
   forwarded to the host through the callbacks of ks_host.

   Text: ansiText is 8-bit text in the ANSI code page. On Windows that is the
   process's ANSI code page (GetACP); the Linux build of the library treats it
   as Windows-1252. The strings a script passes to its routines (type names,
   key paths, value names) are UTF-16 with their length in code units beside
   them, not NUL-terminated: a script may put NULs into them (#0), and they are
   part of the name. Every other string crossing this interface (messages) is
   NUL-terminated UTF-16. No C++ exception may leave a callback. */
#ifndef KESTROW_SCRIPT_ENGINE_API_H
#define KESTROW_SCRIPT_ENGINE_API_H

#include <stdint.h>

/* Calling convention of every function and callback: cdecl on all targets. */
#if defined(_WIN32) && !defined(_WIN64)
#define KS_CALL __cdecl
#else
#define KS_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef uint16_t ks_char; /* UTF-16 code unit */

enum { KS_OK = 0, KS_FAIL = 1 };

/* Capacity, in ks_char units, of the err buffers handed to the callbacks. */
enum { KS_ERR_CAPACITY = 512 };

typedef struct ks_host {
  void *ctx;
  /* Each returns KS_OK, or KS_FAIL after writing a NUL-terminated UTF-16 message into err
     (capacity errCap units); the library then raises that message as an exception in the
     script, which the script may catch with try/except or which ends the run as a run-time
     error. Boolean results come back through *result (0 or 1). Enumeration ordinals are
     passed unchecked. A null callback makes the script routine raise an exception. */
  int32_t(KS_CALL *initialize_type)(void *ctx, const ks_char *typeId, int32_t typeIdLength, int32_t rootType,
                                    int32_t editType, int32_t valueType, int32_t platform, const ks_char *defAddr,
                                    int32_t defAddrLength, ks_char *err, int32_t errCap);
  int32_t(KS_CALL *add_value)(void *ctx, const ks_char *typeId, int32_t typeIdLength, const ks_char *valueName,
                              int32_t valueNameLength, int32_t *result, ks_char *err, int32_t errCap);
  int32_t(KS_CALL *scan_for_values)(void *ctx, const ks_char *typeId, int32_t typeIdLength, const ks_char *valueName,
                                    int32_t valueNameLength, int32_t avCnt, const int32_t avTypes[4],
                                    const ks_char *const avNames[4], const int32_t avNameLengths[4],
                                    int32_t *result, ks_char *err, int32_t errCap);
  int32_t(KS_CALL *add_all_values)(void *ctx, const ks_char *typeId, int32_t typeIdLength, int32_t *result,
                                   ks_char *err, int32_t errCap);
  int32_t(KS_CALL *set_confirmation)(void *ctx, int32_t change, int32_t del, int32_t add, int32_t restore,
                                     ks_char *err, int32_t errCap);
  int32_t(KS_CALL *set_configuration)(void *ctx, int32_t canCreateKey, int32_t debugStrings, ks_char *err,
                                      int32_t errCap);
  /* The engine's one-line text of one compiler message, e.g. "[Error] (2:42): ...".
     May be null. */
  void(KS_CALL *compiler_message)(void *ctx, const ks_char *text);
  /* Polled often during a run (every few script instructions); nonzero stops the run.
     May be null. */
  int32_t(KS_CALL *should_stop)(void *ctx);
} ks_host;

enum {
  KS_RUN_OK = 0,              /* compiled and ran to the end */
  KS_RUN_COMPILE_FAILED = 1,  /* did not compile (or failed to load); nothing ran */
  KS_RUN_ERROR = 2,           /* run-time error not handled by the script */
  KS_RUN_STOPPED = 3,         /* should_stop asked to stop */
  KS_RUN_INTERNAL = 4         /* the library failed; message says why */
};

typedef struct ks_result {
  int32_t status;
  int32_t procNo;   /* KS_RUN_ERROR: number of the script procedure (ExecErrorProcNo) */
  int32_t position; /* KS_RUN_ERROR: position in its byte code (ExecErrorByteCodePosition) */
  /* KS_RUN_ERROR: the engine's text for the error (ExecErrorToString); KS_RUN_INTERNAL: what
     failed; KS_RUN_COMPILE_FAILED: empty, or why the compiled script could not be loaded.
     Always NUL-terminated, possibly cut short. */
  ks_char message[1024];
} ks_result;

/* 2: the strings of the routines carry their lengths. */
enum { KS_ENGINE_API_VERSION = 2 };

/* Returns KS_ENGINE_API_VERSION. */
int32_t KS_CALL ks_engine_api_version(void);

/* Compiles and runs ansiText. On a failed compile, compiler_message is called once per
   compiler message, in the engine's order (all kinds); after a successful compile no
   message is reported. Returns out->status. host and out must not be null. Never lets an
   exception escape. Calls never overlap within one process: run one script at a time. */
int32_t KS_CALL ks_run_script(const char *ansiText, const ks_host *host, ks_result *out);

typedef int32_t(KS_CALL *ks_engine_api_version_fn)(void);
typedef int32_t(KS_CALL *ks_run_script_fn)(const char *ansiText, const ks_host *host, ks_result *out);

#ifdef __cplusplus
}
#endif

#endif
