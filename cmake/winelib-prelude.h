/* Function-style macros of winelib's compiler driver, which CMake cannot pass
   on the command line; forced into every translation unit with -include. */
#define __declspec(x) __declspec_##x
#define __declspec_align(x) __attribute__((aligned(x)))
#define __declspec_allocate(x) __attribute__((section(x)))
