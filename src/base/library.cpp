#include "base/library.h"

#include <dlfcn.h>

#include "base/failure.h"

namespace mirva::base {

SharedLibrary::SharedLibrary(std::string name) : name_(std::move(name)) {
    handle_ = ::dlopen(name_.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr)
        fatal(MSG_LIBRARY_MISSING, name_);
}

void* SharedLibrary::find(const char* symbol_name) const {
    void* address = ::dlsym(handle_, symbol_name);
    if (address == nullptr)
        fatal(MSG_LIBRARY_MISSING, name_);
    return address;
}

}  // namespace mirva::base
