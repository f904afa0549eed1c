#pragma once
// The one current object of a kind (the engine context, the game context, an area's context):
// made current by a scope object for its lifetime, the previous one restored afterwards, so that
// the program has one for its whole run and each test a fresh one.

#include <cstdio>
#include <cstdlib>

template <class Context>
class Current {
 public:
  // The current object; none current is a programming error and aborts, naming `what`.
  static Context& Get(const char* what) {
    if (current_ == nullptr) {
      std::fprintf(stderr, "%s used before one was made current\n", what);
      std::abort();
    }
    return *current_;
  }
  static bool Has() { return current_ != nullptr; }

  // Makes an object current for its lifetime and restores the previous one afterwards.
  class Scope {
   public:
    explicit Scope(Context& context) : previous_(current_) { current_ = &context; }
    ~Scope() { current_ = previous_; }
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

   private:
    Context* previous_;
  };

 private:
  static inline Context* current_ = nullptr;
};
