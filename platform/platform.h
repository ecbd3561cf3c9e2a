// The few operating-system services the renderer needs, behind one small interface so that the
// rest of the code never includes a system header for them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>

namespace glintor {

// CPUs this process may run on; at least 1.
int ProcessorCount();

// Milliseconds of a monotonic clock, wrapping as an unsigned 32-bit count.
uint32_t TickCount();

bool ChangeDirectory(const std::string& folder);
bool FileExists(const std::string& path);
std::tm LocalDate();

// Stands in for a modal error box: caption and text go to standard error; only when a person is
// at the terminal (stdin and stderr are both terminals) does it wait for Enter.
void ShowMessageBox(const std::string& caption, const std::string& text);

// Memory for arrays scanned four lanes at a time; free with AlignedFree.
void* AlignedAlloc(std::size_t bytes, std::size_t alignment = 64);
void AlignedFree(void* p);
// Memory for a large array read at scattered places for the whole render (the QBVH's nodes and
// packed triangles): from 2 MB on, a fresh mapping aligned to 2 MB and offered to the system for
// huge pages before it is touched, which spares most address-translation misses; smaller arrays
// are AlignedAlloc's, 64-byte aligned. Null when the system has no memory left. Free with
// HugePageFree and the same size.
void* HugePageAlloc(std::size_t bytes);
void HugePageFree(void* p, std::size_t bytes);

// Scene files name other files with either separator; here every '\' becomes '/'.
std::string PortablePath(const std::string& path);

}  // namespace glintor
