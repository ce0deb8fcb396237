// A program that commits one fault on purpose, named by its argument, so a test can check that
// the sanitizers catch it and end the program with their own exit code in the test environment.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

volatile int gSink;

int HeapOverflow() {
    char* p = static_cast<char*>(std::malloc(8));
    std::memset(p, 0, 8);
    gSink = p[8 + (gSink & 0)]; // one past the end
    std::free(p);
    return 0;
}

int SignedOverflow(int big) {
    return big + 1;
}

int FloatCastOverflow(float huge) {
    return static_cast<int>(huge);
}

int Leak() {
    void* volatile p = std::malloc(64);
    p = nullptr;
    return p != nullptr;
}

} // namespace

int main(int argc, char** argv) {
    const std::string fault = argc > 1 ? argv[1] : "";
    if (fault == "heap") return HeapOverflow();
    if (fault == "signed") return SignedOverflow(argc > 2 ? 2147483647 : 0) & 0;
    if (fault == "float") return FloatCastOverflow(argc > 2 ? 1e20f : 0.0f) & 0;
    if (fault == "leak") return Leak();
    std::fprintf(stderr, "usage: sanitizer_probe heap|signed BIG|float BIG|leak\n");
    return 2;
}
