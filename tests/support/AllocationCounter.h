#pragma once

#include <cstdint>

// Linking AllocationCounter.cpp into a program replaces every form of the global operator new
// and delete (plain, array, nothrow, aligned and their sized deletes) with one counting
// allocator. It counts calls only while counting is on, and always keeps the bytes held, so
// the per-frame tests can ask for "no allocation" and the benchmarks for peak memory.
namespace allocation_counter {

void SetCounting(bool on);
int64_t Count(); // allocations made while counting was on
void ResetCount();
int64_t LiveBytes(); // usable bytes held now
int64_t PeakBytes(); // most bytes held since the last ResetPeak
void ResetPeak();    // the peak starts again from what is held now

} // namespace allocation_counter
