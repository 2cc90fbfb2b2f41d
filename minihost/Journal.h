// The host's record of what the effect did to it: every call into the host,
// in order, and every broken host rule (a handle disposed twice, a world the
// effect did not make, a check-in without a checkout, ...).
#pragma once

#include <mutex>
#include <string>
#include <vector>

namespace maculo::minihost {

class Journal {
public:
    void Call(std::string entry);
    void Misuse(std::string what);

    std::vector<std::string> Calls() const;
    std::vector<std::string> Misuses() const;
    void Clear();

private:
    mutable std::mutex mutex_;
    std::vector<std::string> calls_;
    std::vector<std::string> misuses_;
};

}  // namespace maculo::minihost
