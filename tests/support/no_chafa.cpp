// Preloaded into a process, stands in for the dynamic loader's dlopen so that libchafa is
// missing there while every other library opens as usual.
#include <dlfcn.h>

#include <cstring>

extern "C" void* dlopen(const char* name, int flags) {
    using Open = void* (*)(const char*, int);
    static auto real_open = reinterpret_cast<Open>(::dlsym(RTLD_NEXT, "dlopen"));
    if (name != nullptr && std::strstr(name, "libchafa") != nullptr)
        return nullptr;
    return real_open(name, flags);
}
