// A temporary folder that is removed with everything in it when the object goes away.
#pragma once

#include <string>

namespace brisko::test {

class TempDir {
public:
    explicit TempDir(const std::string& prefix = "brisko-test");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    // path() + "/" + name
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Writes BYTES to PATH (creating or truncating it).
void writeFile(const std::string& path, const std::string& bytes);
std::string readFile(const std::string& path);

}  // namespace brisko::test
