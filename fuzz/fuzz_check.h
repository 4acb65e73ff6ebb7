// How a fuzzer reports a broken invariant: one line naming it, then abort, so libFuzzer keeps
// the input that broke it.
#pragma once
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

// The fuzzer's name for its invariants, e.g. "ENGINE"; each fuzzer defines it.
extern const char kFuzzSubject[];

[[noreturn]] __attribute__((format(printf, 1, 2))) inline void Violation(const char* format, ...) {
    va_list args;
    va_start(args, format);
    fprintf(stderr, "\n%s INVARIANT BROKEN: ", kFuzzSubject);
    vfprintf(stderr, format, args);
    fprintf(stderr, "\n");
    va_end(args);
    abort();
}

#define REQUIRE(condition, ...)                   \
    do {                                          \
        if (!(condition)) Violation(__VA_ARGS__); \
    } while (0)
