// The program's entry. A command-line option is handled here with QtCore
// alone; otherwise the window part is loaded from its library, in this same
// process, so the window sees the program as the user started it.
#include "cli/CommandLine.h"
#include "cli/CommandLineMain.h"

#include <cstdio>
#include <dlfcn.h>
#include <string>
#include <unistd.h>

namespace {

constexpr const char* kWindowLibrary = "libquorvia-window.so";

std::string executableFolder() {
    char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0)
        return ".";
    std::string folder(path, size_t(n));
    return folder.substr(0, folder.rfind('/'));
}

// Beside the program in a build or a portable install, else where the
// install puts the program's own libraries.
int startWindow(int argc, char** argv) {
    const std::string folder = executableFolder();
    void* library = nullptr;
    std::string tried;
    for (const std::string& candidate :
         {folder + "/" + kWindowLibrary, folder + "/../lib/quorvia/" + kWindowLibrary}) {
        library = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (library)
            break;
        tried += std::string("\n  ") + dlerror();
    }
    if (!library) {
        std::fprintf(stderr, "quorvia: the window part could not be loaded:%s\n", tried.c_str());
        return 1;
    }
    using Entry = int (*)(int, char**);
    const auto entry = reinterpret_cast<Entry>(dlsym(library, "quorvia_window_main"));
    if (!entry) {
        std::fprintf(stderr, "quorvia: %s has no window entry\n", kWindowLibrary);
        return 1;
    }
    return entry(argc, argv);
}

} // namespace

int main(int argc, char** argv) {
    if (quorvia::cli::IsCommandLine(argc, argv))
        return quorvia::cli::RunCommandLine(argc, argv);
    return startWindow(argc, argv);
}
