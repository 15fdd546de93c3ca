#include "environment.h"

#include <cstdlib>

ScopedEnvironment::ScopedEnvironment(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    Set(value);
}

ScopedEnvironment::~ScopedEnvironment() { Set(old_ ? old_->c_str() : nullptr); }

void ScopedEnvironment::Set(const char* value) {
    if (value) {
        setenv(name_.c_str(), value, 1);
    } else {
        unsetenv(name_.c_str());
    }
}
