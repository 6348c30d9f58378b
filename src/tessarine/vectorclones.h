#pragma once
// Marks a function whose loops are left to the compiler's vectoriser: it is built
// for AVX-512 and AVX2 too, and the CPU's widest is chosen when the library is
// loaded. Written without fused multiply-adds (-ffp-contract=off), every build
// gives the same bits. The sanitizers' builds keep one version.

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && \
    !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
#define TESSARINE_VECTOR_CLONES __attribute__((target_clones("avx512f", "avx2", "default")))
#else
#define TESSARINE_VECTOR_CLONES
#endif
