#include <cstdlib>

#include "platform/platform.h"

namespace pagora {
namespace {

const Platform* g_installed = nullptr;

}  // namespace

const Platform& Os() { return g_installed != nullptr ? *g_installed : NativePlatform(); }

void SetPlatform(const Platform* table) { g_installed = table; }

// Shared by both native tables: plain heap memory.
void* HeapAllocate(std::size_t size) { return std::malloc(size); }
void HeapRelease(void* block) { std::free(block); }

}  // namespace pagora
