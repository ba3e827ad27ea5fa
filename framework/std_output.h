// Result lines on the process's standard output. The C runtime's wide output would pass Korean
// through the ANSI code page and mangle it, so lines go out as UTF-8 to a file or pipe and as
// UTF-16 through WriteConsoleW to a console.
#pragma once

#include <string>
#include <string_view>

namespace tvx {

std::string ToUtf8(std::wstring_view text);

// A windowed program has no standard output of its own unless its starter handed one over (a
// pipe or a file). When it has none, its lines go to the console of the process that started it,
// if that one has a console.
void AttachParentConsoleOutput();

// Writes the text as it stands (callers include the line feed). Does nothing when the process
// has no standard output.
void WriteStdOut(std::wstring_view text);

}  // namespace tvx
