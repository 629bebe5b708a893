// Helpers for the tests of the Windows program under Wine (or Windows).
#pragma once

#include "platform/fake/fakes.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

namespace vqd::test {

// A path given to the build (a Linux path when cross-building) as Windows
// sees it: Wine maps the Linux root to drive Z:.
std::string native_path(const std::string& path);

// The test client stand-in for the node's client, built with the project.
std::string test_client_path();

// A fresh folder under the temporary folder, removed with everything in it
// when the object goes. `name` may hold blanks and any Unicode letters.
class TempFolder {
public:
    explicit TempFolder(const std::string& name);
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& file) const { return path_ + "\\" + file; }

private:
    std::string path_;
};

// The bytes of a file, or "<missing>".
std::string file_bytes(const std::string& path);
void put_file(const std::string& path, const std::string& bytes);
void copy_file(const std::string& from, const std::string& to);

// Dispatch every message of this thread until `done` holds or `timeout_ms`
// passes; returns whether it held.
bool pump_until(const std::function<bool()>& done, int timeout_ms);
// Dispatch every message for `ms` milliseconds.
void pump_for(int ms);

// A name no other test run uses, for registry sections.
std::string unique_name(const std::string& stem);

// Whether top-level windows can be created (a display is there).
bool have_display();

}  // namespace vqd::test
