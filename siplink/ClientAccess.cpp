#include "siplink/ClientAccess.h"

#include <algorithm>
#include <cctype>

ClientAccess::Decision ClientAccess::OnDiscover(const Client& asker, const Client* attached) {
    if (attached && attached->window == asker.window)
        return Attach;
    if (Among(refused, asker.program))
        return Refuse;
    if (asking)
        return Wait;
    if (!attached) {
        yielded.clear();
        if (Same(asker.program, installed) || Among(allowed, asker.program))
            return Attach;
    } else if (std::find(yielded.begin(), yielded.end(), asker.window) != yielded.end()) {
        return Wait;
    }
    asking = true;
    return Ask;
}

void ClientAccess::Answered(const Client& asker, bool allow, const Client* attached) {
    asking = false;
    (allow ? allowed : refused).push_back(asker.program);
    if (allow && attached && attached->window != asker.window)
        yielded.push_back(attached->window);
}

bool ClientAccess::Same(const std::string& a, const std::string& b) {
    // Windows paths: case does not matter.
    return !a.empty() && a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

bool ClientAccess::Among(const std::vector<std::string>& programs, const std::string& program) {
    return std::any_of(programs.begin(), programs.end(),
                       [&](const std::string& p) { return Same(p, program); });
}
