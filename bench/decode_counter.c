/* Counts picture decodes in a program it is preloaded into (LD_PRELOAD). Every
 * PNG that Qt decodes, whoever asks for it (QPixmap, QImage, QIcon), passes
 * through libpng, which Qt on Debian takes from the system: each decode creates
 * one read struct, so png_create_read_struct counts decodes, and png_read_row
 * and png_read_image show that pixels were actually read. The game's pictures
 * are all PNG.
 *
 * The program marks phases by calling quillet_decode_mark("name"), which it
 * finds with dlsym; the counts of the phase that ends are printed on standard
 * error as "decodes phase=NAME created=N rows=N images=N", and so are those of
 * the last phase when the program ends. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdatomic.h>
#include <stdio.h>
#include <string.h>

static atomic_long created, rows, images;
static char phase[32] = "startup";

static void report(void) {
    fprintf(stderr, "decodes phase=%s created=%ld rows=%ld images=%ld\n", phase,
            atomic_exchange(&created, 0), atomic_exchange(&rows, 0), atomic_exchange(&images, 0));
}

void quillet_decode_mark(const char* name) {
    report();
    strncpy(phase, name, sizeof phase - 1);
}

__attribute__((destructor)) static void at_exit(void) {
    if (strcmp(phase, "end") != 0) report();
}

/* Stores the address of the next definition of `name` (the real one, behind
 * this library) in the function pointer at `to`; ISO C has no cast from the
 * object pointer dlsym returns to a function pointer. */
static void find(void* to, const char* name) {
    void* symbol = dlsym(RTLD_NEXT, name);
    memcpy(to, &symbol, sizeof symbol);
}

/* The real functions, looked up behind this library. The signatures are
 * libpng's; pointers stand for its structs, which are only passed on. */
typedef void* (*create_fn)(const char*, void*, void*, void*);
typedef void (*row_fn)(void*, unsigned char*, unsigned char*);
typedef void (*image_fn)(void*, unsigned char**);

void* png_create_read_struct(const char* version, void* error, void* error_fn, void* warn_fn) {
    static create_fn real;
    if (!real) find(&real, "png_create_read_struct");
    atomic_fetch_add(&created, 1);
    return real(version, error, error_fn, warn_fn);
}

void png_read_row(void* png, unsigned char* row, unsigned char* display) {
    static row_fn real;
    if (!real) find(&real, "png_read_row");
    atomic_fetch_add(&rows, 1);
    real(png, row, display);
}

void png_read_image(void* png, unsigned char** image) {
    static image_fn real;
    if (!real) find(&real, "png_read_image");
    atomic_fetch_add(&images, 1);
    real(png, image);
}
