#include <process.h>
#include <windows.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "process_runner.h"

namespace brimlo::testing {
namespace {

std::wstring Wide(const std::string& text) {
    const int size =
        ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(size, L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                          size);
    return wide;
}

// One argument as the C runtime splits command lines: quotes around it when it holds blanks
// or quotes, backslashes doubled only where they come before a quote.
std::wstring Quote(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
        return argument;
    }
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L'"';
}

HANDLE Inheritable(const wchar_t* path, DWORD access, DWORD disposition) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    return ::CreateFileW(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, disposition,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
}

std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// The text a program printed, its lines ended with LF: the C runtime writes text with CR LF
// on Windows, as Windows' text files have it.
std::string Text(const std::string& printed) {
    std::string text;
    for (char c : printed) {
        if (c == '\n' && !text.empty() && text.back() == '\r') {
            text.back() = '\n';
        } else {
            text += c;
        }
    }
    return text;
}

}  // namespace

ProcessResult RunProcess(const std::filesystem::path& program,
                         const std::vector<std::string>& arguments,
                         const std::filesystem::path& scratch) {
    const std::filesystem::path outFile = scratch / "stdout.txt";
    const std::filesystem::path errFile = scratch / "stderr.txt";
    std::wstring commandLine = Quote(program.wstring());
    for (const std::string& argument : arguments) {
        commandLine += L' ' + Quote(Wide(argument));
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = Inheritable(L"NUL", GENERIC_READ, OPEN_EXISTING);
    startup.hStdOutput = Inheritable(outFile.c_str(), GENERIC_WRITE, CREATE_ALWAYS);
    startup.hStdError = Inheritable(errFile.c_str(), GENERIC_WRITE, CREATE_ALWAYS);
    PROCESS_INFORMATION process{};
    const bool started = ::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr,
                                          TRUE, 0, nullptr, nullptr, &startup, &process);
    for (HANDLE handle : {startup.hStdInput, startup.hStdOutput, startup.hStdError}) {
        if (handle != INVALID_HANDLE_VALUE) {
            ::CloseHandle(handle);
        }
    }
    ProcessResult result;
    if (!started) {
        result.err =
            "cannot start " + program.string() + ": error " + std::to_string(::GetLastError());
        return result;
    }
    ::WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    if (::GetExitCodeProcess(process.hProcess, &code)) {
        result.exitCode = static_cast<int>(code);
    }
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    result.outBytes = ReadAll(outFile);
    result.out = Text(result.outBytes);
    result.err = Text(ReadAll(errFile));
    return result;
}

long CurrentProcessId() {
    return static_cast<long>(::_getpid());
}

void SetEnvironment(const std::string& name, const std::optional<std::string>& value) {
    // An empty value removes the variable.
    ::_wputenv_s(Wide(name).c_str(), value ? Wide(*value).c_str() : L"");
}

}  // namespace brimlo::testing
