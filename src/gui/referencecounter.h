#pragma once
// The shared ownership rule of views, draw contexts, bitmaps and drag containers:
// the creator holds the first reference, remember() takes another, forget() drops
// one and the last forget() destroys the object. Never delete such an object.

#include <cstdint>

class CReferenceCounter {
 public:
  CReferenceCounter() : nbReference(1) {}
  // A copy is a new object with its own single reference.
  CReferenceCounter(const CReferenceCounter&) : nbReference(1) {}
  CReferenceCounter& operator=(const CReferenceCounter&) { return *this; }
  virtual ~CReferenceCounter() {}

  virtual void forget();
  virtual CReferenceCounter* remember() {
    nbReference++;
    return this;
  }
  int32_t getNbReference() const { return nbReference; }

 private:
  // A plain integer: every counted object lives on the user-interface thread.
  int32_t nbReference;
};
