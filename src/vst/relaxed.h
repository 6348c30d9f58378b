#pragma once
// Whole-value reads and writes of plain fields that more than one thread touches (a
// host may select a program on one thread while it automates a parameter on
// another). Relaxed atomic access keeps the fields' plain types and layout, costs a
// plain load or store, and makes the sharing well-defined.

template <class T>
inline T relaxedLoad(const T& field) {
  T value;
  __atomic_load(&field, &value, __ATOMIC_RELAXED);
  return value;
}

template <class T>
inline void relaxedStore(T& field, T value) {
  __atomic_store(&field, &value, __ATOMIC_RELAXED);
}
