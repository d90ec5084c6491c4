#pragma once
// Writing a small file so that a reader (this process, another one, or one after this process
// crashed) sees either the old contents or the new, never a mix or a half. Not flushed to disk:
// these are the emulated board's state files, written after every command that changes them.

#include <filesystem>
#include <string>
#include <string_view>

namespace brimlo::sim {

// Writes `contents` to a temporary file of a name of its own beside `file`, then renames it
// over `file`. False with `error` naming the file; `file` is then as it was.
bool ReplaceFile(const std::filesystem::path& file, std::string_view contents, std::string& error);

}  // namespace brimlo::sim
