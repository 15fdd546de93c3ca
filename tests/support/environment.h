// A variable of the process's environment set (or removed) for the life of an object,
// and given back its old value afterwards. Names and values are UTF-8; Windows keeps
// its environment in UTF-16, which the program's own readers use there.
#pragma once

#include <optional>
#include <string>

class ScopedEnvironment {
public:
    // value nullptr removes the variable.
    ScopedEnvironment(const char* name, const char* value);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

    // Sets another value (nullptr removes it); the old one still comes back at the end.
    void Set(const char* value);

private:
    std::string name_;
    std::optional<std::string> old_;
};
