// Reference-counted objects, checked references and synchronous events.
//
// Every framework and game object is held through Ref<T>, a std::shared_ptr
// whose dereference is checked: using an empty reference ("nil") raises
// NilObjectException instead of undefined behaviour.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <utility>

namespace fw {

// Base of the framework's own exceptions; Name() is the class name reported
// when one escapes to the run time.
class RuntimeException : public std::exception {
 public:
  explicit RuntimeException(std::string message = {}) : message_(std::move(message)) {}
  const char* what() const noexcept override { return message_.c_str(); }
  virtual const char* Name() const noexcept { return "RuntimeException"; }

 private:
  std::string message_;
};

class NilObjectException : public RuntimeException {
 public:
  NilObjectException() : RuntimeException("nil object used where an object is required") {}
  const char* Name() const noexcept override { return "NilObjectException"; }
};

// Every framework object derives from Object, so that a method can hand out
// a counted reference to itself.
class Object : public std::enable_shared_from_this<Object> {
 public:
  Object() = default;
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;
  virtual ~Object() = default;
};

// A shared_ptr with checked dereference.
template <class T>
class Ref : public std::shared_ptr<T> {
 public:
  using std::shared_ptr<T>::shared_ptr;
  Ref() = default;
  Ref(std::nullptr_t) {}
  Ref(std::shared_ptr<T> p) : std::shared_ptr<T>(std::move(p)) {}  // NOLINT: implicit by design

  T* operator->() const {
    T* p = this->get();
    if (p == nullptr) throw NilObjectException();
    return p;
  }
  T& operator*() const { return *operator->(); }
};

template <class T, class... A>
Ref<T> New(A&&... args) {
  return Ref<T>(std::make_shared<T>(std::forward<A>(args)...));
}

// A counted reference to an object from inside one of its methods.
template <class T>
Ref<T> SelfRef(T* self) {
  if (self == nullptr) throw NilObjectException();
  return Ref<T>(std::static_pointer_cast<T>(self->shared_from_this()));
}

// Cast that yields nil when the object is not of the asked class.
template <class T, class U>
Ref<T> RefCast(const std::shared_ptr<U>& p) {
  return Ref<T>(std::dynamic_pointer_cast<T>(p));
}

// A synchronous event with at most one attached handler. Raising an event
// that has no handler does nothing and yields the result type's default.
template <class Sig>
class Event;

template <class R, class... A>
class Event<R(A...)> {
 public:
  using Handler = std::function<R(A...)>;

  void Attach(Handler h) { handler_ = h ? std::make_shared<Handler>(std::move(h)) : nullptr; }
  void Detach() { handler_.reset(); }
  bool IsAttached() const { return handler_ != nullptr; }

  R Raise(A... args) const {
    // Hold the handler while it runs, so that it may replace itself.
    std::shared_ptr<Handler> h = handler_;
    if (!h) return R();
    return (*h)(std::forward<A>(args)...);
  }

 private:
  std::shared_ptr<Handler> handler_;
};

// Attaches `method` of `receiver` to `event`; the handler receives the
// raising `sender` as its first argument. Both are held weakly, so that the
// attachment keeps neither alive; once either is gone the event does nothing.
template <class W, class C, class R, class... A, class WM, class CM>
void AttachMethod(Event<R(A...)>& event, WM& receiver, R (W::*method)(Ref<C>, A...), CM& sender) {
  std::weak_ptr<W> w = std::static_pointer_cast<W>(static_cast<W&>(receiver).shared_from_this());
  std::weak_ptr<C> c = std::static_pointer_cast<C>(static_cast<C&>(sender).shared_from_this());
  event.Attach([w, c, method](A... args) -> R {
    auto ws = w.lock();
    auto cs = c.lock();
    if (!ws || !cs) return R();
    return ((*ws).*method)(Ref<C>(cs), std::forward<A>(args)...);
  });
}

}  // namespace fw
