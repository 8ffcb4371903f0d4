#pragma once

#include <string>

namespace mirva::base {

/// A shared library opened at run time, when the kind or viewer that needs it is used, so that
/// no other conversion pays for loading it. It stays loaded until the process ends.
class SharedLibrary {
public:
    /// Opens the library by its file name (for example "libspng.so.0"); fails with "No se
    /// encuentra la biblioteca %s" and that name when it cannot be loaded.
    explicit SharedLibrary(std::string name);

    /// The address of a symbol of the library as a pointer of type T (a function pointer type);
    /// fails with "No se encuentra la biblioteca %s" when the library lacks it, as a library
    /// too old to serve counts as missing.
    template <typename T>
    T symbol(const char* symbol_name) const {
        return reinterpret_cast<T>(find(symbol_name));
    }

    const std::string& name() const { return name_; }

private:
    void* find(const char* symbol_name) const;

    std::string name_;
    void* handle_ = nullptr;
};

}  // namespace mirva::base
