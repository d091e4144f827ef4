#include "allocation_count.hpp"

#include <cstdlib>
#include <new>

// The library's array forms end in these. The nothrow form is replaced too: a sanitizer's own
// would hand out memory that our delete cannot free (std::stable_sort takes its buffer so).
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    orvalix::test::allocations += orvalix::test::counting ? 1 : 0;
    return std::malloc(size == 0 ? 1 : size);
}
void* operator new(std::size_t size) {
    if (void* p = operator new(size, std::nothrow)) {
        return p;
    }
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
