// tests/unit/test_folder.h: a fresh folder per test and file checks, on both platforms.
#ifndef KESTO_TESTS_TEST_FOLDER_H
#define KESTO_TESTS_TEST_FOLDER_H

#include <set>
#include <string>

// A new empty folder under the system's temporary folder, removed with everything in it.
class TestFolder {
public:
    TestFolder();
    ~TestFolder();
    TestFolder(const TestFolder&) = delete;
    TestFolder& operator=(const TestFolder&) = delete;

    // The folder's path without a trailing separator, in the platform's own form.
    const std::string& Path() const { return path_; }
    // Path() + separator + relative ("/" and "\" both accepted in relative).
    std::string Join(const std::string& relative) const;

private:
    std::string path_;
};

char PathSeparator();
bool FileExists(const std::string& path);
bool FolderExists(const std::string& path);
// The whole file; throws when it cannot be read.
std::string ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::string& data);
// Every file and folder below root, as relative paths with "/" (folders end in "/").
std::set<std::string> ListTree(const std::string& root);
// Last write time in Unix seconds; -1 when unknown.
long long LastWriteUnixTime(const std::string& path);
bool IsReadOnly(const std::string& path);

#endif  // KESTO_TESTS_TEST_FOLDER_H
