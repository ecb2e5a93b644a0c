#include "siplink/ClientAccess.h"

#include <algorithm>
#include <cctype>

ClientAccess::Decision ClientAccess::OnDiscover(const std::string& program, const std::string& attached,
                                                bool sameWindow) {
    if (sameWindow)
        return Attach;
    if (Among(refused, program))
        return Refuse;
    if (asking)
        return Wait;
    if (attached.empty()) {
        yielded.clear();
        if (Same(program, installed) || Among(allowed, program))
            return Attach;
    } else if (Among(yielded, program)) {
        return Wait;
    }
    asking = true;
    return Ask;
}

void ClientAccess::Answered(const std::string& program, bool allow, const std::string& attached) {
    asking = false;
    (allow ? allowed : refused).push_back(program);
    if (allow && !attached.empty() && !Same(attached, program))
        yielded.push_back(attached);
}

bool ClientAccess::Same(const std::string& a, const std::string& b) {
    // Windows paths: case does not matter.
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

bool ClientAccess::Among(const std::vector<std::string>& programs, const std::string& program) {
    return std::any_of(programs.begin(), programs.end(),
                       [&](const std::string& p) { return Same(p, program); });
}
