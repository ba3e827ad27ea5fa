// Links that an unelevated program could plant where the program works. Under Wine a Unix
// symbolic link inside the prefix is what a junction is on Windows (Wine's own
// CreateSymbolicLinkW does nothing), so there it is made with ln; on Windows with
// CreateSymbolicLinkW.
#pragma once

#include <string>

namespace tvx::test {

// Makes `link` (replacing nothing: it must not exist) a link to the folder or file `target`.
// True once the link shows as a reparse point.
bool PlantLink(const std::wstring& link, const std::wstring& target);

// A folder holding one file, "canary.txt", with known text: what the program must never touch.
struct Canary {
    std::wstring folder;
    std::wstring file;
};
Canary MakeCanary(const std::wstring& folder);

// The canary file is there with its text, and nothing else is in its folder.
bool CanaryUntouched(const Canary& canary);

// Whether `path` is a link (by its attributes, or by where a handle to it leads).
bool IsLink(const std::wstring& path);

// Removes a link made by PlantLink (never its target).
void RemoveLink(const std::wstring& link);

}  // namespace tvx::test
