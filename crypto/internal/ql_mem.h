// Heap and secret handling. Every heap block of the library comes from ql::alloc and goes back
// through ql::free_wiped, which wipes it first; test builds (QL_ALLOC_FAULTS) can make the n-th
// allocation fail. Guards wipe (and free) what they own on every path out of a scope.
#ifndef QL_INTERNAL_MEM_H
#define QL_INTERNAL_MEM_H

#include <cstddef>
#include <cstdint>
#include <new>
#include <type_traits>

namespace ql {

// Overwrites `n` bytes at `p` with zeros in a way the compiler cannot remove. `p` may be null
// when `n` is 0.
void wipe(void *p, size_t n);

// Zeroes the stack below the caller's frame, where the functions it called last had theirs:
// code that keeps more values than there are registers spills some (secrets among them) to
// slots that no wipe in the source can name. Covers 4 KiB of frames.
void burn_stack();

// Returns `n` bytes of uninitialised heap memory, or nullptr (also when the fault hook fires).
void *alloc(size_t n);

// Wipes the `n` bytes at `p` and frees them; `p` may be null.
void free_wiped(void *p, size_t n);

#if defined(QL_ALLOC_FAULTS)
namespace test {
// Makes the allocation with index `n` (0 = the next one) fail; a negative `n` turns the hook
// off. Resets the allocation counter.
void alloc_fail_at(int64_t n);
// Number of allocations attempted since the last alloc_fail_at.
int64_t alloc_count();
}  // namespace test
#endif

// A value-initialised (zeroed) plain record of type T from the heap, or nullptr; it goes back
// through free_wiped(p, sizeof(T)).
template <typename T>
T *new_zeroed() {
  void *p = alloc(sizeof(T));
  return p == nullptr ? nullptr : new (p) T();
}

// A plain record or array on the stack, value-initialised and wiped when it leaves scope.
template <typename T>
class Wiped {
  static_assert(std::is_trivially_copyable<T>::value, "plain records only");

 public:
  Wiped() : value_{} {}
  ~Wiped() { wipe(&value_, sizeof(value_)); }
  Wiped(const Wiped &) = delete;
  Wiped &operator=(const Wiped &) = delete;
  T &get() { return value_; }
  T *ptr() { return &value_; }

 private:
  T value_;
};

// Wipes a range the function does not own when the scope ends, unless released first.
class WipeOnExit {
 public:
  WipeOnExit(void *p, size_t n) : p_(p), n_(n) {}
  ~WipeOnExit() {
    if (p_ != nullptr) { wipe(p_, n_); }
  }
  WipeOnExit(const WipeOnExit &) = delete;
  WipeOnExit &operator=(const WipeOnExit &) = delete;
  void release() { p_ = nullptr; }

 private:
  void *p_;
  size_t n_;
};

// A zeroed plain record on the heap, owned by the scope: wiped and freed when it ends.
template <typename T>
class Owned {
  static_assert(std::is_trivially_copyable<T>::value, "plain records only");

 public:
  Owned() : p_(static_cast<T *>(alloc(sizeof(T)))) {
    if (p_ != nullptr) { new (p_) T(); }
  }
  ~Owned() { free_wiped(p_, sizeof(T)); }
  Owned(const Owned &) = delete;
  Owned &operator=(const Owned &) = delete;
  explicit operator bool() const { return p_ != nullptr; }
  T *get() const { return p_; }
  T *operator->() const { return p_; }
  T &operator*() const { return *p_; }

 private:
  T *p_;
};

// `n` heap bytes owned by the scope (zeroed), wiped and freed when it ends.
class Buffer {
 public:
  explicit Buffer(size_t n);
  ~Buffer() { free_wiped(p_, n_); }
  Buffer(const Buffer &) = delete;
  Buffer &operator=(const Buffer &) = delete;
  explicit operator bool() const { return p_ != nullptr; }
  uint8_t *data() const { return p_; }
  size_t size() const { return n_; }

 private:
  uint8_t *p_;
  size_t n_;
};

}  // namespace ql

#endif  // QL_INTERNAL_MEM_H
