// brimlo-hid on Windows: the arguments arrive in UTF-16 and the tool takes them in UTF-8, so
// that a file name in any script reaches the files' wide calls intact. The console shows the
// UTF-8 the tool prints for as long as the tool runs.

#include <windows.h>

#include <string>
#include <vector>

#include "cli/run_tool.h"

namespace {

std::string Utf8(const wchar_t* text) {
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(size > 0 ? size - 1 : 0, '\0');
    if (size > 1) {
        ::WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), size, nullptr, nullptr);
    }
    return utf8;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> arguments;
    for (int i = 0; i < argc; ++i) {
        arguments.push_back(Utf8(argv[i]));
    }
    std::vector<char*> pointers;
    for (std::string& argument : arguments) {
        pointers.push_back(argument.data());
    }
    pointers.push_back(nullptr);
    const UINT consoleOutput = ::GetConsoleOutputCP();
    ::SetConsoleOutputCP(CP_UTF8);
    const int code = brimlo::cli::RunTool(argc, pointers.data());
    if (consoleOutput != 0) {
        ::SetConsoleOutputCP(consoleOutput);
    }
    return code;
}
