#pragma once
// The user's `contacts` file in SipLink's folder, looked at again now and then: its text when it changed
// since the last look. A missing file is made, empty but for a line that says how to fill it.
#include <windows.h>

#include <string>

class ContactsFile {
  public:
    explicit ContactsFile(std::wstring path) : path(std::move(path)) {}

    // True, with the text, the first time and whenever the file's size or time changed since.
    bool Changed(std::string& text);

  private:
    std::wstring path;
    bool looked = false;
    WIN32_FILE_ATTRIBUTE_DATA seen = {};
};
