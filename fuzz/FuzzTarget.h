#pragma once
// One fuzz target per parser. Under libFuzzer each target is a program of its own; in the Windows build
// the targets register by name and a test runs each over its seed corpus.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

// Set by the corpus tests: a broken invariant is reported to them instead of ending the process.
inline void (*fuzzCheckHook)(const std::string& message) = nullptr;

[[noreturn]] inline void FuzzCheckFailed(const char* condition, const char* file, int line) {
    std::string message = std::string(file) + ":" + std::to_string(line) + ": invariant broken: " + condition;
    if (fuzzCheckHook)
        fuzzCheckHook(message);
    // libFuzzer keeps the input that made the process abort.
    std::fprintf(stderr, "%s\n", message.c_str());
    std::abort();
}

// An invariant of the program that no input may break.
#define FUZZ_CHECK(condition) ((condition) ? (void)0 : FuzzCheckFailed(#condition, __FILE__, __LINE__))

#ifdef DECTBRIDGE_LIBFUZZER
#define FUZZ_TARGET(name) extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
#else
using FuzzEntry = int (*)(const uint8_t* data, size_t size);
bool RegisterFuzzTarget(const char* name, FuzzEntry entry);
#define FUZZ_TARGET(name)                                                                                    \
    static int name##Input(const uint8_t* data, size_t size);                                                \
    static const bool name##Registered = RegisterFuzzTarget(#name, name##Input);                             \
    static int name##Input(const uint8_t* data, size_t size)
#endif

// Takes the input apart: control bytes from the front, the rest as data.
class FuzzInput {
  public:
    FuzzInput(const uint8_t* data, size_t size) : data(data), size(size) {}
    // The next byte, 0 once the input is used up.
    uint8_t Byte() { return offset < size ? data[offset++] : 0; }
    const uint8_t* Rest() const { return data + offset; }
    size_t RestSize() const { return size - offset; }

  private:
    const uint8_t* data;
    size_t size;
    size_t offset = 0;
};
