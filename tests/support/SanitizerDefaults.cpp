// Linked into every test program of the sanitized build: the sanitizers' own defaults, so a
// report ends the program with exit code 86 (never the 0 or 1 a test may expect) whoever runs
// it, CTest or a developer by hand. Options in the environment still take precedence.
#define KZV_STRINGIFY2(x) #x
#define KZV_STRINGIFY(x) KZV_STRINGIFY2(x)
#define KZV_EXIT "exitcode=" KZV_STRINGIFY(KZV_SANITIZER_EXIT)

extern "C" const char* __asan_default_options() {
    return KZV_EXIT ":detect_leaks=1:abort_on_error=0";
}
extern "C" const char* __ubsan_default_options() {
    return KZV_EXIT ":halt_on_error=1:print_stacktrace=1";
}
extern "C" const char* __lsan_default_options() {
    return KZV_EXIT ":print_suppressions=0:suppressions=" KZV_LSAN_SUPPRESSIONS;
}
