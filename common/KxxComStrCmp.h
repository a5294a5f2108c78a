// KxxComStrCmp.h
// Layer 3 (services that trace).
// The case-blind comparisons of byte strings, which trace a missing first text.
#ifndef KXXCOMSTRCMP_H
#define KXXCOMSTRCMP_H

#include <cstddef>

// Case-blind comparisons (ASCII letters only): 0 equal, negative or positive otherwise;
// both absent 0, iString1 absent -1, iString2 absent 1.
int kxg_cmpStrni(const char* iString1, const char* iString2, size_t iCount);
int kxg_cmpStri(const char* iString1, const char* iString2);

#endif
