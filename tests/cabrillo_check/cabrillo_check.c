/* Reads a Cabrillo file with an independent reader, the TrustedQSL library, and prints one
 * line per QSO record: "QSO" and its fields as name=value. Exit code 0 when the whole file
 * was read without error, 1 on a reading error, 77 when the library is not installed.
 * The library ships without headers, so the few declarations it needs are written here. */
#include <dlfcn.h>
#include <stdio.h>
#include <string.h>

typedef struct {
    char name[64 + 1];
    char value[40 + 1];
} CabrilloField;

enum { kNoError = 0, kEndOfFile = 1, kEndOfRecord = 6 };

typedef int (*BeginFn)(void** cab, const char* file);
typedef int (*FieldFn)(void* cab, CabrilloField* field, int* err);
typedef int (*EndFn)(void** cab);
typedef int (*ContestFn)(void* cab, char* buf, int size);
typedef int (*LineFn)(void* cab, int* line);
typedef const char* (*ErrorTextFn)(int err);
typedef const char* (*LastErrorFn)(void);
typedef int (*InitFn)(void);

int main(int argc, char** argv) {
    const char* library = argc > 2 ? argv[2] : "/usr/lib/trustedqsl/libtqsllib.so";
    if (argc < 2) {
        fprintf(stderr, "usage: cabrillo_check FILE.cbr [libtqsllib.so]\n");
        return 2;
    }
    void* lib = dlopen(library, RTLD_NOW);
    if (!lib) {
        fprintf(stderr, "skipped: %s\n", dlerror());
        return 77;
    }
    BeginFn begin = (BeginFn)dlsym(lib, "tqsl_beginCabrillo");
    FieldFn field = (FieldFn)dlsym(lib, "tqsl_getCabrilloField");
    EndFn end = (EndFn)dlsym(lib, "tqsl_endCabrillo");
    ContestFn contest = (ContestFn)dlsym(lib, "tqsl_getCabrilloContest");
    LineFn line = (LineFn)dlsym(lib, "tqsl_getCabrilloLine");
    ErrorTextFn errorText = (ErrorTextFn)dlsym(lib, "tqsl_cabrilloGetError");
    LastErrorFn lastError = (LastErrorFn)dlsym(lib, "tqsl_getErrorString");
    InitFn init = (InitFn)dlsym(lib, "tqsl_init");
    if (!init || !begin || !field || !end || !contest || !line || !errorText || !lastError) {
        fprintf(stderr, "skipped: the library lacks the Cabrillo reader\n");
        return 77;
    }

    if (init() != 0) {
        fprintf(stderr, "error: %s\n", lastError());
        return 1;
    }
    void* cab = NULL;
    if (begin(&cab, argv[1]) != 0) {
        /* Read the error text first: any other call re-initialises the library and clears it. */
        fprintf(stderr, "error: %s\n", lastError());
        return 1;
    }
    char name[256] = "";
    contest(cab, name, sizeof name);
    printf("CONTEST %s\n", name);

    int atRecordStart = 1;
    for (;;) {
        CabrilloField f;
        int err = kNoError;
        memset(&f, 0, sizeof f);
        if (field(cab, &f, &err) != 0) {
            int lineNumber = 0;
            const char* text = lastError();
            line(cab, &lineNumber);
            fprintf(stderr, "error in line %d: %s\n", lineNumber, text);
            end(&cab);
            return 1;
        }
        if (err == kEndOfFile) break;
        if (atRecordStart) printf("QSO");
        printf(" %s=%s", f.name, f.value);
        atRecordStart = err == kEndOfRecord;
        if (atRecordStart) printf("\n");
    }
    end(&cab);
    return 0;
}
