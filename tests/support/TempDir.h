// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace test_support {

// A fresh directory under the system's temporary folder, removed with everything in it when the
// object goes out of scope.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);

// Number of file descriptors this process has open (entries of /proc/self/fd).
int OpenDescriptorCount();

}  // namespace test_support
