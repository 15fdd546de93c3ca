// Reference-counted lifetime shared by every retained-mode object (frames, lights,
// mesh builders, textures, wraps), and a small owning handle for C++ callers.
#pragma once

#include <cassert>
#include <cstdint>
#include <utility>

namespace platform::rm {

class Object {
public:
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;

    void AddRef() { ++refs_; }
    // Drops one reference; the object is destroyed when none is left.
    void Release() {
        assert(refs_ > 0 && "Release() called on an object with no reference left");
        if (--refs_ == 0) delete this;
    }
    int RefCount() const { return refs_; }
    // A process-unique number, never reused: the device keys its GPU copies by it.
    uint64_t Id() const { return id_; }

protected:
    Object();
    virtual ~Object() = default;

private:
    int refs_ = 1;
    uint64_t id_;
};

// Holds one reference. Ref<T>::Adopt takes over a reference the caller already owns
// (every Create returns one); the constructor from a raw pointer adds its own.
template <class T>
class Ref {
public:
    Ref() = default;
    explicit Ref(T* p) : p_(p) {
        if (p_) p_->AddRef();
    }
    static Ref Adopt(T* p) {
        Ref r;
        r.p_ = p;
        return r;
    }
    Ref(const Ref& o) : Ref(o.p_) {}
    Ref(Ref&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    Ref& operator=(Ref o) noexcept {
        std::swap(p_, o.p_);
        return *this;
    }
    ~Ref() { reset(); }
    void reset() {
        if (p_) std::exchange(p_, nullptr)->Release();
    }
    T* get() const { return p_; }
    T* operator->() const { return p_; }
    T& operator*() const { return *p_; }
    explicit operator bool() const { return p_ != nullptr; }

private:
    T* p_ = nullptr;
};

}  // namespace platform::rm
