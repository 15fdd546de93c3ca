// The shape of the table that the build writes of every embedded resource; only the
// resource look-up reads it.
#pragma once

#include <cstddef>

namespace platform::embedded {

struct TableRow {
    const char* type;
    const char* name;
    const unsigned char* data;
    const std::size_t* size;  // a pointer: the size is defined in another source
};

// Ends with a row whose type is null.
extern const TableRow kTable[];

// Where the system keeps the bytes (Windows' own resources), only the names are listed.
struct NameRow {
    const char* type;
    const char* name;
};
extern const NameRow kNames[];

}  // namespace platform::embedded
